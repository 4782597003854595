#include "store/files/FileCalls.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace store {

int FileCalls::makeTemporary(char *pattern) {
    return ::mkstemp(pattern);
}

ssize_t FileCalls::write(int fd, const void *data, size_t size) {
    return ::write(fd, data, size);
}

int FileCalls::sync(int fd) {
    return ::fsync(fd);
}

int FileCalls::close(int fd) {
    return ::close(fd);
}

int FileCalls::rename(const char *from, const char *to) {
    return ::rename(from, to);
}

FileCalls &FileCalls::system() {
    static FileCalls calls; // stateless
    return calls;
}

} // namespace store
