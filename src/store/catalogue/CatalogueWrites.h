#pragma once

#include <functional>

// What a window that adds or changes rows needs of the catalogue besides the cursors it is
// handed. The data module is one; a window built over bare cursors gets its own.
class CatalogueWrites {
public:
    // Reads every open cursor again from the file (another program wrote to it).
    virtual void rereadAll() = 0;
    // Runs a write to programs so that the joined view shows it.
    virtual void writingPrograms(const std::function<void()> &write) = 0;

protected:
    ~CatalogueWrites() = default;
};
