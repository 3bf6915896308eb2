// One LV2 plug-in found through lilv, hosted as a plug-in host does: urid:map, options with
// the block sizes, MIDI and time:Position in an atom sequence, audio outputs, the latency
// port, the state interface for the state chunk, and its X11 UI.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "lv2/bridgeextension.h"
#include "lv2ui.h"
#include "plugin.h"

/// URIs and the integers that stand for them, for the plug-in and its UI alike.
class CUridMap {
public:
    CUridMap();
    LV2_URID map(const char* uri);
    const char* unmap(LV2_URID id);
    LV2_URID_Map* mapFeature() { return &mapData; }
    LV2_URID_Unmap* unmapFeature() { return &unmapData; }

private:
    std::mutex lock; // a UI may map from its own thread
    std::unordered_map<std::string, LV2_URID> ids;
    std::vector<std::unique_ptr<std::string>> uris;
    LV2_URID_Map mapData;
    LV2_URID_Unmap unmapData;
};

class CLv2Host : public CHostedPlugin {
public:
    CLv2Host();
    ~CLv2Host() override;
    CLv2Host(const CLv2Host&) = delete;
    CLv2Host& operator=(const CLv2Host&) = delete;

    bool load(const std::string& where, std::string& error) override;
    void describe(FILE* to) override;
    int outputCount() override { return static_cast<int>(audioOutputs.size()); }
    std::string outputLabel(int index) override;
    bool canRender(std::string& why) override;
    void configure(double rate, int block) override;
    /// rwbridge's LV2 plug-in has no free-wheeling port to hear it on.
    void setOffline(bool) override {}
    void start() override;
    void stop() override;
    void setTransport(const VstTimeInfo& info) override { transport = info; }
    void sendEvents(const BlockEvent* events, size_t count) override;
    void process(float** outputs, int frames) override;
    int latency() override;
    bool hasState() override { return stateInterface() != nullptr; }
    bool getState(std::vector<unsigned char>& bytes) override;
    bool setState(const std::vector<unsigned char>& bytes) override;
    VstIntPtr bridgeRequest(VstInt32 index, VstIntPtr value, void* ptr) override;
    bool hasEditor() override;
    bool editorSize(int& width, int& height) override;
    bool openEditor(unsigned long parent, std::string& error) override;
    bool idleEditor() override;
    void closeEditor() override;

private:
    enum class PortKind { audioOut, audioIn, controlIn, controlOut, atomIn, atomOut, other };
    struct Port {
        uint32_t index;
        PortKind kind;
        float value;                 ///< control ports
        std::vector<uint64_t> atoms; ///< atom ports, 8-byte aligned
    };
    struct StateProperty {
        uint32_t key;
        uint32_t type;
        uint32_t flags;
        std::vector<unsigned char> bytes;
    };

    bool findPlugin(const std::string& where, std::string& error);
    bool checkFeatures(std::string& error);
    void readPorts();
    bool instantiate(std::string& error);
    void freeInstance();
    void connectPorts();
    const LV2_State_Interface* stateInterface();
    bool saveState(std::vector<StateProperty>& properties);
    void writeEvents(const BlockEvent* events, size_t count);
    void clearEvents();
    void writePosition();
    bool positionChanged() const;

    CUridMap urids;
    /// Mapped once, so that the audio thread never maps.
    struct {
        LV2_URID sequence, chunk, midiEvent, position, frame, speed, beatsPerMinute, beatsPerBar,
            beatUnit, bar, barBeat, beat;
    } uri;
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    double sampleRate = 44100.0;
    int32_t blockSize = 512;
    int32_t minBlock = 1;
    int32_t sequenceBytes = 65536;
    float optionRate = 44100.0f;
    std::vector<LV2_Options_Option> options;
    std::vector<LV2_Feature> featureList;
    std::vector<const LV2_Feature*> features;
    std::vector<Port> ports;
    std::vector<uint32_t> audioOutputs;
    std::vector<float> silence;
    std::vector<float> scratch; ///< audio outputs that are not rendered
    Port* eventInput = nullptr;
    int latencyPort = -1;
    bool running = false;
    VstTimeInfo transport{};
    VstTimeInfo sentTransport{};
    bool positionSent = false;
    LV2_Atom_Forge forge;
    CLv2Ui ui;
};
