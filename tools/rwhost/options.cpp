#include "options.h"

#include <getopt.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

bool parseNumber(const char* text, double low, double high, double& out) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (errno != 0 || *end != 0 || !std::isfinite(v) || v < low || v > high) return false;
    out = v;
    return true;
}

bool parseInt(const char* text, int low, int high, int& out) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != 0 || v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

bool parseLoop(const char* text, double& start, double& end) {
    const char* colon = text ? std::strchr(text, ':') : nullptr;
    if (!colon) return false;
    const std::string first(text, colon);
    double a, b;
    if (!parseNumber(first.c_str(), 0.0, 1e6, a) || !parseNumber(colon + 1, 0.0, 1e6, b))
        return false;
    if (b - a < 1.0 / 64.0) return false; // shorter loops cannot be played
    start = a;
    end = b;
    return true;
}

bool parseMetre(const char* text, int& beatsPerBar, int& beatUnit) {
    const char* slash = text ? std::strchr(text, '/') : nullptr;
    if (!slash) return false;
    const std::string beats(text, slash);
    int n, d;
    if (!parseInt(beats.c_str(), 1, 64, n) || !parseInt(slash + 1, 1, 64, d)) return false;
    if ((d & (d - 1)) != 0) return false; // a beat is a whole, half, quarter ... note
    beatsPerBar = n;
    beatUnit = d;
    return true;
}

namespace {

/// One option of the table: its name, the value it takes, and how the value is read.
struct OptionRow {
    Option option;
    const char* name;
    const char* value; ///< placeholder in the help text; null for a switch
    /// Stores the value; false when it is out of range. Switches get a null value.
    bool (*apply)(const char* value, HostOptions& o);
    const char* range; ///< what a valid value is, for the message about an invalid one
};

const OptionRow optionTable[] = {
    {Option::midi, "midi", "FILE.mid",
     [](const char* v, HostOptions& o) {
         o.midi = v;
         return true;
     },
     nullptr},
    {Option::out, "out", "FILE",
     [](const char* v, HostOptions& o) {
         o.out = v;
         return true;
     },
     nullptr},
    {Option::seconds, "seconds", "S",
     [](const char* v, HostOptions& o) { return parseNumber(v, 0.001, maxSeconds, o.seconds); },
     "0.001 to 3600 seconds"},
    {Option::rate, "rate", "R",
     [](const char* v, HostOptions& o) { return parseNumber(v, 8000.0, 384000.0, o.rate); },
     "8000 to 384000 Hz"},
    {Option::block, "block", "N",
     [](const char* v, HostOptions& o) { return parseInt(v, 1, 8192, o.block); },
     "1 to 8192 frames"},
    {Option::tempo, "tempo", "BPM",
     [](const char* v, HostOptions& o) { return parseNumber(v, 1.0, 999.0, o.tempo); },
     "1 to 999 beats per minute"},
    {Option::metre, "metre", "N/D",
     [](const char* v, HostOptions& o) { return parseMetre(v, o.beatsPerBar, o.beatUnit); },
     "N/D with N 1 to 64 and D 1, 2, 4, 8, 16, 32 or 64"},
    {Option::loop, "loop", "A:B",
     [](const char* v, HostOptions& o) { return o.loop = parseLoop(v, o.loopStart, o.loopEnd); },
     "A:B in quarter notes with A < B"},
    {Option::stopped, "stopped", nullptr,
     [](const char*, HostOptions& o) {
         o.stopped = true;
         return true;
     },
     nullptr},
    {Option::realtime, "realtime", nullptr,
     [](const char*, HostOptions& o) {
         o.realtime = true;
         return true;
     },
     nullptr},
    {Option::chunkIn, "chunk-in", "F",
     [](const char* v, HostOptions& o) {
         o.chunkIn = v;
         return true;
     },
     nullptr},
    {Option::chunkOut, "chunk-out", "F",
     [](const char* v, HostOptions& o) {
         o.chunkOut = v;
         return true;
     },
     nullptr},
    {Option::device, "device", "N",
     [](const char* v, HostOptions& o) { return parseInt(v, 0, 255, o.device); },
     "a device number, 0 to 255"},
    {Option::report, "report", "FILE",
     [](const char* v, HostOptions& o) {
         o.report = v;
         return true;
     },
     nullptr},
    {Option::noCompensate, "no-compensate", nullptr,
     [](const char*, HostOptions& o) {
         o.compensate = false;
         return true;
     },
     nullptr},
};

const OptionRow& rowOf(Option option) {
    for (const OptionRow& row : optionTable)
        if (row.option == option) return row;
    return optionTable[0]; // every option has a row
}

constexpr int helpCode = 'h';

/// getopt_long's table for the command's options; getopt_long answers with the option's index
/// in the command's list.
std::vector<option> longOptions(const CommandSpec& command) {
    std::vector<option> table;
    for (size_t i = 0; i < command.options.size(); ++i) {
        const OptionRow& row = rowOf(command.options[i].option);
        table.push_back(
            {row.name, row.value ? required_argument : no_argument, nullptr, static_cast<int>(i)});
    }
    table.push_back({"help", no_argument, nullptr, helpCode});
    table.push_back({nullptr, 0, nullptr, 0});
    return table;
}

std::string quoted(const char* text) {
    return std::string("'") + (text ? text : "") + "'";
}

} // namespace

Parsed parseCommandLine(const CommandSpec& command, int argc, char** argv, HostOptions& o,
                        std::string& error) {
    o = HostOptions();
    const std::vector<option> table = longOptions(command);
    std::vector<bool> given(command.options.size(), false);
    optind = 0; // a full restart of getopt's state
    opterr = 0;
    int code;
    while ((code = getopt_long(argc, argv, ":h", table.data(), nullptr)) != -1) {
        if (code == helpCode) return Parsed::help;
        if (code == '?' || code == ':') {
            const char* arg = argv[optind - 1];
            error =
                code == ':' ? std::string(arg) + " needs a value" : "unknown option " + quoted(arg);
            return Parsed::usageError;
        }
        const OptionRow& row = rowOf(command.options[static_cast<size_t>(code)].option);
        if (!row.apply(optarg, o)) {
            error = std::string("invalid value for --") + row.name + ": " + quoted(optarg) + " (" +
                    row.range + ")";
            return Parsed::usageError;
        }
        given[static_cast<size_t>(code)] = true;
    }
    if (optind >= argc) {
        error = "no plug-in given";
        return Parsed::usageError;
    }
    o.plugin = argv[optind];
    if (optind + 1 < argc) {
        error = "unexpected argument " + quoted(argv[optind + 1]);
        return Parsed::usageError;
    }
    for (size_t i = 0; i < command.options.size(); ++i) {
        const OptionRow& row = rowOf(command.options[i].option);
        if (command.options[i].required && !given[i]) {
            error = std::string("--") + row.name + " is required";
            return Parsed::usageError;
        }
    }
    return Parsed::run;
}

void printHelp(const CommandSpec& command, FILE* to) {
    std::fprintf(to, "usage: rwhost %s %s\n\n%s\n", command.name, command.synopsis,
                 command.description);
    std::fputs("PLUGIN is a VST 2.4 shared object, an LV2 bundle (a folder ending in .lv2) or\n"
               "an LV2 plug-in URI, found on LV2_PATH.\n\n",
               to);
    for (const CommandOption& c : command.options) {
        const OptionRow& row = rowOf(c.option);
        const std::string left =
            std::string("--") + row.name + (row.value ? " " : "") + (row.value ? row.value : "");
        std::fprintf(to, "  %-18s ", left.c_str());
        for (const char* p = c.help; *p; ++p) {
            std::fputc(*p, to);
            if (*p == '\n') std::fprintf(to, "  %-18s ", "");
        }
        std::fputc('\n', to);
    }
    std::fprintf(to, "  %-18s show this text\n\nexit codes: 0 done, 1 failed, 2 bad arguments\n",
                 "--help");
}

const CommandSpec infoCommand = {
    "info",
    "PLUGIN [--device N]",
    "Loads a plug-in and prints what its format tells (VST: descriptor, category, outputs\n"
    "with their labels and flags, capability answers; LV2: URI, classes, ports, UI, state),\n"
    "the size of its state chunk, and the ReWire devices it offers with the chosen one, its\n"
    "latency and its state.\n",
    {{Option::device, "choose ReWire device N (counted from 0) first", false}}};

const CommandSpec renderCommand = {
    "render",
    "PLUGIN --out FILE.wav [options]",
    "Plays a MIDI file through an instrument with a running transport and writes every\n"
    "output of the plug-in to one multichannel WAV file (32-bit float). The render runs as\n"
    "fast as the plug-in allows and tells it that it renders offline; a device that follows a\n"
    "clock of its own (the JACK device) then sets the pace, real time, so that the file holds\n"
    "what its applications play, and rwhost says so. Blocks such a device could not fill in\n"
    "time (its server gone, an application stalled) are reported at the end with the device's\n"
    "state.\n",
    {{Option::midi, "Standard MIDI File (format 0 or 1) to play", false},
     {Option::out, "the WAV file to write", true},
     {Option::seconds,
      "length of the render, at most 3600 (default: the song plus one\n"
      "second, or 4 s)",
      false},
     {Option::rate, "sample rate in Hz, 8000 to 384000 (default 44100)", false},
     {Option::block, "frames per processing call, 1 to 8192 (default 512)", false},
     {Option::tempo, "fixed tempo, 1 to 999 (default: the file's tempo map, else 120)", false},
     {Option::metre,
      "fixed time signature, e.g. 3/4 (default: the file's time\n"
      "signatures, else 4/4)",
      false},
     {Option::loop, "loop the transport between quarter notes A and B", false},
     {Option::stopped,
      "report a stopped transport; the MIDI file is still played, as\n"
      "live input",
      false},
     {Option::realtime,
      "process at the pace of the sample rate on an audio thread, as a\n"
      "host's audio callback would, telling the plug-in it runs in real\n"
      "time",
      false},
     {Option::chunkIn, "load the plug-in's state from chunk file F before playing", false},
     {Option::chunkOut, "save the plug-in's state to chunk file F afterwards", false},
     {Option::device, "choose ReWire device N (counted from 0; rwhost info lists them)", false},
     {Option::noCompensate,
      "keep the plug-in's latency in the output; by default the render\n"
      "runs that many frames longer and drops them from the start, as a\n"
      "host's delay compensation does",
      false}}};

const CommandSpec guiCommand = {
    "gui",
    "PLUGIN [options]",
    "Opens the plug-in's editor in a window and runs the plug-in as a host would: editor idle\n"
    "about 30 times a second, and an audio thread that processes blocks of 512 frames at\n"
    "44100 Hz in real time with a running transport.\n",
    {{Option::seconds,
      "close after S seconds, at most 3600 (default: when the window\n"
      "is closed)",
      false},
     {Option::midi, "play this Standard MIDI File in a loop", false},
     {Option::out, "write the plug-in's outputs to this WAV file (default: none kept)", false},
     {Option::device, "choose ReWire device N (counted from 0) before opening the editor", false},
     {Option::report,
      "after every idle request, append a line with the plug-in's state:\n"
      "idle count, chosen device, sync switch, MIDI mapping and meters",
      false}}};

const CommandSpec screenshotCommand = {
    "screenshot",
    "PLUGIN --out FILE.png [options]",
    "Opens the plug-in's editor in a window, lets it paint, and saves the window as a PNG.\n",
    {{Option::out, "the picture to write", true},
     {Option::device, "choose ReWire device N (counted from 0) first", false}}};
