// Finds, loads and shares the ReWire library bundle. Process-wide: every mixer in the process
// shares one loaded library, which stays loaded while any load is outstanding.
#pragma once

#include "foundation/str.h"
#include "rewire/rewire.h"

extern const char* const kMacReWireDebuggingDLLFileName;
extern const char* const kMacReWireTestingDLLFileName;
extern const char* const kMacReWireDeploymentDLLFileName;
extern const char* const kReWireFolderName;
extern const char* const kReWireVendorFolderName;

/// Loads the library, or shares the loaded one: 1, or 100 (not found), 9 (not a bundle),
/// 101 (version refused; nothing stays loaded).
ReWireError ReWireLoadReWireSharedLibrary();
/// Releases one load; the last one unloads the library. Always 1.
ReWireError ReWireUnloadReWireSharedLibrary();
/// Address of an exported function of the loaded library; null when none is loaded or absent.
void* ReWireFindReWireSharedLibraryFunction(const char* name);

bool IsReWireLoadedByThisInstance();
/// Loads still outstanding in this process.
int ReWireGetLoadCount();
/// Folder of the loaded library bundle; empty when none is loaded.
CStr ReWireGetLoadedLibraryPath();
/// The first installed library bundle in search order, or false.
bool ReWireFindLibraryBundle(CStr* path);
/// The folders searched for a library bundle, in search order, joined by ", ".
CStr ReWireLibraryFolders();
/// True for a version number with major 1 and minor 8 or later.
bool ReWireIsAcceptedVersion(uint32_t version);
