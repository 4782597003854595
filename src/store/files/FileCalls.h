#pragma once

#include <sys/types.h>

namespace store {

// The file-system calls through which the program writes a file of its own (listing, backup):
// the system's, or in tests ones that fail at a chosen call. Each returns as the system call
// does, with errno set on failure.
class FileCalls {
public:
    virtual ~FileCalls() = default;
    virtual int makeTemporary(char *pattern); // mkstemp
    virtual ssize_t write(int fd, const void *data, size_t size);
    virtual int sync(int fd);
    virtual int close(int fd);
    virtual int rename(const char *from, const char *to);

    static FileCalls &system();
};

} // namespace store
