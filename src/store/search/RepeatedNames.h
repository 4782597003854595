#pragma once

#include <QtGlobal>
#include <functional>
#include <string_view>
#include <vector>

namespace store::search {

// The programs whose names are the same once case and accents are set aside ("Cámara" and
// "CAMARA"), on more than one CD. `name(row)` gives a row's name as UTF-8 and `cd(row)` its CD's
// number, for rows 0 to `rows` - 1. Each group holds its rows by CD number, then by row; groups
// come in the order of their folded names.
std::vector<std::vector<int>> findRepeatedNames(int rows,
                                                const std::function<std::string_view(int)> &name,
                                                const std::function<qint64(int)> &cd);

} // namespace store::search
