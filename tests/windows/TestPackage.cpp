#include "TestPackage.h"

#include "TestFrames.h"
#include "text/Cp1251.h"

#include <atomic>
#include <cstdio>

#include <windows.h>

namespace tamsivo::test {

namespace {

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string Cp1251(const std::wstring& text) {
    return Utf16ToCp1251(std::u16string(text.begin(), text.end()));
}

std::string LastErrorText(const char* what) {
    return std::string(what) + " failed, error " + std::to_string(::GetLastError());
}

} // namespace

TestPackage::TestPackage() {
    static std::atomic<unsigned> serial{0};
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) {
        error_ = LastErrorText("GetTempPathW");
        return;
    }
    root_ = std::wstring(temp, length) + Wide(u"tamsivo-тест-") +
            std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(serial++);
    updates_ = root_ + L"\\updates";
    const std::u16string name = u"прошивка.enc";
    file_ = updates_ + L"\\" + Wide(name);
    if (!::CreateDirectoryW(root_.c_str(), nullptr) ||
        !::CreateDirectoryW(updates_.c_str(), nullptr)) {
        error_ = LastErrorText("CreateDirectoryW");
        return;
    }
    std::FILE* file = ::_wfopen(file_.c_str(), L"wb");
    if (file == nullptr) {
        error_ = "cannot create the package file";
        return;
    }
    const std::string text = PackageText();
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error_ = "cannot write the package file";
        return;
    }
    exeDir_ = Cp1251(root_) + "\\";
    const std::u16string back = Cp1251ToUtf16(exeDir_);
    if (std::wstring(back.begin(), back.end()) != root_ + L"\\") {
        error_ = "the temporary directory's path does not fit Windows-1251";
        return;
    }
    firmwareName_ = Utf16ToCp1251(name);
    ready_ = true;
}

TestPackage::~TestPackage() {
    if (!file_.empty()) {
        ::DeleteFileW(file_.c_str());
    }
    if (!updates_.empty()) {
        ::RemoveDirectoryW(updates_.c_str());
    }
    if (!root_.empty()) {
        ::RemoveDirectoryW(root_.c_str());
    }
}

} // namespace tamsivo::test
