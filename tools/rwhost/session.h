// Pieces shared by the commands that run a plug-in: the ReWire device choice and the event
// records handed over with each block.
#pragma once

#include <cstddef>
#include <vector>

#include "pluginhost.h"
#include "sequencer.h"

/// The plug-in's device choice goes through its chunk, as a host restoring a project would:
/// the "app" record of the current chunk is rewritten and the chunk handed back. Reports and
/// answers false when the plug-in does not keep the choice.
bool chooseDevice(CPluginHost& host, int device);

/// Event records for one block, laid out as the process-events request wants them.
class CEventList {
public:
    explicit CEventList(size_t capacity)
        : midi(capacity), storage(sizeof(VstEvents) + capacity * sizeof(VstEvent*)) {}

    VstEvents* fill(const BlockEvent* events, size_t count);

private:
    std::vector<VstMidiEvent> midi;
    std::vector<VstEvent*> storage; // pointer-aligned room for the header and the slots
};
