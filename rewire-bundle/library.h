// The state of our ReWire library between the mixer's open and close: its devices, read from
// the registry file next to the library or made from the built-in demo set (with a device
// "JACK" where libjack can be loaded).
//
// Registry file "devices.ini" in the library's folder:
//
//     [Library]
//     Devices=2              ; number of [DeviceN] sections, N from 0
//     RefuseClose=0          ; mixer close requests refused first; -1 refuses for good
//     [Device0]
//     Name=Lead Synth
//     Kind=Synth             ; Synth, Drums, Tone, Flat (constant levels, no synthesis) or Jack
//     Channels=8             ; audio channels (Tone and Flat only; the others are stereo)
//     Buses=1                ; MIDI buses replacing the kind's own; names from Bus0=...
//     Bus0=Main              ; a bus name, may be empty
//     Bus0Channels=A,B       ; channel names of bus 0; without it BusChannels unnamed channels
//     BusChannels=2
//     RefuseOpen=1
//     RefuseClose=3          ; device close requests refused first; -1 refuses for good
//     FailDrive=1
//     TargetsChangeAfter=4   ; blocks until the MIDI targets change (one bus "Changed" added)
//     TargetsChangeRepeat=1  ; announces changed targets again on every later block
//     EventLimit=16          ; events the device may return per block
//     OverstateEvents=1      ; claims far more output events than it wrote or may return
//     Latency=256            ; host frames the device reports as its latency (its sound is not
//                            ; delayed; for testing a host's delay compensation)
//     Status=Warming up      ; the state line the device reports
//
// A Kind=Jack device is a JACK client (left out where libjack is missing) with these keys:
//
//     Channels=8             ; audio inputs in_1 ... in_N, the device's channels (1-8, default 8)
//     MidiPorts=1            ; MIDI outputs midi_1 ... midi_M, one bus of 16 channels each (1-16)
//     ClientName=rwbridge    ; the JACK client's name
//     In1=fluidsynth:left    ; JACK port connected to in_1 at open; In1 ... In8
//     Midi1=fluidsynth:midi_00 ; JACK MIDI input connected from midi_1 at open; Midi1 ... Midi16
//
// Besides the twenty mixer entry points the library exports three of its own, which a mixer may
// look up and do without (a library lacking them has no latency and no state to report, and
// takes every host for a realtime one unless it can tell by the host's pace). The first two
// come from the mixer's UI side, never from its audio thread, and may come while a drive call
// runs; all answer 1 or a failure code, like the twenty:
//
//     ReWireError RWBGetDeviceLatencyImp(TRWMDeviceHandle handle, int32_t* frames);
//         The open device's latency: host frames by which its sound lags the host's timeline,
//         the delay a host's delay compensation must make up; 0 for devices that render inside
//         the drive call. It may change while the device is open (a JACK server's period).
//     ReWireError RWBGetDeviceStatusImp(TRWMDeviceHandle handle, char* text, int32_t textBytes);
//         One line on what the open device is doing or cannot do, for a user, cut to fit
//         textBytes with its terminator; empty when all is well.
//     ReWireError RWBSetDeviceRenderModeImp(TRWMDeviceHandle handle, int32_t mode);
//         How the host renders: 0 it does not say, 1 in real time, 2 offline (an export). From
//         the audio thread before a drive call, when the mode changes and after each open; it
//         only stores the mode. Offline, a device that follows a clock of its own (JACK) may
//         wait in its drive call for what the block needs; in real time it never waits; when
//         the host does not say, it waits only while the host's pace shows an offline render.
#pragma once

#include <atomic>
#include <vector>

#include "bundledevice.h"

class CReWireLibrary {
public:
    static constexpr int kMaxDevices = 64;

    /// Builds the devices from the registry in folder, or the demo set without one.
    explicit CReWireLibrary(const CStr& folder);
    ~CReWireLibrary();
    CReWireLibrary(const CReWireLibrary&) = delete;
    CReWireLibrary& operator=(const CReWireLibrary&) = delete;

    int getDeviceCount() const { return int(devices.size()); }
    CBundleDevice* getDevice(int index) const;
    /// The device behind a handle given out by this library, or null.
    CBundleDevice* fromHandle(TRWMDeviceHandle handle) const;
    bool askClose();
    void closeAllDevices();

    void setAudioInfo(int sampleRate, int maxFrames);
    int getSampleRate() const { return sampleRate.load(); }
    int getMaxFrames() const { return maxFrames.load(); }
    /// The mixer's idle service: every device's own idle work (never on the audio thread).
    void idle();

private:
    void readRegistry(const CStr& path);
    void addDemoDevices();

    std::vector<CBundleDevice*> devices;
    int refuseClose = 0;
    int closeRefusals = 0;
    std::atomic<int> sampleRate{44100};
    std::atomic<int> maxFrames{1024};
    std::atomic<int> idleCount{0};
};
