// The program's dialogs: the package selection and its choice, and the main dialog's
// commands, clicks and reaction to a run's notifications, with the worker played by the test.
#include "HarnessDialog.h"
#include "WinSupport.h"

#include "app/AppState.h"
#include "controls/win32/SkinLabel.h"
#include "flash/Outcome.h"
#include "flash/SerialPorts.h"
#include "flash/win32/PortLock.h"
#include "framework/Application.h"
#include "framework/WideText.h"
#include "res/resource.h"
#include "text/Cp1251Literal.h"
#include "ui/ChooseFirmware.h"
#include "ui/FirmwareSelectDialog.h"
#include "ui/FlashNotifications.h"
#include "ui/MainDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tamsivo::test {
namespace {

// The shared state as a start-up with packages leaves it, put back afterwards.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { Scan({L"C:\\Tamsivo\\UPDATES\\one.enc"}); }
    void TearDown() override {
        AppState& state = TheAppState();
        state.firmwarePaths.reset();
        state.portNames.reset();
        state.firmwareCount = state.portCount = state.portIndex = 0;
        state.exeDir = state.firmwareName = std::filesystem::path();
        state.portName.clear();
        state.idle = state.helpShown = 0;
        state.runAllowed = state.busy = 0;
    }
    static void Scan(PathList paths) {
        AppState& state = TheAppState();
        state.exeDir = L"C:\\Tamsivo";
        state.firmwareCount = static_cast<std::int32_t>(paths.size());
        state.firmwarePaths = std::make_unique<PathList>(std::move(paths));
    }
};

TEST_F(DialogTest, TheSelectionListsThePackagesSortedAndTakesTheChosenOne) {
    // A name outside Windows-1251 shows as well as the code page can, and is taken as it is.
    Scan({L"C:\\u\\Прошивка.enc", L"C:\\u\\b.enc", L"C:\\u\\A.enc", L"C:\\u\\Ολγα.enc"});
    struct Case {
        int entry;           // chosen in the list first, unless its notification is 0
        WORD notification;   // what the list tells of it
        int key;             // pressed then, unless 0
        const wchar_t* name; // taken
    };
    const Case cases[] = {
        {0, 0, IDOK, L"Ολγα.enc"}, // the first in the list's order
        {3, LBN_DBLCLK, 0, L"Прошивка.enc"},
        {2, LBN_SELCHANGE, IDOK, L"b.enc"},
        {1, LBN_SELCHANGE, IDCANCEL, L"b.enc"}, // the previous choice stays
    };
    for (const Case& c : cases) {
        std::vector<std::string> listed;
        ModalStep step([&](HWND dialog) {
            // The labels lie flat on the dark background.
            for (const int label : {IDC_SELECT_HEADING, IDC_SELECT_INSTRUCTION}) {
                RECT rect{};
                ::GetClientRect(::GetDlgItem(dialog, label), &rect);
                EXPECT_EQ(Picture(::GetDlgItem(dialog, label)).At(rect.right - 1, 0),
                          RGB(10, 10, 10));
            }
            // Both keys wear the same texture, seen lit under the pointer, and their captions
            // the labels' light grey.
            ::SendDlgItemMessageW(dialog, IDOK, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
            ::SendDlgItemMessageW(dialog, IDCANCEL, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
            const Picture ok(::GetDlgItem(dialog, IDOK));
            const Picture cancel(::GetDlgItem(dialog, IDCANCEL));
            for (int x = 0; x < 12; ++x) {
                EXPECT_EQ(ok.At(x, 2), cancel.At(x, 2)) << x;
            }
            RECT key{};
            ::GetClientRect(::GetDlgItem(dialog, IDOK), &key);
            EXPECT_GT(ok.Count(RGB(192, 192, 192), key), 0);
            EXPECT_GT(cancel.Count(RGB(192, 192, 192), key), 0);
            const HWND list = ::GetDlgItem(dialog, IDC_FIRMWARE_LIST);
            for (int i = 0; i < ::SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
                wchar_t text[64] = {};
                ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
                listed.push_back(Narrow(text));
            }
            LOGBRUSH brush{};
            ::GetObjectW(reinterpret_cast<HBRUSH>(::SendMessageW(dialog, WM_CTLCOLORDLG, 0,
                                                                 reinterpret_cast<LPARAM>(dialog))),
                         sizeof brush, &brush);
            EXPECT_EQ(brush.lbColor, RGB(10, 10, 10)) << "the dialog's own dark background";
            EXPECT_EQ(TextOf(dialog), kCp1251<"Выбор файла">);
            EXPECT_NE(::SendMessageW(dialog, WM_GETICON, ICON_BIG, 0), 0) << "for the task bar";
            EXPECT_EQ(::GetFocus(), ::GetDlgItem(dialog, IDC_FIRMWARE_LIST)) << "keys choose";
            if (c.notification != 0) {
                ::SendDlgItemMessageW(dialog, IDC_FIRMWARE_LIST, LB_SETCURSEL, c.entry, 0);
                ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_FIRMWARE_LIST, c.notification),
                               0);
            }
            if (c.key != 0) {
                Click(dialog, c.key);
            }
        });
        EXPECT_EQ(ChooseFirmware(), c.key != IDCANCEL);
        EXPECT_EQ(TheAppState().firmwareName, std::filesystem::path(c.name));
        EXPECT_EQ(listed, (std::vector<std::string>{"????.enc", "A.enc", "b.enc",
                                                    kCp1251<"Прошивка.enc">}));
    }

    // One package is taken without asking; none is said in a box, and the choice stays.
    Scan({L"C:\\Tamsivo\\UPDATES\\only.enc"});
    EXPECT_TRUE(ChooseFirmware());
    EXPECT_EQ(TheAppState().firmwareName, std::filesystem::path(L"only.enc"));
    Scan({});
    std::string boxText;
    ModalStep box([&](HWND dialog) {
        boxText = TextOf(dialog, 0xFFFF);
        EXPECT_EQ(TextOf(dialog), "Tamsivo");
        Click(dialog, IDOK);
    });
    EXPECT_FALSE(ChooseFirmware());
    EXPECT_EQ(boxText, kCp1251<"В папке\n\"C:\\Tamsivo\\updates\\\"\nне обнаружено ни одного файла "
                               "микропрограммы БК.\nДальнейшая работа невозможна.">);
    EXPECT_EQ(TheAppState().firmwareName, std::filesystem::path(L"only.enc"));
}

// The main dialog with test steps run from its own modal loop, its worker started by the test.
class Probe : public HarnessDialog<MainDialog> {
public:
    using Step = std::function<void(Probe&)>;
    std::function<HANDLE()> startWorker = [] {
        return ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    };
    int starts = 0;

    explicit Probe(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            AddStep([this, step] { step(*this); });
        }
    }
    std::string Text(int id) const { return TextOf(Hwnd(), id); }
    bool Shown(int id) const { return ::IsWindowVisible(GetDlgItem(id)) != FALSE; }
    void Press(int id) const { Click(Hwnd(), id); }
    // The mouse pressed on a label, which the label turns into its click.
    void Tap(int id) const { ::SendMessageW(GetDlgItem(id), WM_LBUTTONDOWN, MK_LBUTTON, 0); }
    bool Focused(int id) const { return ::GetFocus() == GetDlgItem(id); }
    bool TitleBold() const { return titleLabel_.LogFont().lfWeight >= FW_BOLD; }
    HFONT KeyFont() const { return startButton_.GetFont(); }
    COLORREF Caption(SkinButton& button) {
        const COLORREF color = button.SetCaptionColor(0);
        button.SetCaptionColor(color);
        return color;
    }
    // Running: СТОП lit, СТАРТ dimmed, the labels disabled and the run allowed; idle: the
    // other way round.
    bool Looks(bool running) {
        const auto lit = [](bool on) { return on ? RGB(10, 180, 250) : RGB(64, 64, 64); };
        const AppState& state = TheAppState();
        return Caption(stopButton_) == lit(running) && Caption(startButton_) == lit(!running) &&
               (::IsWindowEnabled(GetDlgItem(IDC_PORT_NAME)) == FALSE) == running &&
               (::IsWindowEnabled(GetDlgItem(IDC_PACKAGE_NAME)) == FALSE) == running &&
               state.runAllowed.load() == running && (state.idle == 0) == running;
    }
    using TitleAndMessage = std::pair<std::string, std::string>;
    TitleAndMessage Screen() const { return {Text(IDC_TITLE), Text(IDC_MESSAGE)}; }
    // Labels of the skin: grey text on blue, above the skin's picture, so that their clicks
    // reach them.
    void ExpectDressed(std::initializer_list<int> ids) const {
        for (const int id : ids) {
            const HWND label = GetDlgItem(id);
            RECT box{};
            ::GetClientRect(label, &box);
            const Picture picture(label);
            EXPECT_EQ(picture.At(box.right - 1, 0), RGB(10, 180, 250)) << id << ": no gradient";
            EXPECT_GT(picture.Count(RGB(64, 64, 64), box), 0) << id;
            POINT centre{box.right / 2, box.bottom / 2};
            ::MapWindowPoints(label, Hwnd(), &centre, 1);
            EXPECT_EQ(::ChildWindowFromPointEx(Hwnd(), centre, CWP_SKIPINVISIBLE), label) << id;
        }
    }

protected:
    HANDLE StartFlashWorker() override {
        ++starts;
        return startWorker();
    }
};

TEST_F(DialogTest, StartShowsTheRunningLookAndEveryEndingItsOutcome) {
    struct Ending {
        unsigned notification;
        Outcome outcome;
        LPARAM lParam;
        int focus; // 0: unchanged, on the stop button
    };
    const std::vector<Ending> endings = {
        {WM_FLASH_PORT_ERROR, Outcome::PortError, 0, IDC_START_BUTTON},
        {WM_FLASH_NO_ECHO, Outcome::NoEcho, 0, 0},
        {WM_FLASH_DONE, Outcome::Done, 4096, IDC_EXIT_BUTTON},
        {WM_FLASH_PACKAGE_ERROR, Outcome::PackageError, static_cast<LPARAM>(PackageError::Empty),
         IDC_START_BUTTON},
        {WM_FLASH_LINK_ERROR, Outcome::LinkError, 0, IDC_START_BUTTON},
        {WM_FLASH_INTERNAL_ERROR, Outcome::InternalError, 0, IDC_START_BUTTON},
    };
    std::vector<Probe::Step> steps;
    for (const Ending& ending : endings) {
        steps.push_back([ending, run = static_cast<int>(steps.size()) + 1](Probe& dialog) {
            AppState& state = TheAppState();
            EXPECT_FALSE(dialog.Shown(IDC_PROGRESS)) << "a bar before the start";
            state.portName = "COM7";
            dialog.Press(IDC_START_BUTTON);
            ASSERT_TRUE(dialog.Looks(true));
            EXPECT_EQ(dialog.Text(IDC_TITLE), kCp1251<"ОБНОВЛЕНИЕ">);
            EXPECT_TRUE(dialog.Focused(IDC_STOP_BUTTON));
            // The running look refuses start, help and exit, before the worker's first step
            // and after it.
            for (const std::uint8_t busy : {0, 1}) {
                state.busy = busy;
                for (int id : {IDC_START_BUTTON, IDC_HELP_BUTTON, IDC_EXIT_BUTTON, IDCANCEL}) {
                    dialog.Press(id);
                }
            }
            EXPECT_EQ(dialog.starts, run);
            // Empty from the start, before the package's size: no bar of the last run.
            EXPECT_EQ(::SendDlgItemMessageW(dialog.Hwnd(), IDC_PROGRESS, PBM_GETPOS, 0, 0), 0);
            dialog.Send(WM_FLASH_SIZE, 0, 4096);
            // The worker sends only what is worth a repaint (ProgressFilter): it is shown.
            dialog.Send(WM_FLASH_PROGRESS, 0, 3);
            EXPECT_EQ(::SendDlgItemMessageW(dialog.Hwnd(), IDC_PROGRESS, PBM_GETPOS, 0, 0), 3);
            // In words on the bar ("Выполнено : 0%"), grey where no bar is below them yet.
            const HWND bar = dialog.GetDlgItem(IDC_PROGRESS);
            RECT box{};
            ::GetClientRect(bar, &box);
            EXPECT_GT(Picture(bar).Count(RGB(64, 64, 64), box), 20);
            POINT centre{box.right / 2, box.bottom / 2}; // above every label it lies over
            ::MapWindowPoints(bar, dialog.Hwnd(), &centre, 1);
            EXPECT_EQ(::ChildWindowFromPointEx(dialog.Hwnd(), centre, CWP_SKIPINVISIBLE), bar);
            state.busy = 0; // every end clears it before its notification
            EXPECT_EQ(dialog.Send(ending.notification, 0, ending.lParam), 1);
            const OutcomeRow& outcome = RowOf(ending.outcome);
            EXPECT_EQ(dialog.Screen(),
                      std::pair(std::string(outcome.caption),
                                OutcomeText(outcome, "COM7", "one.enc",
                                            static_cast<PackageError>(ending.lParam))));
            EXPECT_FALSE(dialog.Shown(IDC_PROGRESS));
            EXPECT_TRUE(dialog.Looks(false));
            EXPECT_TRUE(dialog.Focused(ending.focus != 0 ? ending.focus : IDC_STOP_BUTTON));
        });
    }
    steps.push_back([](Probe& dialog) {
        // No worker: the running look is left at once, with the reason.
        dialog.startWorker = [] { return HANDLE{}; };
        dialog.Press(IDC_START_BUTTON);
        EXPECT_EQ(
            dialog.Screen(),
            Probe::TitleAndMessage(kCp1251<"ОШИБКА">,
                                   kCp1251<"Не удалось запустить обновление. Повторите попытку.">));
        EXPECT_TRUE(dialog.Looks(false));
        EXPECT_TRUE(dialog.Focused(IDC_START_BUTTON));
    });
    Probe probe(steps);
    EXPECT_EQ(probe.DoModal(), Probe::kScenarioDone);
}

// The stop waits for the worker, serving its sends meanwhile, and tells of the cancellation
// only once the worker is gone, unless the run finished on its own meanwhile.
TEST_F(DialogTest, StopWaitsForTheWorkerThenShowsTheCancellationOrTheRunsOwnEnd) {
    // Once `go` is set, the worker reports the size and some progress, blocked in each report
    // until the dialog serves it; a frame's answer later it sees the stop, as a run between
    // frames does, and ends with `ending`, if any.
    static HWND window;
    static const HANDLE go = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    static UINT ending;
    static std::uint8_t allowedAfterReport; // the flag after the first report
    static LRESULT position;                // what the bar showed after the second
    const auto worker = [] {
        TheAppState().busy = 1;
        return ::CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                ::WaitForSingleObject(go, INFINITE);
                ::SendMessageW(window, WM_FLASH_SIZE, 0, 100);
                allowedAfterReport = TheAppState().runAllowed.load();
                ::SendMessageW(window, WM_FLASH_PROGRESS, 0, 40);
                position = ::SendDlgItemMessageW(window, IDC_PROGRESS, PBM_GETPOS, 0, 0);
                while (TheAppState().runAllowed.load() != 0) {
                    ::Sleep(5); // polls the flag as the run does between frames
                }
                TheAppState().busy = 0;
                if (ending != 0) {
                    ::SendMessageW(window, ending, 0, 100);
                }
                return 0;
            },
            nullptr, 0, nullptr);
    };
    std::vector<Probe::Step> steps;
    for (const UINT end : {0u, static_cast<UINT>(WM_FLASH_DONE)}) {
        steps.push_back([end, worker](Probe& dialog) {
            window = dialog.Hwnd();
            ending = end;
            position = -1;
            dialog.startWorker = worker;
            dialog.Press(IDC_START_BUTTON);
            // A quit asked for while the stop waits is handed on with its code.
            ::PostQuitMessage(5);
            dialog.Press(IDC_STOP_BUTTON);
            MSG quit{};
            EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
            EXPECT_EQ(quit.wParam, 5u);
            EXPECT_EQ(position, 40) << "the worker's sends were served in the wait";
            EXPECT_TRUE(dialog.Looks(false));
            const std::string title = end != 0 ? kCp1251<"ВЫПОЛНЕНО"> : kCp1251<"ОТМЕНА">;
            EXPECT_EQ(dialog.Text(IDC_TITLE), title);
            EXPECT_EQ(dialog.Text(IDC_MESSAGE), end != 0
                                                    ? kCp1251<"Обновление выполнено успешно!">
                                                    : kCp1251<"Обновление отменено пользователем">);
            EXPECT_TRUE(dialog.Focused(end != 0 ? IDC_EXIT_BUTTON : IDC_START_BUTTON));
            dialog.Press(IDC_STOP_BUTTON); // in the idle look: nothing
            EXPECT_EQ(dialog.Text(IDC_TITLE), title);
        });
    }
    steps.push_back([](Probe& dialog) {
        // Clicked while the start still animates the title, the stop waits in the queue behind
        // it: it is served before the worker would start, and no worker starts.
        const int startsBefore = dialog.starts;
        PostClick(dialog.Hwnd(), IDC_START_BUTTON);
        PostClick(dialog.Hwnd(), IDC_STOP_BUTTON);
        ASSERT_TRUE(PumpUntil([&] { return dialog.Text(IDC_TITLE) == kCp1251<"ОТМЕНА">; }));
        EXPECT_EQ(dialog.starts, startsBefore);
    });
    steps.push_back([](Probe& dialog) {
        // A stop clicked while the dialog was busy waits in the queue while the worker reports:
        // it is served inside the report, so the worker sees it before its next frame.
        ending = 0;
        allowedAfterReport = 1;
        ::ResetEvent(go);
        dialog.Press(IDC_START_BUTTON);
        PostClick(dialog.Hwnd(), IDC_STOP_BUTTON);
        ::SetEvent(go);
        // Serves only what the worker sends, as a busy dialog does: the stop stays queued. A
        // stop never served would keep the worker polling: it is let go after a while.
        const ULONGLONG deadline = ::GetTickCount64() + 20000;
        while (TheAppState().busy.load() != 0 && ::GetTickCount64() < deadline) {
            ::MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_SENDMESSAGE, 0);
            MSG sent{};
            ::PeekMessageW(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        TheAppState().runAllowed = 0;
        EXPECT_EQ(allowedAfterReport, 0);
        EXPECT_TRUE(PumpUntil([&] { return dialog.Text(IDC_TITLE) == kCp1251<"ОТМЕНА">; }));
    });
    Probe probe(steps);
    EXPECT_EQ(probe.DoModal(), Probe::kScenarioDone);
}

TEST_F(DialogTest, TheLabelsCycleThePortsChooseThePackageAndShowHelpOnlyWhenIdle) {
    std::vector<HANDLE> held; // every port, as other programs may hold them
    for (const std::string& port : FreeSerialPorts()) {
        held.push_back(PortLock::Acquire(port));
    }
    std::vector<std::string> opened;
    const auto shell =
        SkinLabel::ReplaceShellOpen([&](const std::string& verb, const std::string& target) {
            opened.push_back(verb + target);
        });
    Probe probe({[&](Probe& dialog) {
        // No port: the dialog says so, and offers nothing to start.
        EXPECT_EQ(dialog.Text(IDC_MESSAGE), kCp1251<"В системе отсутствуют СОМ порты!">);
        EXPECT_EQ(dialog.Text(IDC_PORT_NAME), "HET");
        EXPECT_FALSE(::IsWindowEnabled(dialog.GetDlgItem(IDC_START_BUTTON)));
        EXPECT_TRUE(dialog.TitleBold());
        LOGFONTW font{}; // the keys' captions in Arial, however condensed
        ::GetObjectW(dialog.KeyFont(), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, L"Arial");
        dialog.ExpectDressed({IDC_PACKAGE_CAPTION, IDC_PACKAGE_NAME, IDC_PORT_CAPTION});
        AppState& state = TheAppState();
        *state.portNames = {"COM1", "COM3", "COM8"};
        state.portCount = 3;
        state.portIndex = 0;
        for (const std::string port : {"COM3", "COM8", "COM1", "COM3"}) {
            dialog.Tap(IDC_PORT_NAME); // not a web link
            EXPECT_EQ(dialog.Text(IDC_PORT_NAME), port);
            EXPECT_EQ(state.portName, port);
        }
        state.busy = 1;
        dialog.Press(IDC_PORT_NAME);
        EXPECT_EQ(dialog.Text(IDC_PORT_NAME), "COM3") << "not while a run is busy";
        state.busy = 0;

        // A rescan (here of a folder that does not exist) says so and keeps the package.
        EXPECT_EQ(dialog.Text(IDC_PACKAGE_NAME), "one.enc");
        state.exeDir = L"C:\\no-such-folder";
        ModalStep box([](HWND message) { Click(message, IDOK); });
        state.idle = 0; // the running look before the worker's first step: the package stays
        dialog.Press(IDC_PACKAGE_NAME);
        EXPECT_FALSE(box.Saw());
        state.idle = 1;
        dialog.Press(IDC_PACKAGE_NAME);
        EXPECT_TRUE(box.Saw());
        EXPECT_EQ(state.firmwareName, std::filesystem::path(L"one.enc"));

        // Help shows the contacts in place of the ports, and puts the screen back; never
        // during a run.
        const auto screen = dialog.Screen();
        dialog.Press(IDC_HELP_BUTTON);
        EXPECT_EQ(dialog.Screen(),
                  std::pair(std::string(kCp1251<"ТОРВИК">), dialog.Text(IDC_WEB_SITE)));
        EXPECT_FALSE(dialog.Shown(IDC_PORT_NAME) || dialog.Shown(IDC_PROGRESS));
        dialog.ExpectDressed({IDC_SUPPORT_TEXT, IDC_SUPPORT_PHONE, IDC_MAIL_CAPTION,
                              IDC_SUPPORT_MAIL, IDC_WEB_SITE});
        // Their links open the site and a letter to the address.
        dialog.Tap(IDC_WEB_SITE);
        dialog.Tap(IDC_SUPPORT_MAIL);
        EXPECT_EQ(opened, (std::vector<std::string>{"open" + dialog.Text(IDC_WEB_SITE),
                                                    "mailto:" + dialog.Text(IDC_SUPPORT_MAIL) +
                                                        "?subject=Tamsivo"}));
        dialog.Press(IDC_HELP_BUTTON);
        EXPECT_EQ(dialog.Screen(), screen);
        EXPECT_TRUE(dialog.Shown(IDC_PORT_NAME));
        EXPECT_FALSE(dialog.Shown(IDC_PROGRESS) || dialog.Shown(IDC_WEB_SITE));
        state.busy = 1;
        dialog.Press(IDC_HELP_BUTTON);
        EXPECT_EQ(dialog.Screen(), screen);
        state.busy = 0;
        dialog.Press(IDC_EXIT_BUTTON); // idle: the dialog ends
    }});
    EXPECT_EQ(probe.DoModal(), IDCANCEL) << "the exit ended the dialog";
    SkinLabel::ReplaceShellOpen(shell);
    std::ranges::for_each(held, PortLock::Release);
}

// As the program's main window the dialog owns the selection and takes no input meanwhile;
// should a run begin all the same, the choice made then changes nothing.
TEST_F(DialogTest, TheSelectionIsOwnedByTheMainDialogAndARunBegunMeanwhileKeepsItsPackage) {
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    std::filesystem::create_directories(temp / L"updates");
    for (const wchar_t* name : {L"a.enc", L"one.enc"}) {
        std::ofstream(temp / L"updates" / name);
    }
    struct MainApplication : Application {
        bool InitInstance() override { throw std::runtime_error("a failure"); }
    } application;
    Probe probe({[&](Probe& dialog) {
        application.SetMainWindow(&dialog);
        TheAppState().exeDir = temp;
        HWND owner = nullptr; // which a modal dialog box keeps from input while it shows
        ModalStep step([&](HWND selection) {
            owner = ::GetWindow(selection, GW_OWNER);
            ::SendMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_START_BUTTON, BN_CLICKED), 0);
            Click(selection, IDOK); // a.enc, the first
        });
        dialog.Press(IDC_PACKAGE_NAME);
        EXPECT_EQ(owner, dialog.Hwnd());
        EXPECT_EQ(dialog.starts, 1);
        EXPECT_EQ(TheAppState().firmwareName, std::filesystem::path(L"one.enc"));
        EXPECT_EQ(dialog.Text(IDC_PACKAGE_NAME), "one.enc");
        dialog.Send(WM_FLASH_DONE, 0, 0);
        // Now idle, the same choice is taken.
        ModalStep again([](HWND selection) { Click(selection, IDOK); });
        dialog.Press(IDC_PACKAGE_NAME);
        EXPECT_EQ(TheAppState().firmwareName, std::filesystem::path(L"a.enc"));
        EXPECT_EQ(dialog.Text(IDC_PACKAGE_NAME), "a.enc");
    }});
    EXPECT_EQ(probe.DoModal(), Probe::kScenarioDone);
    application.SetMainWindow(nullptr);
    std::filesystem::remove_all(temp / L"updates");
    // A failure that escapes the program is shown, and the program ends with code 1.
    ModalStep box([](HWND shown) { Click(shown, IDOK); });
    EXPECT_EQ(Application::Run(), 1);
    EXPECT_TRUE(box.Saw());
}

} // namespace
} // namespace tamsivo::test
