// The system helpers: path separators, and file helpers that never pass a path to a shell.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/os.h"

TEST(Paths, AddSepAddsOnlyAMissingSeparator) {
    EXPECT_EQ(addSep("/a"), CStr("/a/"));
    EXPECT_EQ(addSep("/a/"), CStr("/a/"));
    EXPECT_EQ(addSep(""), CStr(""));
}

TEST(FileHelpers, ShellHelpersNeverRunPathsAsCommands) {
    char pattern[] = "/tmp/rwb-os-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    auto at = [&root](const std::string& rel) { return CStr((root + "/" + rel).c_str()); };
    // A path full of shell syntax: if it reached a shell, bare or in single or double quotes,
    // the marker file would appear in the working folder.
    char* cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(root.c_str()), 0);
    const std::string evil = "a'$(touch pwned)'b`touch pwned`;x";
    createDir(at(evil));
    EXPECT_TRUE(folderExists(at(evil)));
    FILE* f = fopen(at(evil + "/f.txt").asChar(), "w");
    ASSERT_NE(f, nullptr);
    fputs("data", f);
    fclose(f);
    copyFile2(at(evil), at(evil + "-copy"));
    EXPECT_EQ(getFileSize(at(evil + "-copy/f.txt")), 4);
    copyFile2(at(evil + "/f.txt"), at("plain.txt"));
    EXPECT_EQ(getFileSize(at("plain.txt")), 4);
    CFileManager::deleteFolder(at(evil));
    EXPECT_FALSE(folderExists(at(evil)));
    CFileManager::deleteFile(at(evil + "-copy"));
    EXPECT_FALSE(folderExists(at(evil + "-copy")));
    // A stand-in xdg-open keeps the desktop out of it, while touch stays on the search path.
    createDir(at("bin"));
    FILE* opener = fopen(at("bin/xdg-open").asChar(), "w");
    ASSERT_NE(opener, nullptr);
    fputs("#!/bin/sh\n", opener);
    fclose(opener);
    chmod(at("bin/xdg-open").asChar(), 0755);
    const std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (root + "/bin:" + path).c_str(), 1);
    launch(at(evil), "");
    setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(fileExists(at("pwned")));
    EXPECT_EQ(chdir(cwd), 0);
    free(cwd);
    CFileManager::deleteFolder(root.c_str());
}
