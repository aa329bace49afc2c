// The main dialog in a real modal run: its start-up screen and dressing, the screens that
// ShowScreen composes, the button colours of the idle and running looks, the guarded exit, and
// the skin painted as its background.
#include "MainDialogFixture.h"
#include "MainDialogPicture.h"
#include "MainDialogProbe.h"

#include "app/AppState.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace tamsivo::test {
namespace {

constexpr COLORREF kActive = RGB(10, 180, 250);
constexpr COLORREF kInactive = RGB(64, 64, 64);
// The skin's colours at chosen points of the 500 x 318 bitmap: its display glass, the housing
// beside the glass, and a key field.
constexpr COLORREF kGlass = RGB(8, 181, 247);
constexpr COLORREF kHousing = RGB(64, 64, 64);
constexpr COLORREF kKeyField = RGB(16, 16, 16);

constexpr std::array kPortAndPackage{IDC_PORT_NAME, IDC_PORT_CAPTION, IDC_PACKAGE_NAME,
                                     IDC_PACKAGE_CAPTION};
constexpr std::array kContacts{IDC_SUPPORT_TEXT, IDC_SUPPORT_PHONE, IDC_MAIL_CAPTION,
                               IDC_SUPPORT_MAIL, IDC_WEB_SITE};

class MainDialogTest : public MainDialogFixture {
protected:
    static INT_PTR Run(std::vector<MainDialogProbe::Step> steps, int* stepsRun = nullptr,
                       bool endAfterSteps = true) {
        MainDialogProbe dialog(std::move(steps), endAfterSteps);
        const INT_PTR result = dialog.DoModal();
        if (stepsRun != nullptr) {
            *stepsRun = dialog.StepsRun();
        }
        return result;
    }
};

// The children of `dialog` from the top of the stacking order down.
std::vector<int> StackingOrder(HWND dialog) {
    std::vector<int> ids;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        ids.push_back(::GetDlgCtrlID(child));
    }
    return ids;
}

TEST_F(MainDialogTest, StartUpShowsThePackageThePortAndTheGreetingOrThePortError) {
    const INT_PTR result = Run({[](MainDialogProbe& dialog) {
        const AppState& state = TheAppState();
        EXPECT_EQ(state.idle, 1);
        EXPECT_EQ(state.helpShown, 0);
        EXPECT_EQ(dialog.Text(), "Tamsivo");
        EXPECT_EQ(state.firmwareName, "one.enc");
        EXPECT_EQ(dialog.TextOf(IDC_PACKAGE_NAME), "one.enc");
        // What is shown is what a run opens and what is remembered at exit.
        EXPECT_EQ(state.portName, dialog.TextOf(IDC_PORT_NAME));
        if (state.portCount > 0) {
            EXPECT_EQ(state.portName, (*state.portNames)[state.portIndex]);
            EXPECT_EQ(dialog.TextOf(IDC_TITLE), "Tamsivo");
            EXPECT_EQ(dialog.TextOf(IDC_MESSAGE),
                      "Утилита обновления ПО бортовых компьютеров. Версия 1.6");
            EXPECT_TRUE(dialog.Enabled(IDC_START_BUTTON));
        } else {
            EXPECT_EQ(state.portName, "\x48\x45\x54");
            EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОШИБКА");
            EXPECT_EQ(dialog.TextOf(IDC_MESSAGE), "В системе отсутствуют СОМ порты!");
            EXPECT_FALSE(dialog.Enabled(IDC_START_BUTTON));
        }
        for (int id : kPortAndPackage) {
            EXPECT_TRUE(dialog.Shown(id)) << id;
        }
        EXPECT_TRUE(dialog.Shown(IDC_MESSAGE));
        for (int id : kContacts) {
            EXPECT_FALSE(dialog.Shown(id)) << id;
        }
        EXPECT_FALSE(dialog.Shown(IDC_PROGRESS));
        EXPECT_TRUE(dialog.Enabled(IDC_PACKAGE_NAME));
        EXPECT_TRUE(dialog.Enabled(IDC_PORT_NAME));
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.StartButton()), kActive);
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.HelpButton()), kActive);
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.ExitButton()), kActive);
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.StopButton()), kInactive);
        MainDialogPicture::OnScreen(dialog.Hwnd(), true).Save(L"maindialog-startup");
    }});
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

TEST_F(MainDialogTest, DressingStacksTheLabelsAndMakesTheClickableOnesNotify) {
    const INT_PTR result = Run({[](MainDialogProbe& dialog) {
        const std::vector<int> order = StackingOrder(dialog.Hwnd());
        ASSERT_GE(order.size(), 5u);
        const std::vector<int> top(order.begin(), order.begin() + 5);
        EXPECT_EQ(top, (std::vector<int>{IDC_PORT_CAPTION, IDC_PACKAGE_CAPTION, IDC_WEB_SITE,
                                         IDC_MESSAGE, IDC_TITLE}));

        // A click on these reaches the label (and the dialog) instead of dragging the window.
        for (int id : {IDC_PACKAGE_NAME, IDC_PORT_NAME, IDC_SUPPORT_MAIL, IDC_WEB_SITE}) {
            EXPECT_NE(::GetWindowLongW(dialog.GetDlgItem(id), GWL_STYLE) & SS_NOTIFY, 0) << id;
        }
        for (int id : {IDC_PACKAGE_CAPTION, IDC_PORT_CAPTION, IDC_MESSAGE, IDC_TITLE}) {
            EXPECT_EQ(::GetWindowLongW(dialog.GetDlgItem(id), GWL_STYLE) & SS_NOTIFY, 0) << id;
        }

        // Every control-colour request gets the light-blue brush.
        const HDC dc = ::GetDC(dialog.Hwnd());
        const auto brush = reinterpret_cast<HBRUSH>(
            dialog.Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                        reinterpret_cast<LPARAM>(dialog.GetDlgItem(IDC_TITLE))));
        ::ReleaseDC(dialog.Hwnd(), dc);
        LOGBRUSH description{};
        ASSERT_EQ(::GetObjectW(brush, sizeof(description), &description), sizeof(description));
        EXPECT_EQ(description.lbColor, kActive);

        // The icon of the minimised window is the program's.
        const auto dragIcon = reinterpret_cast<HICON>(dialog.Send(WM_QUERYDRAGICON));
        EXPECT_NE(dragIcon, nullptr);
        EXPECT_EQ(reinterpret_cast<HICON>(dialog.Send(WM_GETICON, ICON_BIG)), dragIcon);
    }});
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

TEST_F(MainDialogTest, ShowScreenShowsOneGroupAtATimeAndEndsTheHelpView) {
    const INT_PTR result = Run({
        [](MainDialogProbe& dialog) {
            TheAppState().idle = 0;
            TheAppState().helpShown = 1;
            dialog.ShowScreen("ОБНОВЛЕНИЕ", "", true, false, 0);
            EXPECT_EQ(TheAppState().helpShown, 0);
            EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОБНОВЛЕНИЕ");
            EXPECT_TRUE(dialog.Shown(IDC_PROGRESS));
            EXPECT_EQ(dialog.ProgressBar().GetPos(), 0);
            // Shown too, over the bar, with its text emptied.
            EXPECT_TRUE(dialog.Shown(IDC_MESSAGE));
            EXPECT_EQ(dialog.TextOf(IDC_MESSAGE), "");
            for (int id : kPortAndPackage) {
                EXPECT_TRUE(dialog.Shown(id)) << id;
            }
            for (int id : kContacts) {
                EXPECT_FALSE(dialog.Shown(id)) << id;
            }
            // Running: the labels refuse clicks.
            EXPECT_FALSE(dialog.Enabled(IDC_PORT_NAME));
            EXPECT_FALSE(dialog.Enabled(IDC_PACKAGE_NAME));
        },
        [](MainDialogProbe& dialog) {
            TheAppState().idle = 1;
            TheAppState().helpShown = 1;
            dialog.ShowScreen("ТОРВИК", "WWW.TORVIK.EXAMPLE", false, true, 0);
            EXPECT_EQ(TheAppState().helpShown, 0);
            EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ТОРВИК");
            EXPECT_EQ(dialog.TextOf(IDC_MESSAGE), "WWW.TORVIK.EXAMPLE");
            for (int id : kContacts) {
                EXPECT_TRUE(dialog.Shown(id)) << id;
            }
            for (int id : kPortAndPackage) {
                EXPECT_FALSE(dialog.Shown(id)) << id;
            }
            EXPECT_FALSE(dialog.Shown(IDC_MESSAGE));
            EXPECT_FALSE(dialog.Shown(IDC_PROGRESS));
            EXPECT_TRUE(dialog.Enabled(IDC_PORT_NAME));
            MainDialogPicture::OnScreen(dialog.Hwnd(), true).Save(L"maindialog-contacts");
        },
        [](MainDialogProbe& dialog) {
            dialog.ShowScreen("ОТМЕНА", "Обновление отменено пользователем", false, false, 0);
            EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОТМЕНА");
            EXPECT_EQ(dialog.TextOf(IDC_MESSAGE), "Обновление отменено пользователем");
            for (int id : kPortAndPackage) {
                EXPECT_TRUE(dialog.Shown(id)) << id;
            }
            EXPECT_TRUE(dialog.Shown(IDC_MESSAGE));
            for (int id : kContacts) {
                EXPECT_FALSE(dialog.Shown(id)) << id;
            }
            EXPECT_FALSE(dialog.Shown(IDC_PROGRESS));
        },
    });
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

// Dark text or bar pixels inside `rect` of the picture.
int DarkPixels(const MainDialogPicture& picture, const RECT& rect) {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            count += NearColor(picture.At(x, y), kInactive, 24) ? 1 : 0;
        }
    }
    return count;
}

// The message label lies over the progress bar and stays shown during a run; whatever paints
// first or last, the bar must stay on the screen.
TEST_F(MainDialogTest, ProgressBarStaysVisibleUnderTheMessageLabel) {
    const INT_PTR result = Run({[](MainDialogProbe& dialog) {
        TheAppState().idle = 0;
        dialog.ShowScreen("ОБНОВЛЕНИЕ", "", true, false, 0);
        // Only what is waiting to be painted, as the message loop would.
        ::RedrawWindow(dialog.Hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);

        RECT bar = dialog.ProgressBar().GetWindowRect();
        dialog.ScreenToClient(bar);
        // The empty bar shows "Выполнено : 0%" in dark grey on light blue; the empty message
        // label nothing but light blue.
        EXPECT_GT(DarkPixels(MainDialogPicture::OnScreen(dialog.Hwnd(), false), bar), 20)
            << "the bar's text right after the screen change";

        dialog.ProgressBar().SetRange(0, 100);
        dialog.ProgressBar().SetPos(50);
        dialog.ProgressBar().UpdateWindow();
        // Left of the centred text, in the filled half.
        const POINT inFill{bar.left + 3, (bar.top + bar.bottom) / 2};
        const auto expectBar = [&](const char* after) {
            const MainDialogPicture picture = MainDialogPicture::OnScreen(dialog.Hwnd(), false);
            EXPECT_EQ(picture.At(inFill.x, inFill.y), kInactive) << "after " << after;
        };
        expectBar("the bar's own paint");
        dialog.MessageLabel().Redraw();
        expectBar("the message label repainted");
        dialog.MessageLabel().ShowWindow(SW_HIDE);
        dialog.MessageLabel().ShowWindow(SW_SHOW);
        dialog.MessageLabel().UpdateWindow();
        expectBar("the message label shown again");
        const MainDialogPicture whole = MainDialogPicture::OnScreen(dialog.Hwnd(), true);
        EXPECT_EQ(whole.At(inFill.x, inFill.y), kInactive) << "after a repaint of everything";
        whole.Save(L"maindialog-progress");
    }});
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

TEST_F(MainDialogTest, RefreshButtonsLightsTheCommandsOfTheLook) {
    const INT_PTR result = Run({[](MainDialogProbe& dialog) {
        TheAppState().idle = 0;
        dialog.RefreshButtons();
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.StartButton()), kInactive);
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.HelpButton()), kInactive);
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.ExitButton()), kInactive);
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.StopButton()), kActive);
        EXPECT_FALSE(dialog.Enabled(IDC_PACKAGE_NAME));
        EXPECT_FALSE(dialog.Enabled(IDC_PORT_NAME));

        TheAppState().idle = 1;
        dialog.RefreshButtons();
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.StartButton()), kActive);
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.HelpButton()), kActive);
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.ExitButton()), kActive);
        EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.StopButton()), kInactive);
        EXPECT_TRUE(dialog.Enabled(IDC_PACKAGE_NAME));
        EXPECT_TRUE(dialog.Enabled(IDC_PORT_NAME));
    }});
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

// Each step runs only if the dialog survived the one before.
TEST_F(MainDialogTest, CancelEndsTheDialogOnlyWhenIdleAndNoRunIsBusyAndEnterNever) {
    int stepsRun = 0;
    const INT_PTR result = Run({
                                   [](MainDialogProbe& dialog) {
                                       TheAppState().idle = 0;
                                       dialog.Command(IDCANCEL);
                                   },
                                   [](MainDialogProbe& dialog) {
                                       TheAppState().idle = 1;
                                       TheAppState().busy = 1;
                                       dialog.Command(IDCANCEL);
                                       dialog.OnExit();
                                   },
                                   [](MainDialogProbe& dialog) {
                                       TheAppState().busy = 0;
                                       dialog.Command(IDOK);
                                   },
                                   [](MainDialogProbe& dialog) {
                                       // Escape, as the keyboard gives it to the dialog's message
                                       // loop.
                                       ::SetFocus(dialog.GetDlgItem(IDC_HELP_BUTTON));
                                       ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
                                   },
                               },
                               &stepsRun, false);
    EXPECT_EQ(stepsRun, 4);
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(MainDialogTest, TheSkinIsStretchedOverTheWholeClientArea) {
    // Chosen points of the bitmap, away from the edges of its parts.
    struct Probe {
        int x;
        int y;
        COLORREF color;
    };
    constexpr std::array probes{Probe{250, 140, kGlass}, Probe{400, 180, kGlass},
                                Probe{10, 150, kHousing}, Probe{490, 150, kHousing},
                                Probe{80, 250, kKeyField}};
    const auto check = [&](HWND dialog, const char* size) {
        LRESULT erased = 0;
        const MainDialogPicture picture = MainDialogPicture::Erased(dialog, erased);
        EXPECT_NE(erased, 0) << size;
        for (const Probe& probe : probes) {
            const int x = probe.x * picture.Width() / 500;
            const int y = probe.y * picture.Height() / 318;
            EXPECT_TRUE(NearColor(picture.At(x, y), probe.color, 6))
                << size << ": bitmap point (" << probe.x << ", " << probe.y << ") at (" << x << ", "
                << y << ") is " << std::hex << picture.At(x, y);
        }
    };
    const INT_PTR result = Run({
        [&](MainDialogProbe& dialog) { check(dialog.Hwnd(), "template size"); },
        [&](MainDialogProbe& dialog) {
            dialog.SetWindowPos(nullptr, 0, 0, 360, 200,
                                SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            check(dialog.Hwnd(), "shrunk");
            dialog.SetWindowPos(nullptr, 0, 0, 760, 480,
                                SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            check(dialog.Hwnd(), "enlarged");
        },
    });
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

} // namespace
} // namespace tamsivo::test
