// The answers to rwbridge's own requests (meters, state, device names and status, device choice;
// their indexes and layouts are in vst/vendorrequests.h), the same whichever format asks: the VST
// plug-in's vendor-specific request and the LV2 plug-in's extension data.
#pragma once

#include "vst/vendorrequests.h"

class CSynth;

/// Answers request index with its value and pointer; 0 for a request it does not know.
VstIntPtr answerBridgeRequest(CSynth& synth, VstInt32 index, VstIntPtr value, void* ptr);
