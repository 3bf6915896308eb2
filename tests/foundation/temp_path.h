// Per-test file names: CTest runs the test cases as parallel processes.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

inline std::string uniqueTempPath(const char* suffix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "rwb_" + info->test_suite_name() + "_" + info->name() + "_" +
           std::to_string(getpid()) + suffix;
}

/// The whole file as text; empty when it cannot be read.
inline std::string readText(const std::string& path) {
    std::string s;
    FILE* f = fopen(path.c_str(), "rb");
    for (int ch; f && (ch = fgetc(f)) != EOF;)
        s += static_cast<char>(ch);
    if (f) fclose(f);
    return s;
}
