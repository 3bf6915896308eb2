// File and shell helpers. Programs are started with an argument vector, never through a shell,
// so no character in a path can run a command.
#include <cerrno>
#include <cstdio>
#include <ftw.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "foundation/os.h"

extern char** environ;

namespace {
// A path that starts with '-' would be read as an option by the programs below.
CStr asArgument(const CStr& path) {
    return path[0] == '-' ? "./" + path : path;
}

bool runProgram(const char* const argv[]) {
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int removeEntry(const char* path, const struct stat*, int, FTW*) {
    return ::remove(path);
}
} // namespace

void createDir(const CStr& path) {
    ::mkdir(path.asChar(), 0777);
}

void copyFile(const CStr& from, const CStr& to) {
    FILE* in = fopen(from.asChar(), "rb");
    if (!in) return;
    FILE* out = fopen(to.asChar(), "wb");
    if (out) {
        static constexpr size_t chunkSize = 64 * 1024;
        auto* chunk = new unsigned char[chunkSize];
        size_t n = 0;
        while ((n = fread(chunk, 1, chunkSize, in)) > 0)
            if (fwrite(chunk, 1, n, out) != n) break;
        delete[] chunk;
        fclose(out);
    }
    fclose(in);
}

void copyFile2(const CStr& from, const CStr& to) {
    CFileManager::deleteFile(to);
    CStr source = asArgument(from), target = asArgument(to);
    if (folderExists(from)) {
        const char* argv[] = {"cp", "-r", source.asChar(), target.asChar(), nullptr};
        runProgram(argv);
    } else {
        const char* argv[] = {"cp", source.asChar(), target.asChar(), nullptr};
        runProgram(argv);
    }
}

void CFileManager::deleteFile(const CStr& path) {
    if (folderExists(path))
        deleteFolder(path);
    else
        ::remove(path.asChar());
}

void CFileManager::deleteFolder(const CStr& path) {
    if (path.length() <= 0) return;
    // Depth first, without following symbolic links out of the tree.
    nftw(path.asChar(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void showFolder(const CStr& path) {
    CStr target = asArgument(path);
    const char* argv[] = {"xdg-open", target.asChar(), nullptr};
    runProgram(argv);
}

void showFile(const CStr&) {}

bool launch(const CStr& path, const CStr&) {
    showFolder(path);
    return true;
}
