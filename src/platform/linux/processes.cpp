#include <cstdio>
#include <cstdlib>
#include <dirent.h>

#include "foundation/os.h"

namespace {
CStr firstLine(const CStr& file) {
    char text[256] = {};
    FILE* f = fopen(file.asChar(), "r");
    if (!f) return CStr();
    size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[n] = 0;
    return CStr(text).trim();
}

// The program name a process runs under: the executable's file name, else the kernel's name.
bool processNamed(const CStr& procDir, const CStr& name) {
    CStr program = extractFileName(firstLine(procDir + "/cmdline"));
    return program == name || firstLine(procDir + "/comm") == name;
}
} // namespace

bool appRunning(const CStr& name) {
    if (name.length() <= 0) return false;
    DIR* proc = opendir("/proc");
    if (!proc) return false;
    bool found = false;
    while (dirent* e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        if (processNamed(CStr("/proc/") + e->d_name, name)) {
            found = true;
            break;
        }
    }
    closedir(proc);
    return found;
}
