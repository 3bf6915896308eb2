#include "rwhost_runner.h"

#include <sndfile.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>

Outcome rwhost(const std::string& args) {
    const std::string command = std::string(RWHOST_PATH) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    Outcome run{-1, ""};
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool readWav(const std::string& path, Wav& wav) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return false;
    std::vector<float> frames(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    wav.rate = info.samplerate;
    wav.channels = info.channels;
    wav.channel.assign(info.channels, std::vector<float>(info.frames));
    for (sf_count_t i = 0; i < info.frames; ++i)
        for (int c = 0; c < info.channels; ++c)
            wav.channel[c][i] = frames[i * info.channels + c];
    return true;
}

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

Bytes songFile(double start, double length, uint32_t microsPerQuarter) {
    auto bigEndian = [](Bytes& b, uint32_t v, int bytes) {
        for (int s = 8 * (bytes - 1); s >= 0; s -= 8)
            b.push_back(static_cast<unsigned char>(v >> s));
    };
    auto varLen = [](Bytes& b, uint32_t v) {
        Bytes tmp{static_cast<unsigned char>(v & 0x7F)};
        while (v >>= 7)
            tmp.insert(tmp.begin(), static_cast<unsigned char>(0x80 | (v & 0x7F)));
        b.insert(b.end(), tmp.begin(), tmp.end());
    };
    Bytes conductor;
    if (microsPerQuarter) {
        conductor = {0x00, 0xFF, 0x51, 0x03};
        bigEndian(conductor, microsPerQuarter, 3);
    }
    conductor.insert(conductor.end(), {0x00, 0xFF, 0x2F, 0x00});
    Bytes notes;
    varLen(notes, static_cast<uint32_t>(start * 480));
    notes.insert(notes.end(), {0x90, 69, 127});
    varLen(notes, static_cast<uint32_t>(length * 480));
    notes.insert(notes.end(), {69, 0, 0x00, 0xFF, 0x2F, 0x00}); // running status, velocity 0

    Bytes f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0x01, 0xE0};
    for (const Bytes* t : {&conductor, &notes}) {
        f.insert(f.end(), {'M', 'T', 'r', 'k'});
        bigEndian(f, static_cast<uint32_t>(t->size()), 4);
        f.insert(f.end(), t->begin(), t->end());
    }
    return f;
}
