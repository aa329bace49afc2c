// Window texts are Windows-1251 in the program and UTF-16 at the system. Run in a non-Cyrillic
// ANSI code page, these round trips prove that no "A" function or code-page conversion of the
// system is involved.
#include "framework/DCView.h"
#include "framework/ListBox.h"
#include "framework/Window.h"

#include <gtest/gtest.h>

#include <string>

namespace tamsivo::test {
namespace {

// Every Cyrillic letter and the signs of Windows-1251's upper half that Russian texts use.
constexpr const char* kNarrow =
    "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ абвгдеёжзийклмнопрстуфхцчшщъыьэюя №«»—";
constexpr const wchar_t* kWide =
    L"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ абвгдеёжзийклмнопрстуфхцчшщъыьэюя №«»—";

class StaticWindow {
public:
    StaticWindow() {
        hwnd_ = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 40, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    }
    ~StaticWindow() { ::DestroyWindow(hwnd_); }
    StaticWindow(const StaticWindow&) = delete;
    StaticWindow& operator=(const StaticWindow&) = delete;
    HWND Hwnd() const { return hwnd_; }

private:
    HWND hwnd_;
};

std::wstring WideWindowText(HWND hwnd) {
    wchar_t buffer[256] = {};
    ::GetWindowTextW(hwnd, buffer, 256);
    return buffer;
}

TEST(FrameworkWindowText, CyrillicTextCrossesTheSystemBoundaryUnchanged) {
    ASSERT_NE(::GetACP(), 1251u)
        << "the ANSI code page is Windows-1251 here, so this test could not tell an explicit "
           "conversion from the system's own";
    // The literal really is Windows-1251 bytes: А is 0xC0.
    ASSERT_EQ(static_cast<unsigned char>(kNarrow[0]), 0xC0);

    StaticWindow control;
    ASSERT_NE(control.Hwnd(), nullptr);
    Window window;
    ASSERT_TRUE(window.SubclassWindow(control.Hwnd()));

    window.SetText(kNarrow);
    EXPECT_EQ(WideWindowText(control.Hwnd()), kWide);
    EXPECT_EQ(window.Text(), kNarrow);

    ::SetWindowTextW(control.Hwnd(), L"Порт: СОМ3");
    EXPECT_EQ(window.Text(), "Порт: СОМ3");

    window.SetText("");
    EXPECT_EQ(window.Text(), "");
}

TEST(FrameworkWindowText, ListEntriesAndDrawnTextUseTheSameConversion) {
    HWND listWindow = ::CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP, 0, 0, 200, 100, nullptr,
                                        nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(listWindow, nullptr);
    ListBox list;
    ASSERT_TRUE(list.SubclassWindow(listWindow));
    const int index = list.AddString(kNarrow);
    ASSERT_GE(index, 0);
    wchar_t entry[256] = {};
    ::SendMessageW(listWindow, LB_GETTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(entry));
    EXPECT_STREQ(entry, kWide);
    EXPECT_EQ(list.GetText(index), kNarrow);
    EXPECT_EQ(list.GetText(index + 5), "");

    // The text measured through the view is the wide text the system measures.
    HDC screen = ::GetDC(nullptr);
    SIZE wide{};
    ::GetTextExtentPoint32W(screen, kWide, static_cast<int>(std::wstring(kWide).size()), &wide);
    const SIZE narrow = DCView(screen).MeasureString(kNarrow);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(narrow.cx, wide.cx);
    EXPECT_EQ(narrow.cy, wide.cy);

    list.UnsubclassWindow();
    ::DestroyWindow(listWindow);
}

} // namespace
} // namespace tamsivo::test
