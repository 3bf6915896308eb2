// Code bundles and the support folders they are installed in. A bundle is a directory
// NAME.bundle holding a shared object and a metadata file "Info.ini":
//
//     [Bundle]
//     Version=1.8.0
//     Executable=ReWire.so
//
// The metadata is read without loading any code; the shared object is loaded on the first
// function lookup and unloaded when the bundle is destroyed.
#pragma once

#include <cstdint>

#include "foundation/str.h"

class CBundle {
public:
    /// A bundle for the directory at path; null when path is not a directory.
    static CBundle* create(const CStr& path);
    ~CBundle();
    CBundle(const CBundle&) = delete;
    CBundle& operator=(const CBundle&) = delete;

    CStr getPath() const { return path; }
    /// Major in bits 24-31, minor in 20-23, bug-fix in 16-19; 0 when the metadata has none.
    uint32_t getVersionNumber() const { return version; }
    /// Address of the exported function, loading the code first; null when absent.
    void* getFunction(const char* name);
    bool isCodeLoaded() const { return code != nullptr; }

private:
    CBundle(const CStr& bundlePath, uint32_t versionNumber, const CStr& executablePath);
    bool loadCode();

    CStr path;
    uint32_t version;
    CStr executable;
    void* code = nullptr;
    bool loadFailed = false;
};

/// Turns "major.minor.bugfix" into the numeric version layout; 0 for text that is not one.
uint32_t asBundleVersion(const CStr& text);

/// Number of support-folder domains searched, in search order.
int getSupportDomainCount();
/// The support folder of a domain; false when the domain has no such folder.
bool getSupportFolder(int domain, CStr* folder);
/// The folder a domain names, whether or not it exists; empty outside the domains.
CStr getSupportFolderPath(int domain);
/// The entry called name inside folder with symbolic links followed to their end; false when
/// it is missing, the name is too long, or a link dangles.
bool getNamedTargetInFolder(const CStr& folder, const char* name, CStr* target);
