// The package selection dialog run modally as the program runs it, driven like a user would:
// keys through the dialog's own message loop, mouse presses on its controls.
#include "AppStateScope.h"
#include "ModalDriver.h"
#include "PngWriter.h"
#include "controls/SkinButtonPicture.h"
#include "controls/SkinLabelPicture.h"

#include "controls/win32/SkinButton.h"
#include "controls/win32/SkinLabel.h"
#include "resource.h"
#include "ui/FirmwareSelectDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

namespace tamsivo::test {
namespace {

HWND List(HWND dialog) {
    return ::GetDlgItem(dialog, IDC_FIRMWARE_LIST);
}

std::vector<std::wstring> Entries(HWND list) {
    std::vector<std::wstring> entries;
    const auto count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const auto length = static_cast<int>(::SendMessageW(list, LB_GETTEXTLEN, i, 0));
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        entries.push_back(text);
    }
    return entries;
}

std::wstring WindowText(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

// The keys a user presses go through the dialog's message loop, which turns Enter and Escape
// into the dialog's commands; so they are posted, not sent.
void PressKey(HWND target, WPARAM key) {
    ::PostMessageW(target, WM_KEYDOWN, key, 0);
    ::PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

POINT EntryCentre(HWND list, int index) {
    RECT item{};
    ::SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    return POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
}

void ClickEntry(HWND list, int index) {
    const POINT at = EntryCentre(list, index);
    ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    ::SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

// The system reports the second press of a double click as WM_LBUTTONDBLCLK.
void DoubleClickEntry(HWND list, int index) {
    const POINT at = EntryCentre(list, index);
    ClickEntry(list, index);
    ::SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    ::SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

// Three packages found in an order that is not the alphabetical one, in two folders.
class FirmwareSelectDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        scope_.SetScan({"C:\\Tamsivo\\UPDATES\\Charlie.enc", "C:\\Tamsivo\\UPDATES\\alpha.enc",
                        "D:\\other\\Bravo.enc"});
    }

    // Runs the dialog with `step` acting in it; returns how it ended.
    INT_PTR Run(FirmwareSelectDialog& dialog, ModalDriver::Step step) {
        ModalDriver driver(std::move(step));
        const INT_PTR result = dialog.DoModal();
        EXPECT_TRUE(driver.StepRan());
        EXPECT_FALSE(driver.WatchdogExpired()) << "the dialog did not end by itself";
        return result;
    }

    AppStateScope scope_;
};

TEST_F(FirmwareSelectDialogTest, ListsTheNamesSortedWithTheFirstSelected) {
    FirmwareSelectDialog dialog;
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        EXPECT_EQ(hwnd, dialog.Hwnd());
        EXPECT_EQ(Entries(List(hwnd)),
                  (std::vector<std::wstring>{L"alpha.enc", L"Bravo.enc", L"Charlie.enc"}))
            << "file names only, in the list box's order";
        EXPECT_EQ(::SendMessageW(List(hwnd), LB_GETCURSEL, 0, 0), 0);
        EXPECT_EQ(dialog.SelectedName(), "alpha.enc");
        EXPECT_EQ(WindowText(hwnd), L"Выбор файла");
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0)),
                  ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TAMSIVO)));
        EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), nullptr) << "no parent window";
        PressKey(List(hwnd), VK_ESCAPE);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(FirmwareSelectDialogTest, EnterTakesTheSelectedEntry) {
    FirmwareSelectDialog dialog;
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        // Down moves the selection, which the dialog follows at once.
        ::SendMessageW(List(hwnd), WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_EQ(dialog.SelectedName(), "Bravo.enc");
        PressKey(List(hwnd), VK_RETURN);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.SelectedName(), "Bravo.enc");
}

TEST_F(FirmwareSelectDialogTest, ChooseButtonTakesTheSelectedEntry) {
    FirmwareSelectDialog dialog;
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        ClickEntry(List(hwnd), 2);
        EXPECT_EQ(dialog.SelectedName(), "Charlie.enc");
        ClickCentre(::GetDlgItem(hwnd, IDOK));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.SelectedName(), "Charlie.enc");
}

TEST_F(FirmwareSelectDialogTest, DoubleClickTakesTheEntryUnderThePointer) {
    FirmwareSelectDialog dialog;
    const INT_PTR result = Run(dialog, [&](HWND hwnd) { DoubleClickEntry(List(hwnd), 1); });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.SelectedName(), "Bravo.enc");
}

TEST_F(FirmwareSelectDialogTest, CancelButtonAndEscapeEndWithCancel) {
    FirmwareSelectDialog byButton;
    EXPECT_EQ(Run(byButton,
                  [&](HWND hwnd) {
                      ClickEntry(List(hwnd), 1);
                      ClickCentre(::GetDlgItem(hwnd, IDCANCEL));
                  }),
              IDCANCEL);

    FirmwareSelectDialog byKey;
    EXPECT_EQ(Run(byKey, [&](HWND hwnd) { PressKey(List(hwnd), VK_ESCAPE); }), IDCANCEL);
}

TEST_F(FirmwareSelectDialogTest, CyrillicNamesAreListedAndTakenUnchanged) {
    scope_.SetScan(
        {"C:\\Tamsivo\\UPDATES\\Прошивка Б.enc", "C:\\Tamsivo\\UPDATES\\Прошивка А.enc"});
    FirmwareSelectDialog dialog;
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        EXPECT_EQ(Entries(List(hwnd)),
                  (std::vector<std::wstring>{L"Прошивка А.enc", L"Прошивка Б.enc"}));
        DoubleClickEntry(List(hwnd), 1);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.SelectedName(), "\xCF\xF0\xEE\xF8\xE8\xE2\xEA\xE0 \xC1.enc");
}

// Records what the dialog sends itself while a press on its body is handled.
thread_local std::vector<MSG> sentToDialog;
thread_local HWND watchedDialog = nullptr;

LRESULT CALLBACK RecordSent(int code, WPARAM wParam, LPARAM lParam) {
    const auto& call = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call.hwnd == watchedDialog) {
        sentToDialog.push_back(MSG{call.hwnd, call.message, call.wParam, call.lParam, 0, {}});
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(FirmwareSelectDialogTest, DarkBodyIsDraggedFromAnyFreeSpot) {
    FirmwareSelectDialog dialog;
    bool sawDragRequest = false;
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        const HDC dc = ::GetDC(hwnd);
        const auto body = reinterpret_cast<HBRUSH>(::SendMessageW(
            hwnd, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
        LOGBRUSH brush{};
        ASSERT_EQ(::GetObjectW(body, sizeof(brush), &brush), static_cast<int>(sizeof(brush)));
        EXPECT_EQ(brush.lbStyle, static_cast<UINT>(BS_SOLID));
        EXPECT_EQ(brush.lbColor, RGB(10, 10, 10));
        const auto listBrush = reinterpret_cast<HBRUSH>(
            ::SendMessageW(hwnd, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(List(hwnd))));
        EXPECT_NE(listBrush, body) << "the list keeps the system's colours";
        ::ReleaseDC(hwnd, dc);

        // A free spot left of the buttons, below the list.
        RECT spot{3, 160, 3, 160};
        ::MapDialogRect(hwnd, &spot);
        watchedDialog = hwnd;
        sentToDialog.clear();
        const HHOOK hook =
            ::SetWindowsHookExW(WH_CALLWNDPROC, &RecordSent, nullptr, ::GetCurrentThreadId());
        // The system's move loop, if it starts, ends at the button's release, which is waiting.
        ::PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(spot.left, spot.top));
        ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(spot.left, spot.top));
        ::UnhookWindowsHookEx(hook);
        watchedDialog = nullptr;
        for (const MSG& sent : sentToDialog) {
            if (sent.message == WM_NCLBUTTONDOWN) {
                sawDragRequest = true;
                EXPECT_EQ(sent.wParam, static_cast<WPARAM>(HTCAPTION));
                EXPECT_EQ(sent.lParam, 0);
            }
        }
        EXPECT_EQ(::GetCapture(), nullptr);
        // Still open and working.
        EXPECT_TRUE(::IsWindowVisible(hwnd));
        PressKey(List(hwnd), VK_RETURN);
    });
    EXPECT_TRUE(sawDragRequest) << "the press on the body asked for a caption drag";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.SelectedName(), "alpha.enc");
}

template <class Control> Control* Bound(HWND dialog, int id) {
    return dynamic_cast<Control*>(Window::FromHandle(::GetDlgItem(dialog, id)));
}

// What the dialog shows on the screen now, for the gallery.
void SaveScreenPicture(HWND dialog, const std::wstring& name) {
    ::RedrawWindow(dialog, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT client{};
    ::GetClientRect(dialog, &client);
    SkinButtonPicture picture(client.right, client.bottom);
    const HDC screen = ::GetDC(dialog);
    ::BitBlt(picture.Dc().Handle(), 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
    ::ReleaseDC(dialog, screen);
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            const COLORREF c = picture.At(x, y);
            pixels.push_back((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
        }
    }
    wchar_t exePath[MAX_PATH] = {};
    std::wstring folder(exePath, ::GetModuleFileNameW(nullptr, exePath, MAX_PATH));
    folder.resize(folder.find_last_of(L"\\/") + 1);
    folder += L"gallery";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_TRUE(
        PngWriter::Write(folder + L"\\" + name + L".png", client.right, client.bottom, pixels));
}

int MeanBrightness(const SkinButtonPicture& picture) {
    long long sum = 0;
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            const COLORREF c = picture.At(x, y);
            sum += GetRValue(c) + GetGValue(c) + GetBValue(c);
        }
    }
    return static_cast<int>(sum / (3LL * picture.Width() * picture.Height()));
}

TEST_F(FirmwareSelectDialogTest, ControlsWearTheDarkSkin) {
    FirmwareSelectDialog dialog;
    const INT_PTR result = Run(dialog, [&](HWND hwnd) {
        const SkinLabel* heading = Bound<SkinLabel>(hwnd, IDC_SELECT_HEADING);
        const SkinLabel* instruction = Bound<SkinLabel>(hwnd, IDC_SELECT_INSTRUCTION);
        SkinButton* ok = Bound<SkinButton>(hwnd, IDOK);
        SkinButton* cancel = Bound<SkinButton>(hwnd, IDCANCEL);
        ASSERT_NE(heading, nullptr);
        ASSERT_NE(instruction, nullptr);
        ASSERT_NE(ok, nullptr);
        ASSERT_NE(cancel, nullptr);

        EXPECT_STREQ(heading->LogFont().lfFaceName, L"Arial");
        EXPECT_EQ(heading->LogFont().lfWeight, FW_BOLD);
        EXPECT_EQ(heading->LogFont().lfCharSet, RUSSIAN_CHARSET);
        const SkinLabelPicture headingPicture = SkinLabelPicture::Of(*heading);
        EXPECT_EQ(headingPicture.At(0, 0), RGB(10, 10, 10));
        // The raised copy of the text is drawn in white over the dark ground.
        EXPECT_GT(headingPicture.Count(RGB(255, 255, 255)), 0);

        const SkinLabelPicture instructionPicture = SkinLabelPicture::Of(*instruction);
        EXPECT_EQ(instructionPicture.At(0, 0), RGB(10, 10, 10));
        EXPECT_GT(instructionPicture.Count(RGB(192, 192, 192)), 0) << "light grey text";

        SaveScreenPicture(hwnd, L"firmwareselectdialog-three-packages");
        // The faces are tinted nine tenths of the way towards the near-black ground: much
        // darker than the same texture untinted, which the button shows afterwards.
        for (SkinButton* button : {ok, cancel}) {
            const SkinButtonPicture tinted = SkinButtonPicture::Painted(*button, 0);
            EXPECT_GT(tinted.Count(RGB(192, 192, 192), RECT{0, 0, tinted.Width(), tinted.Height()}),
                      0)
                << "light grey caption";
            button->SetTexture(6, 0, 10, 0, RGB(10, 10, 10));
            const SkinButtonPicture plain = SkinButtonPicture::Painted(*button, 0);
            EXPECT_LT(MeanBrightness(tinted) * 2, MeanBrightness(plain));
        }
        PressKey(List(hwnd), VK_ESCAPE);
    });
    EXPECT_EQ(result, IDCANCEL);
}

} // namespace
} // namespace tamsivo::test
