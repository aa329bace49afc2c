// The package folder scan on the real file system: the system's case-insensitive wildcard, no
// attribute filter, full paths, Windows-1251 names whatever the ANSI code page.
#include "ui/FirmwareFolder.h"
#include "framework/WideText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>

namespace tamsivo::test {
namespace {

// A fresh folder under the temporary directory, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> serial{0};
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
        path_ = std::wstring(temp, length) + L"tamsivo-ui-" +
                std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
        std::filesystem::remove_all(path_);
        EXPECT_TRUE(::CreateDirectoryW(path_.c_str(), nullptr)) << ::GetLastError();
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    // The folder as the program names it: Windows-1251, no trailing backslash.
    std::string Name() const { return Narrow(path_); }

    void AddFile(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const {
        const std::wstring full = path_ + L"\\" + name;
        const HANDLE file =
            ::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << "creating " << Narrow(full);
        ::CloseHandle(file);
    }
    void AddFolder(const std::wstring& name) const {
        const std::wstring full = path_ + L"\\" + name;
        ASSERT_TRUE(::CreateDirectoryW(full.c_str(), nullptr)) << "creating " << Narrow(full);
    }

private:
    std::wstring path_;
};

std::vector<std::string> Sorted(std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    return items;
}

bool Opens(const std::string& path) {
    const HANDLE file = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(file);
    return true;
}

TEST(FirmwareFolder, FindsEveryEncEntryWhateverItsCaseOrAttributes) {
    const TempFolder folder;
    folder.AddFile(L"lower.enc");
    folder.AddFile(L"UPPER.ENC");
    folder.AddFile(L"Mixed.Enc");
    folder.AddFile(L"hidden.enc", FILE_ATTRIBUTE_HIDDEN);
    folder.AddFolder(L"x.enc");
    // Not packages: other extensions, the extension inside the name, no dot at all.
    folder.AddFile(L"notes.txt");
    folder.AddFile(L"lower.enc.txt");
    folder.AddFile(L"enc");
    folder.AddFolder(L"updates");

    StringList list;
    const std::int32_t count = ScanFirmwareFolder(folder.Name(), list);
    EXPECT_EQ(count, 5);
    ASSERT_EQ(list.size(), 5u);
    const std::string prefix = folder.Name() + "\\";
    EXPECT_EQ(Sorted(list), Sorted({prefix + "Mixed.Enc", prefix + "UPPER.ENC",
                                    prefix + "hidden.enc", prefix + "lower.enc", prefix + "x.enc"}))
        << "full paths, names spelt as on disk";
    for (const std::string& path : list) {
        EXPECT_TRUE(Opens(path)) << path;
    }
}

TEST(FirmwareFolder, AppendsToTheListWithoutSortingOrMerging) {
    const TempFolder folder;
    folder.AddFile(L"b.enc");
    folder.AddFile(L"a.enc");

    StringList list{"kept"};
    ASSERT_EQ(ScanFirmwareFolder(folder.Name(), list), 2);
    const StringList firstScan(list.begin() + 1, list.end());
    // The count is what this scan added, not the list's length; a second scan adds again.
    EXPECT_EQ(ScanFirmwareFolder(folder.Name(), list), 2);
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0], "kept");
    EXPECT_EQ(StringList(list.begin() + 3, list.end()), firstScan)
        << "the same enumeration order each time";
}

TEST(FirmwareFolder, CyrillicNamesRoundTripAsWindows1251) {
    // The ANSI code page of the test run is whatever Wine's locale gives (a Western one by
    // default); the scan must not depend on it.
    RecordProperty("AnsiCodePage", static_cast<int>(::GetACP()));
    const TempFolder root;
    root.AddFolder(L"Обновления");
    const std::wstring inner = root.Path() + L"\\Обновления";
    const HANDLE file = ::CreateFileW((inner + L"\\Прошивка БК №2.enc").c_str(), GENERIC_WRITE, 0,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);

    StringList list;
    ASSERT_EQ(ScanFirmwareFolder(root.Name() + "\\Обновления", list), 1);
    EXPECT_EQ(list[0], root.Name() + "\\Обновления\\Прошивка БК №2.enc");
    EXPECT_EQ(FileNameOfPath(list[0]), "\xCF\xF0\xEE\xF8\xE8\xE2\xEA\xE0 \xC1\xCA \xB9\x32.enc")
        << "Windows-1251 bytes";
    EXPECT_TRUE(Opens(list[0]));
}

TEST(FirmwareFolder, ANameBeyondWindows1251IsListedByAnAliasThatOpens) {
    const TempFolder folder;
    folder.AddFile(L"Ελληνικό υλικολογισμικό.enc");

    StringList list;
    ASSERT_EQ(ScanFirmwareFolder(folder.Name(), list), 1);
    EXPECT_EQ(list[0].find('?'), std::string::npos) << list[0];
    EXPECT_TRUE(Opens(list[0])) << list[0];
}

TEST(FirmwareFolder, RelativeFolderStillGivesFullPaths) {
    const TempFolder folder;
    folder.AddFile(L"only.enc");
    wchar_t saved[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, saved);
    const std::wstring parent = folder.Path().substr(0, folder.Path().rfind(L'\\'));
    const std::wstring leaf = folder.Path().substr(folder.Path().rfind(L'\\') + 1);
    ASSERT_TRUE(::SetCurrentDirectoryW(parent.c_str()));

    StringList list;
    const std::int32_t count = ScanFirmwareFolder(Narrow(leaf), list);
    ::SetCurrentDirectoryW(saved);
    ASSERT_EQ(count, 1);
    // Compared without regard to case: the system may spell the temporary directory its own way.
    EXPECT_EQ(::lstrcmpiW(Widen(list[0]).c_str(), (folder.Path() + L"\\only.enc").c_str()), 0)
        << list[0];
}

TEST(FirmwareFolder, MissingOrEmptyFolderFindsNothing) {
    const TempFolder folder;
    folder.AddFile(L"readme.txt");
    StringList list{"kept"};
    EXPECT_EQ(ScanFirmwareFolder(folder.Name(), list), 0);
    EXPECT_EQ(ScanFirmwareFolder(folder.Name() + "\\absent", list), 0);
    EXPECT_EQ(ScanFirmwareFolder("Z:\\no\\such\\drive\\or\\folder", list), 0);
    EXPECT_EQ(list, StringList{"kept"});
}

} // namespace
} // namespace tamsivo::test
