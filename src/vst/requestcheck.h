// The arguments a host request must carry before any dispatcher sees it. Checked once at the
// descriptor's entry, so that a plug-in class that answers some requests in its own dispatcher
// gets the same protection as the frame's defaults.
#pragma once

#include "vst/aeffect.h"

/// True when the request cannot be served safely (a needed pointer is null, a size or program
/// is out of range, a sample rate is not a usable number); answer is then what the host gets.
bool refuseRequest(const AEffect& effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                   const void* ptr, float opt, VstIntPtr& answer);
