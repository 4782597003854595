#pragma once

// Runs vadrel-db as the user's shell does, with arguments as raw bytes: QProcess takes QStrings,
// which cannot carry a file name that is no valid text.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct ToolRun {
    int status = -1; // the exit status; -1 when it did not exit normally
    QByteArray out;
    QByteArray err;
};

// Runs `program` with `arguments` in the folder `cwd` (the current one when empty).
inline ToolRun runTool(const QByteArray &program, const std::vector<QByteArray> &arguments,
                       const QByteArray &cwd = {}) {
    QTemporaryFile out, err;
    ToolRun run;
    if (!out.open() || !err.open())
        return run;
    std::vector<char *> argv{const_cast<char *>(program.constData())};
    for (const QByteArray &argument : arguments)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        // Only calls that are safe between fork and exec.
        if ((!cwd.isEmpty() && ::chdir(cwd.constData()) != 0) || ::dup2(int(out.handle()), 1) < 0 ||
            ::dup2(int(err.handle()), 2) < 0)
            ::_exit(127);
        ::execv(program.constData(), argv.data());
        ::_exit(127);
    }
    int wait = 0;
    if (child < 0 || ::waitpid(child, &wait, 0) != child)
        return run;
    run.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    out.seek(0);
    err.seek(0);
    run.out = out.readAll();
    run.err = err.readAll();
    return run;
}

// The names in a folder, as the file system keeps them.
inline std::set<QByteArray> entries(const QByteArray &folder) {
    std::set<QByteArray> names;
    if (DIR *dir = ::opendir(folder.constData())) {
        while (const dirent *entry = ::readdir(dir))
            if (QByteArray(entry->d_name) != "." && QByteArray(entry->d_name) != "..")
                names.insert(entry->d_name);
        ::closedir(dir);
    }
    return names;
}

inline bool isFile(const QByteArray &path) {
    struct stat info;
    return ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// Writes and reads a file by its path's own bytes.
inline bool writeFile(const QByteArray &path, const QByteArray &data) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const bool whole = ::write(fd, data.constData(), size_t(data.size())) == data.size();
    return ::close(fd) == 0 && whole;
}
inline QByteArray readFile(const QByteArray &path) {
    QByteArray data;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return data;
    char buffer[65536];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, got);
    ::close(fd);
    return data;
}

// A fresh temporary folder, removed by its entries' own bytes: QTemporaryDir spells the names of
// what it removes as text and leaves behind those that are not.
class ByteTempDir {
public:
    ByteTempDir()
        : path_(QFile::encodeName(QDir::tempPath()) + "/vadrel-db-test-XXXXXX") {
        if (!::mkdtemp(path_.data()))
            path_.clear();
    }
    ~ByteTempDir() {
        if (!path_.isEmpty())
            ::nftw(
                path_.constData(),
                [](const char *path, const struct stat *, int, FTW *) { return ::remove(path); },
                16, FTW_DEPTH | FTW_PHYS);
    }
    ByteTempDir(const ByteTempDir &) = delete;
    ByteTempDir &operator=(const ByteTempDir &) = delete;

    const QByteArray &path() const { return path_; }

private:
    QByteArray path_;
};
