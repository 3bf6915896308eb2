// What the editor sees of the engine and may change in it. The engine implements it; the editor
// only ever calls through it, so the editor builds, links and is tested apart from the engine, and
// a UI built into another shared object reaches the engine through the vtable alone.
#pragma once

#include "foundation/str.h"

class CSynthControl {
public:
    /// getIdleFlags bit: the editor rebuilds its MIDI mapping rows and shows the chosen device.
    static constexpr int kIdleRebuildMapping = 1;
    /// Outputs the meters show.
    static constexpr int kOutputs = 8;

    virtual ~CSynthControl() = default;

    // ---- devices: the library's list and the one open ----

    /// Devices the library offers; 0 when no library could be opened.
    virtual int deviceCount() const = 0;
    virtual CStr deviceName(int index) const = 0;
    /// The open device's index; -1 when none is open.
    virtual int getDeviceIndex() const = 0;
    /// Closes the open device and opens the one at index; a negative index only closes.
    virtual void setDevice(int index) = 0;

    // ---- the sync switch ----

    virtual int getSync() const = 0;
    virtual void setSync(int value) = 0;

    // ---- the MIDI mapping rows and the open device's MIDI targets ----

    virtual int mapRowCount() const = 0;
    /// The row's target index; -1 for a row that does not exist.
    virtual int mapTarget(int row) const = 0;
    virtual void addMapRow(int target) = 0;
    virtual void removeMapRow() = 0;
    virtual void setMapTarget(int row, int target) = 0;
    /// Re-reads the open device's MIDI targets.
    virtual void refreshBusInfo() = 0;
    /// The open device's MIDI targets; 0 without a device.
    virtual int busCount() const = 0;
    virtual CStr busName(int target) const = 0;

    // ---- the output meters ----

    /// Largest absolute sample of the output since the editor last lowered it.
    virtual float peakLevel(int output) const = 0;
    /// Lowers the output's peak by amount, not below 0; a level the audio side raises
    /// meanwhile is lowered from its new value.
    virtual void lowerPeak(int output, float amount) = 0;
    virtual bool outputEnabled(int output) const = 0;
    /// True when the output is the left channel of a pair with the next one.
    virtual bool outputStereo(int output) const = 0;

    // ---- requests to the editor ----

    virtual int getIdleFlags() const = 0;
    /// Sets or clears bits; safe from any thread.
    virtual void updateIdle(int bits, bool clear) = 0;
    /// Clears the given bits and answers which of them were set.
    virtual int takeIdleFlags(int bits) = 0;

    // ---- reads that must agree ----

    /// Holds the UI side's turn: chunk loads on other host threads wait until endReading, so
    /// the values read meanwhile belong together. Calls nest; blocks go on rendering.
    virtual void beginReading() = 0;
    virtual void endReading() = 0;
};

/// Holds the engine's UI-side turn (CSynthControl::beginReading) for its lifetime.
class CSynthReading {
public:
    explicit CSynthReading(CSynthControl* engine) : synth(engine) { synth->beginReading(); }
    ~CSynthReading() { synth->endReading(); }
    CSynthReading(const CSynthReading&) = delete;
    CSynthReading& operator=(const CSynthReading&) = delete;

private:
    CSynthControl* synth;
};
