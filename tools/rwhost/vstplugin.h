// A VST 2.4 plug-in behind the commands' plug-in interface: the requests of the VST host in
// pluginhost.*, and the event records its process-events request wants.
#pragma once

#include "plugin.h"
#include "pluginhost.h"

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

class CVstPlugin : public CHostedPlugin {
public:
    CVstPlugin();

    bool load(const std::string& where, std::string& error) override;
    void describe(FILE* to) override;
    int outputCount() override;
    std::string outputLabel(int index) override;
    bool canRender(std::string& why) override;
    void configure(double rate, int block) override { host.configure(rate, block); }
    void setOffline(bool offline) override {
        host.setProcessLevel(offline ? kVstProcessLevelOffline : kVstProcessLevelRealtime);
    }
    void start() override { host.start(); }
    void stop() override { host.stop(); }
    void setTransport(const VstTimeInfo& info) override { host.setTransport(info); }
    void sendEvents(const BlockEvent* events, size_t count) override;
    void process(float** outputs, int frames) override { host.process(outputs, frames); }
    int latency() override { return host.latency(); }
    bool hasState() override { return host.hasChunks(); }
    bool getState(std::vector<unsigned char>& bytes) override { return host.getChunk(bytes); }
    bool setState(const std::vector<unsigned char>& bytes) override { return host.setChunk(bytes); }
    VstIntPtr bridgeRequest(VstInt32 index, VstIntPtr value, void* ptr) override {
        return host.dispatch(effVendorSpecific, index, value, ptr);
    }
    bool hasEditor() override;
    bool editorSize(int& width, int& height) override;
    bool openEditor(unsigned long parent, std::string& error) override;
    bool idleEditor() override;
    void closeEditor() override { host.dispatch(effEditClose); }

private:
    CPluginHost host;
    CEventList list;
};
