// One VST 2.4 plug-in loaded into this process, and the host side of its callback: version,
// sample rate, block size, transport, capabilities. Keeps no global state but the address of
// the single loaded host, which the C callback needs to find its way back.
#pragma once

#include <string>
#include <vector>

#include "library.h"
#include "vst/aeffect.h"

class CPluginHost {
public:
    CPluginHost();
    CPluginHost(const CPluginHost&) = delete;
    CPluginHost& operator=(const CPluginHost&) = delete;
    ~CPluginHost();

    /// Loads the shared object and creates the plug-in through VSTPluginMain, else main.
    bool load(const std::string& path, std::string& error);
    /// Closes the plug-in and unloads its library.
    void unload();

    AEffect* effect() const { return plugin; }
    const char* entryName() const { return entry; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    std::string effectName();
    std::string vendorString();
    std::string productString();
    /// Label and flags of an output; false when the plug-in does not describe it.
    bool outputProperties(int index, std::string& label, VstInt32& flags);
    VstInt32 canDo(const char* capability);

    bool hasChunks() const { return plugin && (plugin->flags & effFlagsProgramChunks); }
    /// The plug-in's state as one chunk (the bank chunk); false when it gives none.
    bool getChunk(std::vector<unsigned char>& bytes);
    bool setChunk(const std::vector<unsigned char>& bytes);

    /// Sample rate and block size, told to the plug-in and answered to its requests.
    void configure(double rate, int block);
    void start();
    void stop();
    /// What the time request answers from now on.
    void setTransport(const VstTimeInfo& info) { transport = info; }
    void sendEvents(const VstEvents* events);
    /// One block into the given outputs; inputs, when the plug-in has any, are silent.
    void process(float** outputs, int frames);

    /// What the process level request answers: realtime while the blocks keep time, offline
    /// for a render as fast as it goes.
    void setProcessLevel(VstInt32 level) { processLevel = level; }

    int timeRequests() const { return timeRequestCount; }
    /// Frames by which the plug-in's output lags its input: its initial delay, read at load
    /// and again whenever it tells the host that its inputs and outputs changed.
    int latency() const { return delay; }

    /// What this host answers to a plug-in's request.
    VstIntPtr answer(AEffect* from, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                     float opt);

private:
    std::string askText(VstInt32 opcode);
    void readLatency();

    CLibrary library;
    AEffect* plugin = nullptr;
    const char* entry = "";
    double sampleRate = 44100.0;
    int blockSize = 512;
    bool running = false;
    VstTimeInfo transport{};
    int timeRequestCount = 0;
    VstInt32 processLevel = kVstProcessLevelRealtime;
    int delay = 0;
    std::vector<float> silence;
    std::vector<float*> inputs;
};
