#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
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

TEST(Paths, AddSepAndSmallHelpers) {
    EXPECT_EQ(addSep("/a"), CStr("/a/"));
    EXPECT_EQ(addSep("/a/"), CStr("/a/"));
    EXPECT_EQ(addSep(""), CStr(""));
    EXPECT_EQ(stripValue("key=value"), CStr("key"));
    EXPECT_EQ(stripValue("plain"), CStr("plain"));
    int a = 5, b = 2;
    order(a, b);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 5);
    for (int i = 0; i < 100; i++) {
        float r = asRand();
        EXPECT_GE(r, 0.0f);
        EXPECT_LT(r, 1.0f);
    }
}

TEST_F(TempFolder, HomeCacheAndDesktopFollowHome) {
    ScopedEnv home("HOME", root.c_str());
    EXPECT_EQ(getHomeFolder(), CStr(root.c_str()));
    EXPECT_EQ(getDesktopFolder(), at("Desktop"));
    // Without a cache folder the system's temp folder serves.
    {
        ScopedEnv tmp("TMPDIR", nullptr);
        EXPECT_EQ(getTempFolder(), CStr("/tmp"));
    }
    createDir(at(".cache"));
    EXPECT_EQ(getTempFolder(), at(".cache/Lumiwerk"));
    EXPECT_TRUE(folderExists(at(".cache/Lumiwerk")));
    CStringList paths;
    getSystemFolders(&paths);
    ASSERT_EQ(paths.count(), 2);
    EXPECT_EQ(paths.getStr(0), CStr(root.c_str()));
    EXPECT_EQ(paths.getStr(1), CStr("/"));
}

TEST(Folders, UnsetHomeFallsBackToThePasswordDatabase) {
    ScopedEnv home("HOME", nullptr);
    CStr h = getHomeFolder();
    EXPECT_GT(h.length(), 0);
    EXPECT_TRUE(getTempFolder().length() > 0);
    EXPECT_TRUE(folderExists(getTempFolder()));
    CStringList names, paths;
    getDefaultFolders(&names, &paths);
    ASSERT_GE(names.count(), 2);
    EXPECT_EQ(names.count(), paths.count());
    EXPECT_EQ(names.getStr(0), CStr("Desktop"));
    EXPECT_EQ(paths.getStr(1), h);
}

TEST_F(TempFolder, FileQueries) {
    touch("a.txt", "hello");
    createDir(at("sub"));
    EXPECT_TRUE(fileExists(at("a.txt")));
    EXPECT_TRUE(fileExists(at("sub")));
    EXPECT_FALSE(fileExists(at("none")));
    EXPECT_TRUE(folderExists(at("sub")));
    EXPECT_FALSE(folderExists(at("a.txt")));
    EXPECT_EQ(getFileSize(at("a.txt")), 5);
    EXPECT_EQ(getFileSize(at("none")), -1);
    EXPECT_TRUE(isFolderEmpty(at("sub")));
    EXPECT_FALSE(isFolderEmpty(CStr(root.c_str())));
    EXPECT_FALSE(isReadOnly(at("a.txt")));
    EXPECT_FALSE(isReadOnly(at("none")));
    EXPECT_FALSE(isRemovable(at("none")));
}

TEST_F(TempFolder, ReadDirFiltersByMaskAndTreatsBundlesAsFiles) {
    touch("a.png");
    touch("b.JPG");
    touch("c.txt");
    touch(".hidden.png");
    createDir(at("empty"));
    createDir(at("deep"));
    touch("deep/x.png");
    createDir(at("Device.bundle"));
    CStringList files, folders;
    files.sorted = folders.sorted = true;
    readDir(CStr(root.c_str()), ".PNG.JPG", &files, &folders, false);
    ASSERT_EQ(files.count(), 2);
    EXPECT_EQ(files.getStr(0), CStr("a.png"));
    EXPECT_EQ(files.getStr(1), CStr("b.JPG"));
    EXPECT_EQ(folders.count(), 2);
    CStringList all, deepFolders;
    all.sorted = true;
    readDir(CStr(root.c_str()), "", &all, &deepFolders, true);
    EXPECT_EQ(all.count(), 4); // a.png b.JPG c.txt Device.bundle
    EXPECT_EQ(all.getStr(3), CStr("Device.bundle"));
    ASSERT_EQ(deepFolders.count(), 1); // only the folder holding a file
    EXPECT_EQ(deepFolders.getStr(0), CStr("deep"));
    bool found = false;
    hasFileExt(CStr(root.c_str()), ".png", found);
    EXPECT_TRUE(found);
    found = false;
    hasFileExt(at("empty"), ".png", found);
    EXPECT_FALSE(found);
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

TEST_F(TempFolder, CopyFileCopiesEveryByte) {
    std::string big(200 * 1024, 'z');
    big[123457] = 'A';
    touch("big.bin", big.c_str());
    copyFile(at("big.bin"), at("copy.bin"));
    CMemoryStream m;
    m.loadFromFile(at("copy.bin"));
    ASSERT_EQ(m.getSize(), static_cast<int>(big.size()));
    EXPECT_EQ(m.getData()[123457], 'A');
    copyFile(at("none"), at("other.bin"));
    EXPECT_FALSE(fileExists(at("other.bin")));
    copyFile2(at("copy.bin"), at("copy.bin.2"));
    EXPECT_EQ(getFileSize(at("copy.bin.2")), static_cast<int>(big.size()));
}

TEST(Processes, FindsThisTestProgram) {
    CStr self = extractFileName(asAppname());
    EXPECT_TRUE(appRunning(self));
    EXPECT_FALSE(appRunning("no-such-program-rwb"));
    EXPECT_FALSE(appRunning(""));
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
