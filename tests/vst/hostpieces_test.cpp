// The part of rwhost that decides before anything is loaded: the command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"

namespace {

bool parse(std::vector<std::string> args, HostOptions& o, std::string& error,
           const CommandSpec& command = renderCommand) {
    args.insert(args.begin(), command.name);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    return parseCommandLine(command, static_cast<int>(argv.size()), argv.data(), o, error) ==
           Parsed::run;
}

} // namespace

TEST(CommandLine, RefusesBadValuesWithAMessage) {
    const std::vector<std::vector<std::string>> bad = {
        {"--out", "o.wav"},
        {"p.so"},
        {"p.so", "--out"},
        {"p.so", "q.so", "--out", "o.wav"},
        {"p.so", "--out", "o.wav", "--colour", "red"},
        {"p.so", "--out", "o.wav", "--rate", "44.1k"},
        {"p.so", "--out", "o.wav", "--rate", "1000"},
        {"p.so", "--out", "o.wav", "--block", "0"},
        {"p.so", "--out", "o.wav", "--block", "1e3"},
        {"p.so", "--out", "o.wav", "--seconds", "nan"},
        {"p.so", "--out", "o.wav", "--seconds", "-1"},
        {"p.so", "--out", "o.wav", "--tempo", "inf"},
        {"p.so", "--out", "o.wav", "--loop", "8:4"},
        {"p.so", "--out", "o.wav", "--loop", "4"},
        {"p.so", "--out", "o.wav", "--loop", "1:1.001"},
        {"p.so", "--out", "o.wav", "--device", "-1"},
        {"p.so", "--out", "o.wav", "--device", "99999999999"},
        {"p.so", "--out", "o.wav", "--seconds", "3601"},
    };
    for (const auto& args : bad) {
        HostOptions o;
        std::string error;
        EXPECT_FALSE(parse(args, o, error)) << args.back();
        EXPECT_FALSE(error.empty());
    }
    HostOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--loop", "4:8", "p.so", "--out", "o.wav", "--block", "64"}, o, error));
    EXPECT_EQ(o.plugin, "p.so"); // options may come before the plug-in
    EXPECT_EQ(o.loopEnd, 8.0);
    EXPECT_EQ(o.block, 64);
    // every command reads the same table, each with only its own options
    EXPECT_FALSE(parse({"p.so", "--seconds", "3601"}, o, error, guiCommand));
    EXPECT_TRUE(parse({"p.so", "--seconds", "3600"}, o, error, guiCommand));
    EXPECT_FALSE(parse({"p.so", "--out", "o.png", "--midi", "a.mid"}, o, error, screenshotCommand));
    EXPECT_EQ(error, "unknown option '--midi'");
}
