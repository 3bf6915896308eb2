#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "foundation/inifile.h"

class IniFileTest : public ::testing::Test {
protected:
    // Per test: CTest runs the cases as parallel processes.
    std::string path = ::testing::TempDir() + "rwb_ini_" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                       std::to_string(getpid());
    void SetUp() override { std::remove(path.c_str()); }
    void TearDown() override { std::remove(path.c_str()); }
    void put(const char* text) {
        FILE* f = fopen(path.c_str(), "wb");
        fputs(text, f);
        fclose(f);
    }
    std::string contents() {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndWritingCreatesIt) {
    CIniFile ini(path.c_str());
    EXPECT_EQ(ini.readString("Main", "Size", "none"), CStr("none"));
    EXPECT_EQ(ini.readInteger("Main", "Size", 5), 5);
    ini.writeInteger("Main", "Size", 12);
    EXPECT_EQ(contents(), "[Main]\r\nSize=12");
    EXPECT_EQ(ini.readInteger("MAIN", "size", 5), 12);
}

TEST_F(IniFileTest, NamesAreCaseInsensitiveAndValuesTrimmed) {
    put("[]\n[S]\nk=v\n[Main]\nSize = 10\nName =  a = b \n[Other]\nSize=3\n");
    CIniFile ini(path.c_str());
    EXPECT_EQ(ini.readString("main", "SIZE", ""), CStr("10"));
    EXPECT_EQ(ini.readString("Main", "name", ""), CStr("a = b"));
    EXPECT_EQ(ini.readInteger("other", "size", 0), 3);
    EXPECT_EQ(ini.readInteger("Main", "Missing", -1), -1);
    EXPECT_EQ(ini.readString("", "k", "d"), CStr("d")); // empty brackets are no header
}

TEST_F(IniFileTest, RewritingKeepsTheStoredSpelling) {
    put("[Main]\r\nSize = 10\r\n");
    CIniFile ini(path.c_str());
    ini.writeString("MAIN", "size", "20");
    EXPECT_EQ(contents(), "[Main]\r\nSize =20");
}

TEST_F(IniFileTest, NewEntryLandsBeforeTheBlankLineOfTheNextSection) {
    put("[A]\r\nx=1\r\n\r\n[B]\r\ny=2");
    CIniFile ini(path.c_str());
    ini.writeString("A", "z", "3");
    EXPECT_EQ(contents(), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2");
    ini.writeString("B", "w", "4");
    EXPECT_EQ(contents(), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\nw=4");
}
