#include <dlfcn.h>
#include <sys/stat.h>

#include "foundation/inifile.h"
#include "foundation/os.h"
#include "rewire/bundle.h"

namespace {
const char* const kMetadataFileName = "Info.ini";
const char* const kMetadataSection = "Bundle";

bool isDirectory(const CStr& path) {
    struct stat info {};
    return stat(path.asChar(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Reads one decimal field of a version text starting at pos; -1 when there is none.
int readVersionField(const CStr& text, int& pos) {
    int value = -1;
    while (text[pos] >= '0' && text[pos] <= '9' && value < 1000) {
        value = (value < 0 ? 0 : value * 10) + (text[pos] - '0');
        pos++;
    }
    return value;
}
} // namespace

uint32_t asBundleVersion(const CStr& text) {
    int limits[3] = {255, 15, 15};
    int fields[3] = {0, 0, 0};
    int pos = 0;
    for (int i = 0; i < 3; i++) {
        fields[i] = readVersionField(text, pos);
        if (fields[i] < 0 || fields[i] > limits[i]) return 0;
        if (text[pos] == 0) break;
        if (text[pos] != '.' || i == 2) return 0;
        pos++;
    }
    return (uint32_t(fields[0]) << 24) | (uint32_t(fields[1]) << 20) | (uint32_t(fields[2]) << 16);
}

CBundle* CBundle::create(const CStr& path) {
    if (!isDirectory(path)) return nullptr;
    CIniFile metadata(addSep(path) + kMetadataFileName);
    uint32_t version = asBundleVersion(metadata.readString(kMetadataSection, "Version", ""));
    CStr executable = metadata.readString(kMetadataSection, "Executable", "");
    // The executable must be a plain file name inside the bundle.
    if (executable.pos("/") >= 0) executable = CStr();
    if (executable.length() > 0) executable = addSep(path) + executable;
    return new CBundle(path, version, executable);
}

CBundle::CBundle(const CStr& bundlePath, uint32_t versionNumber, const CStr& executablePath)
    : path(bundlePath), version(versionNumber), executable(executablePath) {}

CBundle::~CBundle() {
    if (code) dlclose(code);
}

bool CBundle::loadCode() {
    if (code) return true;
    if (loadFailed || executable.length() <= 0) return false;
    code = dlopen(executable.asChar(), RTLD_NOW | RTLD_LOCAL);
    loadFailed = code == nullptr;
    return code != nullptr;
}

void* CBundle::getFunction(const char* name) {
    if (!name || !loadCode()) return nullptr;
    return dlsym(code, name);
}
