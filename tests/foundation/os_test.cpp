// The system helpers the product calls: path separators, the shell-free file helpers behind
// launching a program, and splitting a stream into lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "foundation/os.h"
#include "foundation/stream.h"

namespace {
// Runs the body with an environment variable changed, restoring it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) {
            had_ = true;
            old_ = old;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/rwb-os-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override { CFileManager::deleteFolder(root.c_str()); }
    void touch(const std::string& rel, const char* text = "x") {
        FILE* f = fopen((root + "/" + rel).c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs(text, f);
        fclose(f);
    }
    CStr at(const std::string& rel) { return (root + "/" + rel).c_str(); }
    std::string root;
};
} // namespace

TEST(Paths, AddSepAddsOnlyAMissingSeparator) {
    EXPECT_EQ(addSep("/a"), CStr("/a/"));
    EXPECT_EQ(addSep("/a/"), CStr("/a/"));
    EXPECT_EQ(addSep(""), CStr(""));
}

TEST_F(TempFolder, ShellHelpersNeverRunPathsAsCommands) {
    // A path full of shell syntax: if it reached a shell, the marker file would appear in the
    // working folder.
    char* cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(root.c_str()), 0);
    std::string marker = root + "/pwned";
    std::string evil = "q\"'$(touch pwned)`touch pwned`;x";
    createDir(at(evil));
    EXPECT_TRUE(folderExists(at(evil)));
    touch(evil + "/f.txt", "data");
    copyFile2(at(evil), at(evil + "-copy"));
    EXPECT_EQ(getFileSize(at(evil + "-copy/f.txt")), 4);
    copyFile2(at(evil + "/f.txt"), at("plain.txt"));
    EXPECT_EQ(getFileSize(at("plain.txt")), 4);
    CFileManager::deleteFolder(at(evil));
    EXPECT_FALSE(folderExists(at(evil)));
    CFileManager::deleteFile(at(evil + "-copy"));
    EXPECT_FALSE(folderExists(at(evil + "-copy")));
    {
        // xdg-open may be missing here; either way nothing may be run through a shell.
        ScopedEnv display("DISPLAY", nullptr);
        ScopedEnv path("PATH", "/nonexistent");
        showFolder(at(evil));
        EXPECT_TRUE(launch(at(evil), ""));
    }
    EXPECT_FALSE(fileExists(marker.c_str()));
    EXPECT_EQ(chdir(cwd), 0);
    free(cwd);
}

TEST(Streams, StreamToStrsSplitsAtLineEnds) {
    CMemoryStream m;
    m.write("one\r\ntwo\nthree\rfour", 19);
    CStringList lines;
    streamToStrs(&m, &lines);
    ASSERT_EQ(lines.count(), 4);
    EXPECT_EQ(lines.getStr(0), CStr("one"));
    EXPECT_EQ(lines.getStr(2), CStr("three"));
    EXPECT_EQ(lines.getStr(3), CStr("four"));
}
