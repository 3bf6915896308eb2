// Per-test file names: CTest runs the test cases as parallel processes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

inline std::string uniqueTempPath(const char* suffix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "rwb_" + info->test_suite_name() + "_" + info->name() + "_" +
           std::to_string(getpid()) + suffix;
}
