// Vendor-specific requests (effVendorSpecific) that rwbridge answers, so that a host or a test
// can watch and drive the plug-in without its editor and without knowing its chunk format.
// Each index is four characters; a plug-in that does not know a request answers 0.
#pragma once

#include "vst/aeffect.h"

/// 'rwpk': copies the eight output meter levels into the float[8] at ptr; answers 1.
constexpr VstInt32 kPeakLevelsRequest = 0x7277706B;

/// 'rwst': fills the BridgeState at ptr; answers 1.
constexpr VstInt32 kBridgeStateRequest = 0x72777374;

/// 'rwdn': copies the name of device value (counted from 0) into the char[kDeviceNameBytes] at
/// ptr; answers 1, or 0 when there is no such device.
constexpr VstInt32 kDeviceNameRequest = 0x7277646E;

/// 'rwdc': chooses device value (-1: none) as the editor's device list does; answers 1 when
/// that device is the chosen one afterwards, else 0.
constexpr VstInt32 kChooseDeviceRequest = 0x72776463;

/// 'rwds': copies the chosen device's state, one line from its library (empty when all is
/// well), into the char[kDeviceStatusBytes] at ptr; answers 1, or 0 when no device is open.
/// The device's latency is the descriptor's initial delay.
constexpr VstInt32 kDeviceStatusRequest = 0x72776473;

constexpr int kDeviceNameBytes = 64;
constexpr int kDeviceStatusBytes = 256;
constexpr int kStateMapRows = 16;
constexpr int kStateFolderBytes = 1024;

/// The ReWire side of the plug-in as its editor shows it.
struct BridgeState {
    VstInt32 libraryFound;            ///< 1 when the ReWire library was found and opened
    VstInt32 deviceCount;             ///< devices the library offers
    VstInt32 device;                  ///< the chosen device, -1 for none
    VstInt32 sync;                    ///< 1 when the devices follow the host's transport
    VstInt32 mapRows;                 ///< rows of the MIDI mapping
    VstInt32 map[kStateMapRows];      ///< the first rows' targets
    char searched[kStateFolderBytes]; ///< the folders searched for the library, ", " between
};
