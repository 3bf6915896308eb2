// The plug-in's side of a ReWire connection: opens the library's mixer interface, lists the
// installed devices, owns the channel buffers devices render into, and hands each block with
// the host's transport and MIDI to every open device.
#pragma once

#include <atomic>

#include "foundation/list.h"
#include "foundation/object.h"
#include "foundation/processgate.h"
#include "rewire/device.h"

/// The eight plug-in outputs: requested or not, stereo pairs, and peak levels for the meters.
class CAudioOuts : public CObject {
public:
    static constexpr int kCount = 8;

    CAudioOuts();

    int enabled[kCount];
    /// Non-zero when output n is the left channel of a pair with output n + 1.
    int stereo[kCount];
    /// Largest absolute sample sent to output n since the editor last lowered it.
    /// Raised by the audio thread, lowered by the editor: atomics, so neither side ever sees a
    /// torn value; a lost decay step only delays the meter by one refresh.
    std::atomic<float> peak[kCount];
};

class CReWireMixer : public CObject {
public:
    static constexpr int kDefaultCloseTimeoutMS = 120000;
    /// Devices listed at most, whatever count the library reports.
    static constexpr int kMaxDevices = 256;

    CReWireMixer(int sampleRate, int maxFrames);
    ~CReWireMixer() override;
    CReWireMixer(const CReWireMixer&) = delete;
    CReWireMixer& operator=(const CReWireMixer&) = delete;

    void open(int sampleRate, int maxFrames);
    /// Waits up to the close time-out for the library to allow closing; stays open otherwise.
    void close();
    bool isActive() const { return isOpen; }
    void setCloseTimeout(int ms) { closeTimeoutMS = ms; }

    int deviceCount() const { return devices.getCount(); }
    CStr deviceName(int i) const;
    CReWireDevice* getDevice(int i) const;
    bool openDevice(int i);
    void closeDevice(int i);

    void setFormat(int sampleRate, int maxFrames);
    int getSampleRate() const { return rate; }
    int getMaxFrames() const { return frames; }
    float* getBuffer(int n) const;
    /// Replaces the eight channel buffers with new ones of max-frames floats / frees them;
    /// the gate is closed while they change.
    void createBuffers();
    void deleteBuffers();

    void setPlaying(bool playing);
    bool getPlaying() const { return isPlaying; }
    void setPos(double quarterNotes) { pos = quarterNotes; }
    double getPos() const { return pos; }
    void setTempo(double bpm) { tempo = bpm; }
    double getTempo() const { return tempo; }
    void setMetre(int beats, int unit) {
        beatsPerBar = beats;
        beatUnit = unit;
    }
    int getBeatsPerBar() const { return beatsPerBar; }
    int getBeatUnit() const { return beatUnit; }
    void setLoop(int looping) { loop = looping; }
    int getLoop() const { return loop; }
    void setLocators(double start, double end);
    double getLoopStart() const { return loopStart; }
    double getLoopEnd() const { return loopEnd; }
    /// How the host renders now (an RWBRenderMode); set and read on the audio thread.
    void setRenderMode(int mode) { renderMode = mode; }
    int getRenderMode() const { return renderMode; }

    /// Set by a device whose library announced changed MIDI targets; cleared by the engine.
    bool getTargetsChanged() const { return targetsChanged.load(std::memory_order_acquire); }
    void setTargetsChanged(bool changed) { targetsChanged.store(changed); }

    /// The library's idle service; also hands the library a format it refused before.
    void idle();
    /// Drives every open device for one slice; frames beyond the buffer size are not rendered.
    /// Runs on the audio thread between gate.enter() and gate.leave() of its block.
    void process(float** outputs, int frameCount, int eventCount, const CMIDIDATA* events);

    CAudioOuts outs;
    /// Keeps the audio thread apart from the UI side's changes of devices, buffers and tables.
    CProcessGate gate;

private:
    void allocateBuffers();
    void freeBuffers();
    void readDevices();
    void deleteDevices();
    bool waitForCloseOK();
    void tellAudioInfo();

    int rate;
    int frames;
    double tempo = 120.0;
    int beatsPerBar = 4;
    int beatUnit = 4;
    int loop = 0;
    double loopStart = 0;
    double loopEnd = 0;
    double pos = 0;
    int renderMode = 0;
    bool isOpen = false;
    CList devices;
    bool isPlaying = false;
    float* buffers[CAudioOuts::kCount] = {};
    std::atomic<bool> playChanged{false};
    std::atomic<bool> targetsChanged{false};
    int closeTimeoutMS = kDefaultCloseTimeoutMS;
    // the library refused the current format; idle() offers it again
    bool audioInfoPending = false;
};
