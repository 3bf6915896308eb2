#include "rewire/rewireapi.h"

#include <mutex>

#include "foundation/os.h"
#include "rewire/bundle.h"

const char* const kMacReWireDebuggingDLLFileName = "ReWire Debugging.bundle";
const char* const kMacReWireTestingDLLFileName = "ReWire Testing.bundle";
const char* const kMacReWireDeploymentDLLFileName = "ReWire.bundle";
const char* const kReWireFolderName = "ReWire";
const char* const kReWireVendorFolderName = "Propellerhead Software";

namespace {
// Loads not yet matched by an unload; the bundle is set exactly while the count is positive.
// Hosts create and close plug-in instances on several threads at once, so both change, and the
// bundle is used, only under gLoaderLock.
int gReWireLoadCount = 0;
CBundle* gReWireDLLInstance = nullptr;
std::mutex gLoaderLock;

const uint32_t kVersionMajorMask = 0xFF000000u;
const uint32_t kVersionMinorMask = 0x00F00000u;
const uint32_t kRequiredMajor = 0x01000000u;
const uint32_t kLowestMinor = 0x00800000u;

// The library file of one name: the first domain holding vendor folder, ReWire folder and file.
bool MacGetMacURLRefForReWireDLLByName(const char* fileName, CStr* path) {
    for (int domain = 0; domain < getSupportDomainCount(); domain++) {
        CStr folder, vendor, rewire, file;
        if (!getSupportFolder(domain, &folder)) continue;
        if (!getNamedTargetInFolder(folder, kReWireVendorFolderName, &vendor)) continue;
        if (!getNamedTargetInFolder(vendor, kReWireFolderName, &rewire)) continue;
        if (!getNamedTargetInFolder(rewire, fileName, &file)) continue;
        *path = file;
        return true;
    }
    return false;
}

bool MacGetURLRefForReWireDLL(CStr* path) {
    const char* names[] = {kMacReWireDebuggingDLLFileName, kMacReWireTestingDLLFileName,
                           kMacReWireDeploymentDLLFileName};
    for (const char* name : names)
        if (MacGetMacURLRefForReWireDLLByName(name, path)) return true;
    return false;
}

void UnloadReWireDLL() {
    delete gReWireDLLInstance;
    gReWireDLLInstance = nullptr;
    gReWireLoadCount = 0;
}

ReWireError VerifyVersionOfOpenReWireDLL() {
    if (ReWireIsAcceptedVersion(gReWireDLLInstance->getVersionNumber())) {
        gReWireLoadCount = 1;
        return kReWireError_NoError;
    }
    UnloadReWireDLL();
    return kReWireError_DLLTooOld;
}

ReWireError LoadReWireDLL() {
    CStr path;
    if (!MacGetURLRefForReWireDLL(&path)) return kReWireError_DLLNotFound;
    gReWireDLLInstance = CBundle::create(path);
    if (!gReWireDLLInstance) return kReWireError_UnableToOpenDLL;
    return VerifyVersionOfOpenReWireDLL();
}
} // namespace

bool ReWireIsAcceptedVersion(uint32_t version) {
    return (version & kVersionMajorMask) == kRequiredMajor &&
           (version & kVersionMinorMask) >= kLowestMinor;
}

bool ReWireFindLibraryBundle(CStr* path) {
    return MacGetURLRefForReWireDLL(path);
}

CStr ReWireLibraryFolders() {
    CStr folders;
    for (int domain = 0; domain < getSupportDomainCount(); domain++) {
        if (domain > 0) folders = folders + ", ";
        folders = folders + addSep(getSupportFolderPath(domain)) + kReWireVendorFolderName + "/" +
                  kReWireFolderName;
    }
    return folders;
}

bool IsReWireLoadedByThisInstance() {
    std::lock_guard<std::mutex> hold(gLoaderLock);
    return gReWireDLLInstance != nullptr;
}

int ReWireGetLoadCount() {
    std::lock_guard<std::mutex> hold(gLoaderLock);
    return gReWireLoadCount;
}

CStr ReWireGetLoadedLibraryPath() {
    std::lock_guard<std::mutex> hold(gLoaderLock);
    return gReWireDLLInstance ? gReWireDLLInstance->getPath() : CStr();
}

ReWireError ReWireLoadReWireSharedLibrary() {
    std::lock_guard<std::mutex> hold(gLoaderLock);
    if (gReWireDLLInstance) {
        gReWireLoadCount++;
        return kReWireError_NoError;
    }
    return LoadReWireDLL();
}

ReWireError ReWireUnloadReWireSharedLibrary() {
    std::lock_guard<std::mutex> hold(gLoaderLock);
    // An unbalanced unload would drive the count negative; there is nothing left to release.
    if (gReWireLoadCount <= 0) return kReWireError_NoError;
    if (--gReWireLoadCount == 0) UnloadReWireDLL();
    return kReWireError_NoError;
}

void* ReWireFindReWireSharedLibraryFunction(const char* name) {
    std::lock_guard<std::mutex> hold(gLoaderLock);
    if (!gReWireDLLInstance) return nullptr;
    return gReWireDLLInstance->getFunction(name);
}
