#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <unistd.h>

namespace tamsivo::test {

// A fresh folder of the running test's own, named after the test and this process so that
// suites run in parallel never share one; removed with the fixture that holds it.
class ScratchDir : public std::filesystem::path {
public:
    explicit ScratchDir(const std::string& kind)
        : path(std::filesystem::temp_directory_path() /
               ("tamsivo-" + kind + "-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(*this);
        std::filesystem::create_directories(*this);
    }
    ~ScratchDir() { std::filesystem::remove_all(*this); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
};

} // namespace tamsivo::test
