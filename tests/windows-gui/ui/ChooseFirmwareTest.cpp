// The decision over the last folder scan: the selection dialog for several packages, the only
// one taken silently, the error box for none; and what each leaves in the shared state.
#include "AppStateScope.h"
#include "ModalDriver.h"

#include "resource.h"
#include "ui/ChooseFirmware.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

namespace tamsivo::test {
namespace {

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    ::EnumChildWindows(
        parent,
        [](HWND child, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

void ClickEntry(HWND list, int index) {
    RECT item{};
    ::SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(list, WM_LBUTTONUP, 0, at);
}

class ChooseFirmwareTest : public ::testing::Test {
protected:
    void SetUp() override {
        scope_.State().exeDir = "C:\\Tamsivo\\";
        scope_.State().firmwareName = "previous.enc";
    }

    AppStateScope scope_;
};

TEST_F(ChooseFirmwareTest, SeveralPackagesTheChosenOneBecomesTheFirmwareName) {
    scope_.SetScan({"C:\\Tamsivo\\UPDATES\\b.enc", "C:\\Tamsivo\\UPDATES\\c.enc",
                    "C:\\Tamsivo\\UPDATES\\a.enc"});
    ModalDriver driver([](HWND dialog) {
        ClickEntry(::GetDlgItem(dialog, IDC_FIRMWARE_LIST), 2);
        ClickCentre(::GetDlgItem(dialog, IDOK));
    });
    EXPECT_TRUE(ChooseFirmware());
    EXPECT_TRUE(driver.StepRan());
    EXPECT_FALSE(driver.WatchdogExpired());
    EXPECT_EQ(scope_.State().firmwareName, "c.enc");
}

TEST_F(ChooseFirmwareTest, ACancelledChoiceKeepsThePreviousPackage) {
    // As after a rescan: another entry selected, then the choice is cancelled.
    scope_.SetScan({"C:\\Tamsivo\\UPDATES\\b.enc", "C:\\Tamsivo\\UPDATES\\a.enc"});
    ModalDriver driver([](HWND dialog) {
        ClickEntry(::GetDlgItem(dialog, IDC_FIRMWARE_LIST), 1);
        ClickCentre(::GetDlgItem(dialog, IDCANCEL));
    });
    EXPECT_FALSE(ChooseFirmware());
    EXPECT_TRUE(driver.StepRan());
    EXPECT_FALSE(driver.WatchdogExpired());
    EXPECT_EQ(scope_.State().firmwareName, "previous.enc");
}

TEST_F(ChooseFirmwareTest, TheOnlyPackageIsTakenWithoutADialog) {
    scope_.SetScan({"C:\\Tamsivo\\UPDATES\\Единственная.enc"});
    ModalDriver driver([](HWND dialog) { ::EndDialog(dialog, IDCANCEL); });
    EXPECT_TRUE(ChooseFirmware());
    EXPECT_FALSE(driver.SawDialog());
    EXPECT_EQ(scope_.State().firmwareName, "Единственная.enc");
}

// What the error box showed, read through the window system, then closed with its button.
struct ErrorBox {
    bool seen = false;
    std::wstring caption;
    std::wstring text;
    int buttons = 0;
    bool okButton = false;
    HWND owner = nullptr;
    HICON icon = nullptr;
};

ModalDriver::Step ReadAndClose(ErrorBox& box) {
    return [&box](HWND dialog) {
        box.seen = true;
        box.caption = WindowText(dialog);
        box.owner = ::GetWindow(dialog, GW_OWNER);
        HWND ok = nullptr;
        for (const HWND child : Children(dialog)) {
            const std::wstring kind = ClassName(child);
            if (::lstrcmpiW(kind.c_str(), L"Button") == 0) {
                ++box.buttons;
                if (::GetDlgCtrlID(child) == IDOK) {
                    box.okButton = true;
                    ok = child;
                }
            } else if (::lstrcmpiW(kind.c_str(), L"Static") == 0) {
                if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                    box.icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
                } else if (!WindowText(child).empty()) {
                    box.text = WindowText(child);
                }
            }
        }
        if (ok != nullptr) {
            ClickCentre(ok);
        } else {
            ::EndDialog(dialog, IDCANCEL);
        }
    };
}

TEST_F(ChooseFirmwareTest, AnEmptyFolderShowsTheErrorBoxAndKeepsThePreviousChoice) {
    scope_.State().exeDir = "C:\\Программы\\Тамсиво\\";
    ErrorBox box;
    {
        ModalDriver driver(ReadAndClose(box));
        EXPECT_FALSE(ChooseFirmware());
        EXPECT_FALSE(driver.WatchdogExpired());
    }
    ASSERT_TRUE(box.seen) << "no message box";
    EXPECT_EQ(box.caption, L"Tamsivo");
    EXPECT_EQ(box.text, L"В папке\n\"C:\\Программы\\Тамсиво\\updates\\\"\n"
                        L"не обнаружено ни одного файла микропрограммы БК.\n"
                        L"Дальнейшая работа невозможна.");
    EXPECT_EQ(box.owner, nullptr) << "no owner window";
    EXPECT_EQ(box.buttons, 1);
    EXPECT_TRUE(box.okButton);
    EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_ERROR)) << "the error icon";
    EXPECT_EQ(scope_.State().firmwareName, "previous.enc");
}

TEST_F(ChooseFirmwareTest, ACountWithoutItsListIsTakenAsAnEmptyFolder) {
    scope_.State().firmwarePaths.reset();
    scope_.State().firmwareCount = 1;
    ErrorBox box;
    {
        ModalDriver driver(ReadAndClose(box));
        EXPECT_FALSE(ChooseFirmware());
    }
    EXPECT_TRUE(box.seen);
    EXPECT_EQ(scope_.State().firmwareName, "previous.enc");
}

} // namespace
} // namespace tamsivo::test
