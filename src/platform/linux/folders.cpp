#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <mntent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/os.h"

namespace {
bool statOk(const CStr& path, struct stat& st) {
    return path.length() > 0 && ::stat(path.asChar(), &st) == 0;
}

// Block devices hold the user's volumes; the rest of the mount table is kernel plumbing.
bool isVolume(const mntent* m) {
    return strncmp(m->mnt_fsname, "/dev/", 5) == 0;
}

CStr volumeName(const CStr& dir) {
    return dir == "/" ? CStr("/") : extractFileName(dir);
}

// The mount entry whose folder is the longest prefix of path.
CStr deviceOf(const CStr& path) {
    FILE* table = setmntent("/proc/self/mounts", "r");
    if (!table) return CStr();
    CStr device;
    int best = -1;
    while (mntent* m = getmntent(table)) {
        CStr dir = addSep(m->mnt_dir);
        int n = dir.length();
        if (addSep(path).sub(0, n) == dir && n > best) {
            best = n;
            device = m->mnt_fsname;
        }
    }
    endmntent(table);
    return device;
}

bool readFlag(const CStr& file) {
    FILE* f = fopen(file.asChar(), "r");
    if (!f) return false;
    int c = fgetc(f);
    fclose(f);
    return c == '1';
}
} // namespace

CStr getHomeFolder() {
    if (const char* home = getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return CStr();
}

CStr getDesktopFolder() {
    CStr home = getHomeFolder();
    return home.length() > 0 ? addSep(home) + "Desktop" : CStr();
}

CStr getTempFolder() {
    CStr home = getHomeFolder();
    CStr caches = home.length() > 0 ? addSep(home) + ".cache" : CStr();
    if (folderExists(caches)) {
        CStr own = caches + "/Lumiwerk";
        if (!folderExists(own)) createDir(own);
        if (folderExists(own)) return own;
    }
    const char* tmp = getenv("TMPDIR");
    return tmp && *tmp ? CStr(tmp) : CStr("/tmp");
}

void getSystemFolders(CStringList* paths) {
    if (!paths) return;
    paths->add(getHomeFolder());
    paths->add("/");
}

void getDefaultFolders(CStringList* names, CStringList* paths) {
    if (!names || !paths) return;
    CStr home = getHomeFolder();
    names->add("Desktop");
    paths->add(getDesktopFolder());
    names->add(extractFileName(home));
    paths->add(home);
    FILE* table = setmntent("/proc/self/mounts", "r");
    if (!table) return;
    while (mntent* m = getmntent(table)) {
        if (!isVolume(m)) continue;
        names->add(volumeName(m->mnt_dir));
        paths->add(m->mnt_dir);
    }
    endmntent(table);
}

bool folderExists(const CStr& path) {
    struct stat st {};
    return statOk(path, st) && S_ISDIR(st.st_mode);
}

bool fileExists(const CStr& path) {
    struct stat st {};
    return statOk(path, st) && (st.st_mode & (S_IFREG | S_IFDIR | S_IFCHR)) != 0;
}

bool isReadOnly(const CStr& path) {
    if (!fileExists(path)) return false;
    int fd = open(path.asChar(), O_WRONLY | O_APPEND);
    if (fd < 0) return true;
    close(fd);
    return false;
}

bool isRemovable(const CStr& path) {
    if (!fileExists(path)) return false;
    CStr device = extractFileName(deviceOf(path));
    if (device.length() <= 0) return false;
    // A partition's own folder in sysfs sits below its disk, which carries the flag.
    CStr block = "/sys/class/block/" + device;
    return readFlag(block + "/removable") || readFlag(block + "/../removable");
}

int getFileSize(const CStr& path) {
    struct stat st {};
    if (!statOk(path, st) || S_ISDIR(st.st_mode)) return -1;
    return st.st_size > INT_MAX ? INT_MAX : static_cast<int>(st.st_size);
}

bool isPackage(const CStr& path) {
    return folderExists(path) && extractFileExt(path).lowerCase() == ".bundle";
}

bool isFolderEmpty(const CStr& path) {
    if (!folderExists(path)) return false;
    CStringList files, folders;
    readDir(path, CStr(), &files, &folders, false);
    return files.count() == 0 && folders.count() == 0;
}

static bool matchesMask(const CStr& name, const CStr& mask) {
    if (mask.length() <= 0) return true;
    CStr ext = extractFileExt(name).upperCase();
    return ext.length() > 0 && mask.upperCase().pos(ext.asChar()) >= 0;
}

void readDir(const CStr& folder, const CStr& mask, CStringList* files, CStringList* folders,
             bool deep) {
    DIR* dir = opendir(folder.asChar());
    if (!dir) return;
    while (dirent* e = readdir(dir)) {
        CStr name = e->d_name;
        if (name[0] == '.') continue;
        CStr full = addSep(folder) + name;
        if (folderExists(full) && !isPackage(full)) {
            bool wanted = true;
            if (deep) {
                wanted = false;
                hasFileExt(full, mask, wanted);
            }
            if (wanted && folders) folders->add(name);
        } else if (matchesMask(name, mask) && files) {
            files->add(name);
        }
    }
    closedir(dir);
}

void hasFileExt(const CStr& folder, const CStr& mask, bool& found) {
    CStringList files, folders;
    readDir(folder, mask, &files, &folders, false);
    if (files.count() > 0) found = true;
    for (int i = 0; i < folders.count() && !found; i++)
        hasFileExt(addSep(folder) + folders.getStr(i), mask, found);
}

CStr asAppname() {
    // Inside a plug-in the module holding this function is the plug-in, not the host.
    Dl_info info{};
    char resolved[PATH_MAX];
    if (dladdr(reinterpret_cast<void*>(&asAppname), &info) && info.dli_fname &&
        info.dli_fname[0] == '/' && realpath(info.dli_fname, resolved))
        return resolved;
    ssize_t n = readlink("/proc/self/exe", resolved, sizeof resolved - 1);
    if (n <= 0) return CStr();
    resolved[n] = 0;
    return resolved;
}
