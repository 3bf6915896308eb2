// Failure codes of our ReWire library beyond the shared ones; every code but 1 is a failure.
#pragma once

#include "rewire/rewire.h"

enum : ReWireError {
    kLibraryError_BadParameter = 1001,
    kLibraryError_NotOpen = 1002,
    kLibraryError_Refused = 1003,
    kLibraryError_DriveFailed = 1004,
    kLibraryError_WrongInterfaceVersion = 1005,
};
