// The plug-in's request entry point fed any opcode, index, value and option, with pointers that
// point at valid memory as a host's would: null, a zeroed or filled buffer, or a well-formed
// event list. Each input is a series of 16-byte requests; a block is rendered after each input.
//
// Left out: the close request (it deletes the plug-in) and the editor's rectangle, open and close
// requests, which the stress and open/close tests drive.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pluginsession.h"

namespace {
const int kRequestBytes = 16;
const size_t kBufferBytes = 4096;

struct Request {
    VstInt32 opcode;
    int pointer; // 0 null, 1 zeroed buffer, 2 or 3 filled buffer (an event list for events)
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

Request decode(const uint8_t* bytes) {
    Request r;
    r.opcode = bytes[0] % 80;
    r.pointer = bytes[1] % 4;
    memcpy(&r.index, bytes + 2, 4);
    int32_t value;
    memcpy(&value, bytes + 6, 4);
    r.value = value;
    memcpy(&r.opt, bytes + 10, 4);
    // Small indices and values reach the interesting branches more often.
    if (bytes[14] & 1) r.index %= 16;
    if (bytes[14] & 2) r.value %= 4096;
    return r;
}

bool skipped(VstInt32 opcode) {
    return opcode == effClose || opcode == effEditGetRect || opcode == effEditOpen ||
           opcode == effEditClose;
}

// A process-events list of up to 8 events of any type and offset, bytes from the request.
stress::EventList eventList(const uint8_t* bytes) {
    std::vector<stress::Midi> events;
    for (int i = 0; i < bytes[15] % 9; i++) {
        const uint8_t* message = bytes + (i + 4) % 12;
        events.push_back({int8_t(bytes[(i + 3) % 16]) * 16, message[0], message[1], message[2]});
    }
    stress::EventList list(events);
    VstEvent** slots = list.get()->events; // a short array the list over-allocates
    for (size_t i = 0; i < events.size(); i++)
        slots[i]->type = bytes[(i + 2) % 16] % 8;
    return list;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stress::Plugin& plugin = fuzzSession().plugin;
    static std::vector<unsigned char> buffer(kBufferBytes);
    static std::vector<unsigned char> second(kBufferBytes);
    static stress::Outputs out;
    std::vector<stress::EventList> lists; // alive until the block below has read them
    lists.reserve(size / kRequestBytes + 1);
    for (size_t at = 0; at + kRequestBytes <= size; at += kRequestBytes) {
        const uint8_t* bytes = data + at;
        Request r = decode(bytes);
        if (skipped(r.opcode)) continue;
        std::fill(buffer.begin(), buffer.end(), 0);
        std::fill(second.begin(), second.end(), 0);
        void* ptr = nullptr;
        if (r.pointer == 1) ptr = buffer.data();
        if (r.pointer >= 2) {
            for (size_t i = 0; i + 1 < kBufferBytes; i++)
                buffer[i] = bytes[i % kRequestBytes] | 1;
            ptr = buffer.data();
        }
        if (r.opcode == effProcessEvents && ptr) {
            lists.push_back(eventList(bytes));
            ptr = lists.back().get();
        }
        // A chunk's size never exceeds the memory it is in.
        if (r.opcode == effSetChunk && ptr && r.value > VstIntPtr(kBufferBytes))
            r.value = kBufferBytes;
        // The speaker arrangements travel as pointers in value and ptr.
        if ((r.opcode == effSetSpeakerArrangement || r.opcode == effGetSpeakerArrangement) &&
            r.value)
            r.value = reinterpret_cast<VstIntPtr>(second.data());
        plugin.dispatch(r.opcode, r.index, r.value, ptr, r.opt);
    }
    plugin.process(out, 256, nullptr);
    if (out.peak(256) < 0) abort();
    return 0;
}
