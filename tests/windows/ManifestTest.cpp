// Both Windows programs carry the application manifest where Windows' loader looks for an
// executable's (RT_MANIFEST resource 1), and the loader accepts it and reads from it what the
// programs declare.
#include "WinSupport.h"

#include "framework/WideText.h"

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace tamsivo::test {
namespace {

// The manifest's text, read from the executable loaded as a data file; empty when none.
std::string ManifestOf(const std::wstring& path) {
    const HMODULE module = ::LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) {
        return {};
    }
    std::string text;
    if (const HRSRC found =
            ::FindResourceW(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST)) {
        text.assign(static_cast<const char*>(::LockResource(::LoadResource(module, found))),
                    ::SizeofResource(module, found));
    }
    ::FreeLibrary(module);
    return text;
}

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
        const std::string manifest = ManifestOf(path);
        ASSERT_FALSE(manifest.empty());
        for (const char* os : kSupportedOs) {
            EXPECT_NE(manifest.find("<supportedOS Id=\"" + std::string(os) + "\"/>"),
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
        SIZE_T length = 0;
        EXPECT_TRUE(::QueryActCtxSettingsW(0, context, nullptr, L"dpiAware", dpiAware,
                                           std::size(dpiAware), &length));
        EXPECT_EQ(Narrow(dpiAware), "true");
        ::ReleaseActCtx(context);
    }
}

} // namespace
} // namespace tamsivo::test
