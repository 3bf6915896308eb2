// The engine between the plug-in class and the ReWire host: transport, the MIDI queue, the
// device choice, the sync switch, the mapping and the library's idle service. The editor reaches
// it only through CSynthControl; the format that hosts the editor owns it.
#pragma once

#include <atomic>

#include "editor/synthcontrol.h"
#include "foundation/object.h"
#include "rewire/device.h"
#include "rewire/mapping.h"
#include "rewire/mixer.h"

class CMemoryStream;

class CSynth : public CObject, public CSynthControl {
public:
    static constexpr int kMaxQueuedMidi = 1024;
    /// Time signatures beyond these are taken for nonsense.
    static constexpr int kMaxBeatsPerBar = 64;
    static constexpr int kMaxBeatUnit = 64;

    CSynth();
    ~CSynth() override;
    CSynth(const CSynth&) = delete;
    CSynth& operator=(const CSynth&) = delete;

    // ---- audio side: called from the host's processing call, between beginBlock/endBlock ----

    /// False while the UI side switches the device or the format: the block then stays silent.
    bool beginBlock();
    void endBlock();
    /// Beats per minute, fractions kept.
    void setTempo(double bpm) { tempo = bpm; }
    double getTempo() const { return tempo; }
    /// The host's time signature; values no score can have give 4/4.
    void setMetre(int beatsPerBar, int beatUnit);
    /// The song position of the block's first frame; each slice is handed it moved on by the
    /// frames rendered before the slice, at the tempo.
    void setPos(double quarterNotes);
    void setLoop(int looping) { loop = looping; }
    void setLocators(double left, double right);
    void setPlaying(bool isPlaying) { playing = isPlaying; }
    /// How the host renders (an RWBRenderMode), handed on to the device.
    void setRenderMode(int mode) { renderMode = mode; }
    /// Queues a packed MIDI message for the start of the next slice, routed by the mapping.
    /// False when the queue is full and the message was not taken: render a slice (0 frames
    /// will do) and give it again.
    bool midiInput(int message);
    /// Renders one slice into the 8 outputs (adding to them) with the queued MIDI, handing the
    /// device the position of the slice's first frame. A 0-frame slice only delivers the MIDI.
    void process(float** outputs, int frames);

    // ---- UI side ----

    void setRate(int sampleRate);
    void setFrames(int maxFrames);
    int getRate() const { return rate; }
    int getFrames() const { return frames; }
    /// Closes the open device and opens the one at index; a negative index only closes. A
    /// device that will not close stays open, chosen and shown: the switch is refused, and idle
    /// tries it again until it succeeds or another pick or loaded chunk replaces it.
    void setDevice(int index) override;
    int getDeviceIndex() const override { return deviceIndex.load(); }
    /// The device the chunk names: the open one, or the one a loaded chunk named that could not
    /// be opened (library missing, mixer held elsewhere, fewer devices), kept until a new pick.
    int getChosenDevice() const { return chosenDevice.load(); }
    CReWireDevice* getDevice() const { return device; }
    CReWireMixer* getMixer() const { return mixer; }
    /// Library idle service, a device switch still wanted and MIDI target changes; the format
    /// refreshes an open editor after.
    void idle();
    /// Host frames by which the open device's sound lags the host's timeline (0 without a
    /// device); asks the library, so it may change between calls.
    int getLatency() const;
    /// The open device's one-line state from the library; empty without a device or a state.
    CStr getDeviceStatus() const;
    /// Sets or clears idleFlags bits; safe from any thread.
    void updateIdle(int bits, bool clear) override;
    /// Clears the given idleFlags bits and answers which of them were set.
    int takeIdleFlags(int bits) override { return idleFlags.fetch_and(~bits) & bits; }
    /// Re-reads the open device's MIDI targets; blocks go on rendering meanwhile.
    void refreshBusInfo() override;
    int getIdleFlags() const override { return idleFlags.load(); }

    int getSync() const override { return sync.load(); }
    void setSync(int value) override { sync.store(value); }
    const CMIDIMapping& getMapping() const { return mapping; }
    void addMapRow(int target) override;
    void removeMapRow() override;
    void setMapTarget(int row, int target) override;
    void resetMapping();

    // ---- the rest of what the editor sees ----

    int deviceCount() const override;
    CStr deviceName(int index) const override;
    int mapRowCount() const override { return mapping.getCount(); }
    int mapTarget(int row) const override { return mapping.getChannel(row); }
    int busCount() const override;
    CStr busName(int target) const override;
    float peakLevel(int output) const override;
    void lowerPeak(int output, float amount) override;
    bool outputEnabled(int output) const override;
    bool outputStereo(int output) const override;
    void beginReading() override;
    void endReading() override;

    void setParam(int, float, bool) {}
    float getParam(int) const { return 0.0f; }
    CStr getParamName(int) const { return CStr(); }
    CStr getParamValue(int) const { return CStr(); }

    void saveToStream(CMemoryStream* stream) const;
    /// Applies a saved chunk; damaged records end the reading, what came before them holds.
    void loadFromStream(CMemoryStream* stream);

    /// Entries queued for the next slice (for inspection).
    int getQueuedMidi() const { return midiCount; }

private:
    void readRecords(CMemoryStream* stream, int& deviceToSelect);
    void retryDeviceSwitch();
    /// Hands the audio thread a copy of the mapping (UI side, in an edit turn).
    void publishRoutes();
    double slicePosition() const;

    bool playing = false;
    double tempo = 120.0;
    int beatsPerBar = 4;
    int beatUnit = 4;
    int loop = 0;
    int renderMode = 0;
    double pos = 0.0;
    // frames rendered since pos was set
    long long framesSincePos = 0;
    double leftLocator = 0.0;
    double rightLocator = 0.0;
    int rate = 44100;
    int frames = 1024;
    int midiCount = 0;
    CMIDIDATA midiData[kMaxQueuedMidi] = {};
    std::atomic<bool> busesChanged{false};
    // requests to the editor, set and cleared from any host thread
    std::atomic<int> idleFlags{0};
    std::atomic<int> sync{1};
    CReWireMixer* mixer = nullptr;
    CReWireDevice* device = nullptr;
    // the UI side's mapping; the audio thread reads its copy in routes
    CMIDIMapping mapping;
    std::atomic<CMIDIRoutes*> routes{nullptr};
    // the copy a running block routes by
    const CMIDIRoutes* blockRoutes = nullptr;
    // the open device, the one shown; read by the editor and host requests on any thread
    std::atomic<int> deviceIndex{-1};
    std::atomic<int> chosenDevice{-1};
    // the device a refused switch still wants, or kNoSwitch
    static constexpr int kNoSwitch = -2;
    std::atomic<int> wantedDevice{kNoSwitch};
};
