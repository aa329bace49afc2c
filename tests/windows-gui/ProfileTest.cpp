// Profile settings under HKEY_CURRENT_USER\Software\<key>\<application name>\<section>, read
// back through the registry API itself, and the entry point running the program's global
// application object under the executable's own name.
#include "framework/Application.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <windows.h>

namespace tamsivo::test {
namespace {

constexpr const char* kRegistryKey = "TamsivoGuiTest";
constexpr const wchar_t* kWideRegistryRoot = L"Software\\TamsivoGuiTest";

class TestApplication : public Application {
public:
    bool InitInstance() override { return false; }
};

struct RegistryValue {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::wstring text;
};

RegistryValue ReadValue(const std::wstring& path, const wchar_t* name) {
    RegistryValue value;
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof(buffer);
    value.status = ::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND,
                                  &value.type, buffer, &bytes);
    if (value.status == ERROR_SUCCESS && (value.type == REG_SZ || value.type == REG_EXPAND_SZ)) {
        value.text = buffer;
    }
    return value;
}

// Removes the test's registry tree before and after each test.
class FrameworkProfile : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kWideRegistryRoot); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kWideRegistryRoot); }
};

TEST_F(FrameworkProfile, StringsLiveUnderSoftwareKeyApplicationNameSection) {
    TestApplication application;
    EXPECT_EQ(Application::Current(), &application);
    ASSERT_EQ(application.Name(), "tamsivo_gui_tests");

    // Without a registry key there is no store.
    EXPECT_FALSE(application.WriteProfileText("Tamsivo", "Port", "COM7"));
    EXPECT_EQ(application.GetProfileText("Tamsivo", "Port", "нет"), "нет");

    application.SetRegistryKey(kRegistryKey);
    EXPECT_EQ(application.GetProfileText("Tamsivo", "Port", ""), "") << "missing value";
    EXPECT_EQ(application.GetProfileText("Tamsivo", "Port", "HET"), "HET");

    ASSERT_TRUE(application.WriteProfileText("Tamsivo", "Port", "COM7"));
    const std::wstring section = L"Software\\TamsivoGuiTest\\tamsivo_gui_tests\\Tamsivo";
    const RegistryValue stored = ReadValue(section, L"Port");
    ASSERT_EQ(stored.status, ERROR_SUCCESS);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored.text, L"COM7");
    EXPECT_EQ(application.GetProfileText("Tamsivo", "Port", ""), "COM7");

    // Windows-1251 text is stored as the Unicode text it stands for.
    ASSERT_TRUE(application.WriteProfileText("Tamsivo", "Port", "НЕТ порта"));
    EXPECT_EQ(ReadValue(section, L"Port").text, L"НЕТ порта");
    EXPECT_EQ(application.GetProfileText("Tamsivo", "Port", ""), "НЕТ порта");

    // Longer than any first guess of a buffer.
    const std::string longText(3000, 'x');
    ASSERT_TRUE(application.WriteProfileText("Tamsivo", "Long", longText));
    EXPECT_EQ(application.GetProfileText("Tamsivo", "Long", ""), longText);

    // Sections are separate keys; a value that is no string reads as missing.
    EXPECT_EQ(application.GetProfileText("Other", "Port", "none"), "none");
    const DWORD number = 5;
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, section.c_str(), L"Number", REG_DWORD, &number,
                                sizeof(number)),
              ERROR_SUCCESS);
    EXPECT_EQ(application.GetProfileText("Tamsivo", "Number", "not a string"), "not a string");
}

TEST_F(FrameworkProfile, SecondApplicationObjectIsRefused) {
    TestApplication application;
    EXPECT_THROW(TestApplication second, std::logic_error);
    EXPECT_EQ(Application::Current(), &application);
}

// Where the test program is: the test application was built beside it.
std::filesystem::path ProgramDirectory() {
    wchar_t path[MAX_PATH * 4] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return std::filesystem::path(path).parent_path();
}

// Runs `program` to its end (generous deadline) and returns its exit code, or -1.
long RunProgram(const std::filesystem::path& program) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process)) {
        ADD_FAILURE() << "CreateProcessW failed: " << ::GetLastError();
        return -1;
    }
    const DWORD waited = ::WaitForSingleObject(process.hProcess, 60000);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    if (waited != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 99);
        ADD_FAILURE() << "the program did not end within the deadline";
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return waited == WAIT_OBJECT_0 ? static_cast<long>(exitCode) : -1;
}

TEST_F(FrameworkProfile, EntryPointRunsTheGlobalApplicationUnderTheExecutablesName) {
    const std::filesystem::path built = ProgramDirectory() / L"tamsivo_gui_testapp.exe";
    ASSERT_TRUE(std::filesystem::exists(built)) << built.string();

    EXPECT_EQ(RunProgram(built), 0);
    EXPECT_EQ(ReadValue(L"Software\\TamsivoGuiTest\\tamsivo_gui_testapp\\Start", L"Runs").text,
              L"1");

    // A renamed copy is another application with settings of its own; the name may hold
    // characters outside the ANSI code page.
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path folder =
        std::filesystem::path(temp) / (L"tamsivo-gui-" + std::to_wstring(::GetCurrentProcessId()));
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::filesystem::path renamed = folder / L"Пуск теста.exe";
    ASSERT_TRUE(::CopyFileW(built.c_str(), renamed.c_str(), FALSE)) << ::GetLastError();

    EXPECT_EQ(RunProgram(renamed), 0);
    EXPECT_EQ(RunProgram(renamed), 0);
    const std::wstring section = L"Software\\TamsivoGuiTest\\Пуск теста\\Start";
    EXPECT_EQ(ReadValue(section, L"Runs").text, L"2") << "the second run read the first's value";
    EXPECT_EQ(ReadValue(section, L"Name").text, L"Пуск теста");
    EXPECT_EQ(ReadValue(L"Software\\TamsivoGuiTest\\tamsivo_gui_testapp\\Start", L"Runs").text,
              L"1");

    ::DeleteFileW(renamed.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace
} // namespace tamsivo::test
