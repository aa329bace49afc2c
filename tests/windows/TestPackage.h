#pragma once

#include <string>

namespace tamsivo::test {

// The test package (TestFrames.h) written as a product installation would hold it:
// <dir>\updates\<name>.enc. Directory and file names carry Cyrillic letters, so a run only
// finds the file when the Windows-1251 path reaches the system as proper UTF-16, whatever
// the ANSI code page. Removed again on destruction.
class TestPackage {
public:
    TestPackage();
    ~TestPackage();
    TestPackage(const TestPackage&) = delete;
    TestPackage& operator=(const TestPackage&) = delete;

    // False when the files could not be written; Error() says why.
    bool Ready() const { return ready_; }
    const std::string& Error() const { return error_; }

    // Windows-1251, ending with the separator: what AppState::exeDir holds.
    const std::string& ExeDir() const { return exeDir_; }
    // Windows-1251: what AppState::firmwareName holds.
    const std::string& FirmwareName() const { return firmwareName_; }

private:
    std::wstring root_;
    std::wstring updates_;
    std::wstring file_;
    std::string exeDir_;
    std::string firmwareName_;
    std::string error_;
    bool ready_ = false;
};

} // namespace tamsivo::test
