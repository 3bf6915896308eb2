#include "rewire/rewiremixerapi.h"

#include <mutex>

#include "rewire/rewireapi.h"

const char* const kRWMOpenProcName = "RWM2OpenImp";
const char* const kRWMIsCloseOKProcName = "RWM2IsCloseOKImp";
const char* const kRWMCloseProcName = "RWM2CloseImp";
const char* const kRWMGetDeviceCountProcName = "RWM2GetDeviceCountImp";
const char* const kRWMGetDeviceInfo2ProcName = "RWM2GetDeviceInfoImp";
const char* const kRWMGetDeviceInfoByHandleProcName = "RWM2GetDeviceInfoByHandleImp";
const char* const kRWMOpenDeviceProcName = "RWM2OpenDeviceImp";
const char* const kRWMIsCloseDeviceOKProcName = "RWM2IsCloseDeviceOKImp";
const char* const kRWMCloseDeviceProcName = "RWM2CloseDeviceImp";
const char* const kRWMDriveAudio2ProcName = "RWM2DriveAudioImp";
const char* const kRWMIdleProcName = "RWM2IdleImp";
const char* const kRWMLaunchPanelAppProcName = "RWM2LaunchPanelAppImp";
const char* const kRWMIsPanelAppLaunchedProcName = "RWM2IsPanelAppLaunchedImp";
const char* const kRWMQuitPanelAppProcName = "RWM2QuitPanelAppImp";
const char* const kRWMGetEventInfoName = "RWM2GetEventInfoImp";
const char* const kRWMGetEventBusInfoName = "RWM2GetEventBusInfoImp";
const char* const kRWMGetEventChannelInfoName = "RWM2GetEventChannelInfoImp";
const char* const kRWMGetControllerInfoProcName = "RWM2GetControllerInfoImp";
const char* const kRWMGetNoteInfoProcName = "RWM2GetNoteInfoImp";
const char* const kRWMSetAudioInfoProcName = "RWM2SetAudioInfoImp";
const char* const kRWBGetDeviceLatencyProcName = "RWBGetDeviceLatencyImp";
const char* const kRWBGetDeviceStatusProcName = "RWBGetDeviceStatusImp";
const char* const kRWBSetDeviceRenderModeProcName = "RWBSetDeviceRenderModeImp";

namespace {
// The table is filled by the open that succeeds and cleared by its close, both under
// gInterfaceLock, so instances opened and closed on several threads at once see exactly one
// holder; the holder's own calls run while no open or close can change it.
std::mutex gInterfaceLock;
TRWM2OpenProc gReWireOpenProc = nullptr;
TRWM2IsCloseOKProc gReWireIsCloseOKProc = nullptr;
TRWM2CloseProc gReWireCloseProc = nullptr;
TRWM2GetDeviceCountProc gReWireGetDeviceCountProc = nullptr;
TRWM2GetDeviceInfoProc gReWireGetDeviceInfo2Proc = nullptr;
TRWM2GetDeviceInfoByHandleProc gReWireGetDeviceInfoByHandleProc = nullptr;
TRWM2OpenDeviceProc gReWireOpenDeviceProc = nullptr;
TRWM2IsCloseDeviceOKProc gReWireIsCloseDeviceOKProc = nullptr;
TRWM2CloseDeviceProc gReWireCloseDeviceProc = nullptr;
TRWM2DriveAudioProc gReWireDriveAudio2Proc = nullptr;
TRWM2IdleProc gReWireIdleProc = nullptr;
TRWM2LaunchPanelAppProc gLaunchPanelAppProc = nullptr;
TRWM2IsPanelAppLaunchedProc gIsPanelAppLaunchedProc = nullptr;
TRWM2QuitPanelAppProc gQuitPanelAppProc = nullptr;
TRWM2GetEventInfoProc gGetEventInfoProc = nullptr;
TRWM2GetEventBusInfoProc gGetEventBusInfoProc = nullptr;
TRWM2GetEventChannelInfoProc gGetEventChannelInfoProc = nullptr;
TRWM2GetControllerInfoProc gGetControllerInfoProc = nullptr;
TRWM2GetNoteInfoProc gGetNoteInfoProc = nullptr;
TRWM2SetAudioInfoProc gSetAudioInfoProc = nullptr;
TRWBGetDeviceLatencyProc gGetDeviceLatencyProc = nullptr;
TRWBGetDeviceStatusProc gGetDeviceStatusProc = nullptr;
TRWBSetDeviceRenderModeProc gSetDeviceRenderModeProc = nullptr;

// Answer of a wrapper called while the interface is closed: no library behind it.
const ReWireError kInterfaceClosed = kReWireError_DLLNotFound;

template <typename Proc> bool findProc(Proc& proc, const char* name) {
    proc = reinterpret_cast<Proc>(ReWireFindReWireSharedLibraryFunction(name));
    return proc != nullptr;
}

void clearProcs() {
    gReWireOpenProc = nullptr;
    gReWireIsCloseOKProc = nullptr;
    gReWireCloseProc = nullptr;
    gReWireGetDeviceCountProc = nullptr;
    gReWireGetDeviceInfo2Proc = nullptr;
    gReWireGetDeviceInfoByHandleProc = nullptr;
    gReWireOpenDeviceProc = nullptr;
    gReWireIsCloseDeviceOKProc = nullptr;
    gReWireCloseDeviceProc = nullptr;
    gReWireDriveAudio2Proc = nullptr;
    gReWireIdleProc = nullptr;
    gLaunchPanelAppProc = nullptr;
    gIsPanelAppLaunchedProc = nullptr;
    gQuitPanelAppProc = nullptr;
    gGetEventInfoProc = nullptr;
    gGetEventBusInfoProc = nullptr;
    gGetEventChannelInfoProc = nullptr;
    gGetControllerInfoProc = nullptr;
    gGetNoteInfoProc = nullptr;
    gSetAudioInfoProc = nullptr;
    gGetDeviceLatencyProc = nullptr;
    gGetDeviceStatusProc = nullptr;
    gSetDeviceRenderModeProc = nullptr;
}

// Every lookup runs, so a missing export leaves no half-filled table behind unnoticed.
bool findAllProcs() {
    bool found = true;
    found &= findProc(gReWireOpenProc, kRWMOpenProcName);
    found &= findProc(gReWireIsCloseOKProc, kRWMIsCloseOKProcName);
    found &= findProc(gReWireCloseProc, kRWMCloseProcName);
    found &= findProc(gReWireGetDeviceCountProc, kRWMGetDeviceCountProcName);
    found &= findProc(gReWireGetDeviceInfo2Proc, kRWMGetDeviceInfo2ProcName);
    found &= findProc(gReWireGetDeviceInfoByHandleProc, kRWMGetDeviceInfoByHandleProcName);
    found &= findProc(gReWireOpenDeviceProc, kRWMOpenDeviceProcName);
    found &= findProc(gReWireIsCloseDeviceOKProc, kRWMIsCloseDeviceOKProcName);
    found &= findProc(gReWireCloseDeviceProc, kRWMCloseDeviceProcName);
    found &= findProc(gReWireDriveAudio2Proc, kRWMDriveAudio2ProcName);
    found &= findProc(gReWireIdleProc, kRWMIdleProcName);
    found &= findProc(gLaunchPanelAppProc, kRWMLaunchPanelAppProcName);
    found &= findProc(gIsPanelAppLaunchedProc, kRWMIsPanelAppLaunchedProcName);
    found &= findProc(gQuitPanelAppProc, kRWMQuitPanelAppProcName);
    found &= findProc(gGetEventInfoProc, kRWMGetEventInfoName);
    found &= findProc(gGetEventBusInfoProc, kRWMGetEventBusInfoName);
    found &= findProc(gGetEventChannelInfoProc, kRWMGetEventChannelInfoName);
    found &= findProc(gGetControllerInfoProc, kRWMGetControllerInfoProcName);
    found &= findProc(gGetNoteInfoProc, kRWMGetNoteInfoProcName);
    found &= findProc(gSetAudioInfoProc, kRWMSetAudioInfoProcName);
    // optional: their absence leaves found alone
    findProc(gGetDeviceLatencyProc, kRWBGetDeviceLatencyProcName);
    findProc(gGetDeviceStatusProc, kRWBGetDeviceStatusProcName);
    findProc(gSetDeviceRenderModeProc, kRWBSetDeviceRenderModeProcName);
    return found;
}

void releaseInterface() {
    clearProcs();
    ReWireUnloadReWireSharedLibrary();
}
} // namespace

bool RWMIsOpen() {
    std::lock_guard<std::mutex> hold(gInterfaceLock);
    return gReWireOpenProc != nullptr;
}

ReWireError RWMOpen(const ReWireOpenInfo* openInfo) {
    std::lock_guard<std::mutex> hold(gInterfaceLock);
    // A second opener fails here, before it loads anything: its failure must not unload or
    // clear what the holder uses.
    if (gReWireOpenProc) return kReWireError_AlreadyOpen;
    ReWireError result = ReWireLoadReWireSharedLibrary();
    if (result != kReWireError_NoError) return result;
    if (!findAllProcs()) {
        releaseInterface();
        return kReWireError_DLLTooOld;
    }
    result = gReWireOpenProc(kReWireMixerInterfaceVersion, openInfo);
    if (result != kReWireError_NoError) releaseInterface();
    return result;
}

ReWireError RWMClose() {
    std::lock_guard<std::mutex> hold(gInterfaceLock);
    if (!gReWireOpenProc) return kInterfaceClosed;
    ReWireError result = gReWireCloseProc();
    if (result == kReWireError_NoError) releaseInterface();
    return result;
}

ReWireError RWMIsCloseOK(ReWireBool* okFlag) {
    return gReWireIsCloseOKProc ? gReWireIsCloseOKProc(okFlag) : kInterfaceClosed;
}

ReWireError RWMGetDeviceCount(int32_t* count) {
    return gReWireGetDeviceCountProc ? gReWireGetDeviceCountProc(count) : kInterfaceClosed;
}

ReWireError RWMGetDeviceInfo(int32_t deviceIndex, ReWireDeviceInfo* info) {
    return gReWireGetDeviceInfo2Proc ? gReWireGetDeviceInfo2Proc(deviceIndex, info)
                                     : kInterfaceClosed;
}

ReWireError RWMGetDeviceInfoByHandle(TRWMDeviceHandle handle, ReWireDeviceInfo* info) {
    return gReWireGetDeviceInfoByHandleProc ? gReWireGetDeviceInfoByHandleProc(handle, info)
                                            : kInterfaceClosed;
}

ReWireError RWMOpenDevice(int32_t deviceIndex, TRWMDeviceHandle* handle) {
    return gReWireOpenDeviceProc ? gReWireOpenDeviceProc(deviceIndex, handle) : kInterfaceClosed;
}

ReWireError RWMIsCloseDeviceOK(TRWMDeviceHandle handle, ReWireBool* okFlag) {
    return gReWireIsCloseDeviceOKProc ? gReWireIsCloseDeviceOKProc(handle, okFlag)
                                      : kInterfaceClosed;
}

ReWireError RWMCloseDevice(TRWMDeviceHandle handle) {
    return gReWireCloseDeviceProc ? gReWireCloseDeviceProc(handle) : kInterfaceClosed;
}

ReWireError RWMDriveAudio(TRWMDeviceHandle handle, const ReWireDriveAudioInputParams* input,
                          ReWireDriveAudioOutputParams* output) {
    return gReWireDriveAudio2Proc ? gReWireDriveAudio2Proc(handle, input, output)
                                  : kInterfaceClosed;
}

ReWireError RWMIdle() {
    return gReWireIdleProc ? gReWireIdleProc() : kInterfaceClosed;
}

ReWireError RWMLaunchPanelApp(TRWMDeviceHandle handle) {
    return gLaunchPanelAppProc ? gLaunchPanelAppProc(handle) : kInterfaceClosed;
}

ReWireError RWMIsPanelAppLaunched(TRWMDeviceHandle handle, ReWireBool* flag) {
    return gIsPanelAppLaunchedProc ? gIsPanelAppLaunchedProc(handle, flag) : kInterfaceClosed;
}

ReWireError RWMQuitPanelApp(TRWMDeviceHandle handle) {
    return gQuitPanelAppProc ? gQuitPanelAppProc(handle) : kInterfaceClosed;
}

ReWireError RWMGetEventInfo(TRWMDeviceHandle handle, ReWireEventInfo* info) {
    return gGetEventInfoProc ? gGetEventInfoProc(handle, info) : kInterfaceClosed;
}

ReWireError RWMGetEventBusInfo(TRWMDeviceHandle handle, uint16_t busIndex,
                               ReWireEventBusInfo* info) {
    return gGetEventBusInfoProc ? gGetEventBusInfoProc(handle, busIndex, info) : kInterfaceClosed;
}

ReWireError RWMGetEventChannelInfo(TRWMDeviceHandle handle, const ReWireEventTarget* target,
                                   ReWireEventChannelInfo* info) {
    return gGetEventChannelInfoProc ? gGetEventChannelInfoProc(handle, target, info)
                                    : kInterfaceClosed;
}

ReWireError RWMGetControllerInfo(TRWMDeviceHandle handle, const ReWireEventTarget* target,
                                 uint16_t controllerIndex, ReWireEventControllerInfo* info) {
    return gGetControllerInfoProc ? gGetControllerInfoProc(handle, target, controllerIndex, info)
                                  : kInterfaceClosed;
}

ReWireError RWMGetNoteInfo(TRWMDeviceHandle handle, const ReWireEventTarget* target,
                           uint16_t noteIndex, ReWireEventNoteInfo* info) {
    return gGetNoteInfoProc ? gGetNoteInfoProc(handle, target, noteIndex, info) : kInterfaceClosed;
}

ReWireError RWMSetAudioInfo(const ReWireAudioInfo* info) {
    return gSetAudioInfoProc ? gSetAudioInfoProc(info) : kInterfaceClosed;
}

ReWireError RWMGetDeviceLatency(TRWMDeviceHandle handle, int32_t* frames) {
    if (!gReWireOpenProc) return kInterfaceClosed;
    if (gGetDeviceLatencyProc) return gGetDeviceLatencyProc(handle, frames);
    if (frames) *frames = 0;
    return kReWireError_NoError;
}

ReWireError RWMGetDeviceStatus(TRWMDeviceHandle handle, char* text, int32_t textBytes) {
    if (!gReWireOpenProc) return kInterfaceClosed;
    if (gGetDeviceStatusProc) return gGetDeviceStatusProc(handle, text, textBytes);
    if (text && textBytes > 0) text[0] = 0;
    return kReWireError_NoError;
}

ReWireError RWMSetDeviceRenderMode(TRWMDeviceHandle handle, int32_t mode) {
    if (!gReWireOpenProc) return kInterfaceClosed;
    return gSetDeviceRenderModeProc ? gSetDeviceRenderModeProc(handle, mode) : kReWireError_NoError;
}
