// rwbridge's own requests (src/vst/vendorrequests.h: meters, state, device names, device
// choice) offered to LV2 hosts as extension data of the plug-in, with the same indexes,
// values, layouts and answers as the VST plug-in's vendor-specific requests. rwhost asks
// them; other hosts never do.
#pragma once

#include <stdint.h>

#define RWB_LV2_BRIDGE_REQUESTS_URI "urn:rwbridge:lv2:bridge-requests"

typedef struct {
    /// Answers request index with its value and pointer for the instance; 0 when unknown.
    intptr_t (*request)(void* instance, int32_t index, intptr_t value, void* ptr);
} RwbBridgeRequests;
