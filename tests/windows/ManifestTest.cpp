// Both Windows programs carry the application manifest where Windows' loader looks for an
// executable's (RT_MANIFEST resource 1), and the loader accepts it and reads from it what the
// programs declare. A resource is stored as it is: its text shows in the executable's bytes.
#include "WinSupport.h"

#include "framework/WideText.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include <windows.h>

namespace tamsivo::test {
namespace {

// Windows 7, 8, 8.1 and 10 (which 11 shares), the identifiers Windows publishes.
constexpr const char* kSupportedOs[] = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"};

TEST(Manifest, BothProgramsSupportWindows7To11RunAsTheUserAndAreSystemDpiAware) {
    const std::string bin = Environment(L"TAMSIVO_BIN_DIR");
    ASSERT_FALSE(bin.empty()) << "TAMSIVO_BIN_DIR names the Windows build tree";
    for (const char* program : {"\\src\\Tamsivo.exe", "\\tools\\tamsivo-flash\\tamsivo-flash.exe"}) {
        SCOPED_TRACE(program);
        const std::wstring path = Widen(bin + program);
        std::ifstream file(bin + program, std::ios::binary);
        const std::string image{std::istreambuf_iterator<char>(file), {}};
        for (const char* os : kSupportedOs) {
            EXPECT_NE(image.find("<supportedOS Id=\"" + std::string(os) + "\"/>"),
                      std::string::npos)
                << os;
        }

        // A manifest the loader refuses stops the program before it starts.
        ACTCTXW request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = path.c_str();
        request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
        const HANDLE context = ::CreateActCtxW(&request);
        ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
        ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
        EXPECT_TRUE(::QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext,
                                   &level, sizeof level, nullptr));
        EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
        wchar_t dpiAware[16] = {};
        EXPECT_TRUE(::QueryActCtxSettingsW(0, context, nullptr, L"dpiAware", dpiAware,
                                           std::size(dpiAware), nullptr));
        EXPECT_EQ(Narrow(dpiAware), "true");
        ::ReleaseActCtx(context);
    }
}

} // namespace
} // namespace tamsivo::test
