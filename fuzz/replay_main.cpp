// Replays fuzz inputs without libFuzzer: every file in the folders (or the files) named on the
// command line goes through the target once. A crash or sanitizer report fails the run, and so
// does an input that takes longer than the bound (RWB_REPLAY_SECONDS, default 10): a reader
// that loops forever on it fails at once, naming the input.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {
char current[4096];

void onTimeout(int) {
    const char message[] = "input took longer than the replay bound: ";
    ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
    ignored = write(STDERR_FILENO, current, strlen(current));
    ignored = write(STDERR_FILENO, "\n", 1);
    (void)ignored;
    _exit(1);
}

void replay(const fs::path& file, unsigned bound) {
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    snprintf(current, sizeof current, "%s", file.c_str());
    alarm(bound);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    alarm(0);
}
} // namespace

int main(int argc, char** argv) {
    const char* seconds = getenv("RWB_REPLAY_SECONDS");
    const unsigned bound = seconds ? unsigned(atoi(seconds)) : 10u;
    signal(SIGALRM, onTimeout);
    int count = 0;
    for (int i = 1; i < argc; i++) {
        fs::path path(argv[i]);
        if (fs::is_directory(path)) {
            for (const auto& entry : fs::directory_iterator(path))
                if (entry.is_regular_file()) replay(entry.path(), bound), count++;
        } else if (fs::is_regular_file(path)) {
            replay(path, bound), count++;
        }
    }
    printf("replayed %d inputs\n", count);
    return count > 0 ? 0 : 1;
}
