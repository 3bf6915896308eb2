// The mixer side of the ReWire library: one wrapper per exported function. The function
// pointers are process-wide, so only one mixer per process can have the interface open.
#pragma once

#include "rewire/rewire.h"

extern "C" {
typedef ReWireError (*TRWM2OpenProc)(int32_t codeVersion, const ReWireOpenInfo* openInfo);
typedef ReWireError (*TRWM2IsCloseOKProc)(ReWireBool* okFlag);
typedef ReWireError (*TRWM2CloseProc)();
typedef ReWireError (*TRWM2GetDeviceCountProc)(int32_t* count);
typedef ReWireError (*TRWM2GetDeviceInfoProc)(int32_t deviceIndex, ReWireDeviceInfo* info);
typedef ReWireError (*TRWM2GetDeviceInfoByHandleProc)(TRWMDeviceHandle handle,
                                                      ReWireDeviceInfo* info);
typedef ReWireError (*TRWM2OpenDeviceProc)(int32_t deviceIndex, TRWMDeviceHandle* handle);
typedef ReWireError (*TRWM2IsCloseDeviceOKProc)(TRWMDeviceHandle handle, ReWireBool* okFlag);
typedef ReWireError (*TRWM2CloseDeviceProc)(TRWMDeviceHandle handle);
typedef ReWireError (*TRWM2DriveAudioProc)(TRWMDeviceHandle handle,
                                           const ReWireDriveAudioInputParams* input,
                                           ReWireDriveAudioOutputParams* output);
typedef ReWireError (*TRWM2IdleProc)();
typedef ReWireError (*TRWM2LaunchPanelAppProc)(TRWMDeviceHandle handle);
typedef ReWireError (*TRWM2IsPanelAppLaunchedProc)(TRWMDeviceHandle handle, ReWireBool* flag);
typedef ReWireError (*TRWM2QuitPanelAppProc)(TRWMDeviceHandle handle);
typedef ReWireError (*TRWM2GetEventInfoProc)(TRWMDeviceHandle handle, ReWireEventInfo* info);
typedef ReWireError (*TRWM2GetEventBusInfoProc)(TRWMDeviceHandle handle, uint16_t busIndex,
                                                ReWireEventBusInfo* info);
typedef ReWireError (*TRWM2GetEventChannelInfoProc)(TRWMDeviceHandle handle,
                                                    const ReWireEventTarget* target,
                                                    ReWireEventChannelInfo* info);
typedef ReWireError (*TRWM2GetControllerInfoProc)(TRWMDeviceHandle handle,
                                                  const ReWireEventTarget* target,
                                                  uint16_t controllerIndex,
                                                  ReWireEventControllerInfo* info);
typedef ReWireError (*TRWM2GetNoteInfoProc)(TRWMDeviceHandle handle,
                                            const ReWireEventTarget* target, uint16_t noteIndex,
                                            ReWireEventNoteInfo* info);
typedef ReWireError (*TRWM2SetAudioInfoProc)(const ReWireAudioInfo* info);
// Entry points of our own library beyond the twenty; a library without them still opens.
typedef ReWireError (*TRWBGetDeviceLatencyProc)(TRWMDeviceHandle handle, int32_t* frames);
typedef ReWireError (*TRWBGetDeviceStatusProc)(TRWMDeviceHandle handle, char* text,
                                               int32_t textBytes);
typedef ReWireError (*TRWBSetDeviceRenderModeProc)(TRWMDeviceHandle handle, int32_t mode);
}

/// How the host renders, as the mixer hands it to its library's devices.
enum RWBRenderMode : int32_t {
    /// The host does not say: a device that must know judges by the host's pace.
    kRWBRenderUnknown = 0,
    /// In real time, to be heard: a drive call never waits.
    kRWBRenderRealtime = 1,
    /// Offline, as for an export: a device may wait for what its block needs.
    kRWBRenderOffline = 2,
};

extern const char* const kRWMOpenProcName;
extern const char* const kRWMIsCloseOKProcName;
extern const char* const kRWMCloseProcName;
extern const char* const kRWMGetDeviceCountProcName;
extern const char* const kRWMGetDeviceInfo2ProcName;
extern const char* const kRWMGetDeviceInfoByHandleProcName;
extern const char* const kRWMOpenDeviceProcName;
extern const char* const kRWMIsCloseDeviceOKProcName;
extern const char* const kRWMCloseDeviceProcName;
extern const char* const kRWMDriveAudio2ProcName;
extern const char* const kRWMIdleProcName;
extern const char* const kRWMLaunchPanelAppProcName;
extern const char* const kRWMIsPanelAppLaunchedProcName;
extern const char* const kRWMQuitPanelAppProcName;
extern const char* const kRWMGetEventInfoName;
extern const char* const kRWMGetEventBusInfoName;
extern const char* const kRWMGetEventChannelInfoName;
extern const char* const kRWMGetControllerInfoProcName;
extern const char* const kRWMGetNoteInfoProcName;
extern const char* const kRWMSetAudioInfoProcName;
extern const char* const kRWBGetDeviceLatencyProcName;
extern const char* const kRWBGetDeviceStatusProcName;
extern const char* const kRWBSetDeviceRenderModeProcName;

/// Loads the library, looks up all its mixer functions and opens it: 1, 6 when the interface
/// is already open in this process, or the loader's or library's failure code.
ReWireError RWMOpen(const ReWireOpenInfo* openInfo);
/// 1 closes the interface and releases the library; any other code keeps it open.
ReWireError RWMClose();
bool RWMIsOpen();

// Valid while the interface is open; a closed interface answers 100 and leaves outputs alone.
ReWireError RWMIsCloseOK(ReWireBool* okFlag);
ReWireError RWMGetDeviceCount(int32_t* count);
ReWireError RWMGetDeviceInfo(int32_t deviceIndex, ReWireDeviceInfo* info);
ReWireError RWMGetDeviceInfoByHandle(TRWMDeviceHandle handle, ReWireDeviceInfo* info);
ReWireError RWMOpenDevice(int32_t deviceIndex, TRWMDeviceHandle* handle);
ReWireError RWMIsCloseDeviceOK(TRWMDeviceHandle handle, ReWireBool* okFlag);
ReWireError RWMCloseDevice(TRWMDeviceHandle handle);
ReWireError RWMDriveAudio(TRWMDeviceHandle handle, const ReWireDriveAudioInputParams* input,
                          ReWireDriveAudioOutputParams* output);
ReWireError RWMIdle();
ReWireError RWMLaunchPanelApp(TRWMDeviceHandle handle);
ReWireError RWMIsPanelAppLaunched(TRWMDeviceHandle handle, ReWireBool* flag);
ReWireError RWMQuitPanelApp(TRWMDeviceHandle handle);
ReWireError RWMGetEventInfo(TRWMDeviceHandle handle, ReWireEventInfo* info);
ReWireError RWMGetEventBusInfo(TRWMDeviceHandle handle, uint16_t busIndex,
                               ReWireEventBusInfo* info);
ReWireError RWMGetEventChannelInfo(TRWMDeviceHandle handle, const ReWireEventTarget* target,
                                   ReWireEventChannelInfo* info);
ReWireError RWMGetControllerInfo(TRWMDeviceHandle handle, const ReWireEventTarget* target,
                                 uint16_t controllerIndex, ReWireEventControllerInfo* info);
ReWireError RWMGetNoteInfo(TRWMDeviceHandle handle, const ReWireEventTarget* target,
                           uint16_t noteIndex, ReWireEventNoteInfo* info);
ReWireError RWMSetAudioInfo(const ReWireAudioInfo* info);
/// Host frames by which the device's sound lags the host's timeline; 0 from a library without
/// the entry point.
ReWireError RWMGetDeviceLatency(TRWMDeviceHandle handle, int32_t* frames);
/// The device's state in one line into text (textBytes with the terminator); empty from a
/// library without the entry point.
ReWireError RWMGetDeviceStatus(TRWMDeviceHandle handle, char* text, int32_t textBytes);
/// Tells the device how the host renders (an RWBRenderMode), on the audio thread before a drive
/// call; ignored by a library without the entry point.
ReWireError RWMSetDeviceRenderMode(TRWMDeviceHandle handle, int32_t mode);
