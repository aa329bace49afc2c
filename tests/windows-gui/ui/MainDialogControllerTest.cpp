// The main dialog's commands and its reaction to a flash run's notifications, in a real modal
// run: start, stop (waiting for the worker while serving its sends), help, the exit button, the
// clicks on the package and port labels, and every ending notification's outcome screen.
#include "MainDialogFixture.h"
#include "MainDialogPicture.h"
#include "MainDialogProbe.h"
#include "ModalDriver.h"

#include "app/AppState.h"
#include "flash/FlashProtocol.h"
#include "flash/PackageError.h"
#include "framework/Application.h"
#include "framework/WideText.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

namespace tamsivo::test {
namespace {

constexpr COLORREF kActive = RGB(10, 180, 250);
constexpr COLORREF kInactive = RGB(64, 64, 64);
constexpr const char* kWebSite = "WWW.TORVIK.EXAMPLE";
constexpr const char* kCancelledText = "Обновление отменено пользователем";
// Generous: a handler that does not come back within this is a fault, not a slow machine.
constexpr DWORD kDeadlineMs = 10000;

constexpr std::array kPortAndPackage{IDC_PORT_NAME, IDC_PORT_CAPTION, IDC_PACKAGE_NAME,
                                     IDC_PACKAGE_CAPTION};
constexpr std::array kContacts{IDC_SUPPORT_TEXT, IDC_SUPPORT_PHONE, IDC_MAIL_CAPTION,
                               IDC_SUPPORT_MAIL, IDC_WEB_SITE};

// The main dialog whose start command hands the worker's start to the test: `startWorker`
// runs in place of the real thread's start; an empty one starts the real worker.
class ControllerProbe : public MainDialogProbe {
public:
    using StartWorker = std::function<bool(HWND dialog)>;

    ControllerProbe(std::vector<Step> steps, StartWorker startWorker)
        : MainDialogProbe(std::move(steps)), startWorker_(std::move(startWorker)) {}

protected:
    // A worker the test plays ends when the test says so; its handle, a set event, is done.
    HANDLE StartFlashWorker() override {
        if (!startWorker_) {
            return MainDialog::StartFlashWorker();
        }
        return startWorker_(Hwnd()) ? ::CreateEventW(nullptr, TRUE, TRUE, nullptr) : nullptr;
    }

private:
    StartWorker startWorker_;
};

// Every text a label of the dialog's thread was given, with `busy` as it was at that moment.
struct LabelText {
    int controlId;
    std::string text;
    std::uint8_t busy;
};

class LabelTextRecorder {
public:
    LabelTextRecorder() {
        current_ = this;
        hook_ = ::SetWindowsHookExW(WH_CALLWNDPROC, &LabelTextRecorder::OnCall, nullptr,
                                    ::GetCurrentThreadId());
    }
    ~LabelTextRecorder() {
        ::UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    LabelTextRecorder(const LabelTextRecorder&) = delete;
    LabelTextRecorder& operator=(const LabelTextRecorder&) = delete;

    bool Hooked() const { return hook_ != nullptr; }
    const std::vector<LabelText>& Texts() const { return texts_; }
    std::vector<LabelText> TextsOf(int controlId) const {
        std::vector<LabelText> texts;
        for (const LabelText& text : texts_) {
            if (text.controlId == controlId) {
                texts.push_back(text);
            }
        }
        return texts;
    }

private:
    static LRESULT CALLBACK OnCall(int code, WPARAM wParam, LPARAM lParam) {
        const auto& call = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && current_ != nullptr && call.message == WM_SETTEXT &&
            ::GetWindowLongPtrW(call.hwnd, GWL_STYLE) & WS_CHILD) {
            // Labels are Unicode windows: SetWindowTextW hands them UTF-16.
            const auto* text = reinterpret_cast<const wchar_t*>(call.lParam);
            current_->texts_.push_back(LabelText{::GetDlgCtrlID(call.hwnd),
                                                 text != nullptr ? Narrow(text) : std::string(),
                                                 TheAppState().busy.load()});
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline LabelTextRecorder* current_ = nullptr;
    HHOOK hook_ = nullptr;
    std::vector<LabelText> texts_;
};

// `whole` ends with `part`.
bool IsSuffixOf(const std::string& part, const std::string& whole) {
    return part.size() <= whole.size() &&
           whole.compare(whole.size() - part.size(), part.size(), part) == 0;
}

// Serves the dialog thread's messages, the sends of other threads included, until `done` or
// the deadline; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD deadlineMs = kDeadlineMs) {
    const ULONGLONG deadline = ::GetTickCount64() + deadlineMs;
    while (!done() && ::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return done();
}

std::wstring UniqueTempFolder() {
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + L"tamsivo-ctl-" +
                                std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                std::to_wstring(::GetTickCount64());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\";
}

void WritePackage(const std::wstring& path, const std::string& content) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path);
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
    ASSERT_EQ(written, content.size());
}

class MainDialogControllerTest : public MainDialogFixture {
protected:
    void TearDown() override {
        MainDialogFixture::TearDown();
        if (!tempFolder_.empty()) {
            RemoveTree(tempFolder_);
        }
    }

    static INT_PTR Run(std::vector<MainDialogProbe::Step> steps,
                       ControllerProbe::StartWorker startWorker, int* stepsRun = nullptr) {
        ControllerProbe dialog(std::move(steps), std::move(startWorker));
        const INT_PTR result = dialog.DoModal();
        if (stepsRun != nullptr) {
            *stepsRun = dialog.StepsRun();
        }
        return result;
    }

    // A start whose worker is the test itself: nothing runs until the test says so.
    static ControllerProbe::StartWorker CountStarts(int& starts) {
        return [&starts](HWND) {
            ++starts;
            return true;
        };
    }

    const std::wstring& TempFolder() {
        if (tempFolder_.empty()) {
            tempFolder_ = UniqueTempFolder();
        }
        return tempFolder_;
    }

private:
    static void RemoveTree(const std::wstring& folder) {
        WIN32_FIND_DATAW entry{};
        const HANDLE search = ::FindFirstFileW((folder + L"*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") {
                    continue;
                }
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(folder + name + L"\\");
                } else {
                    ::DeleteFileW((folder + name).c_str());
                }
            } while (::FindNextFileW(search, &entry));
            ::FindClose(search);
        }
        ::RemoveDirectoryW(folder.c_str());
    }

    std::wstring tempFolder_;
};

HWND Item(const MainDialogProbe& dialog, int controlId) {
    return dialog.GetDlgItem(controlId);
}

void ExpectIdleLook(MainDialogProbe& dialog, const char* when) {
    EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.StartButton()), kActive) << when;
    EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.HelpButton()), kActive) << when;
    EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.ExitButton()), kActive) << when;
    EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.StopButton()), kInactive) << when;
    EXPECT_TRUE(dialog.Enabled(IDC_PACKAGE_NAME)) << when;
    EXPECT_TRUE(dialog.Enabled(IDC_PORT_NAME)) << when;
}

TEST_F(MainDialogControllerTest, StartShowsTheRunningLookAndStartsOneWorker) {
    int starts = 0;
    struct AtStart {
        std::uint8_t runAllowed = 0;
        std::int32_t idle = -1;
        std::string title;
    } atStart;
    HWND dialogOfWorker = nullptr;
    const auto start = [&](HWND dialog) {
        ++starts;
        dialogOfWorker = dialog;
        const AppState& state = TheAppState();
        atStart.runAllowed = state.runAllowed.load();
        atStart.idle = state.idle;
        atStart.title = Window::FromHandle(::GetDlgItem(dialog, IDC_TITLE))->Text();
        return true;
    };
    int stepsRun = 0;
    const INT_PTR result =
        Run({
                [&](MainDialogProbe& dialog) {
                    dialog.Command(IDC_START_BUTTON);
                    ASSERT_EQ(starts, 1);
                    EXPECT_EQ(dialogOfWorker, dialog.Hwnd()) << "the worker reports to the dialog";
                    // The worker starts last, into the running look, allowed to run.
                    EXPECT_EQ(atStart.runAllowed, 1);
                    EXPECT_EQ(atStart.idle, 0);
                    EXPECT_EQ(atStart.title, "ОБНОВЛЕНИЕ");

                    const AppState& state = TheAppState();
                    EXPECT_EQ(state.idle, 0);
                    EXPECT_EQ(state.runAllowed.load(), 1);
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОБНОВЛЕНИЕ");
                    EXPECT_TRUE(dialog.Shown(IDC_PROGRESS));
                    EXPECT_EQ(dialog.TextOf(IDC_MESSAGE), "");
                    EXPECT_EQ(::GetFocus(), Item(dialog, IDC_STOP_BUTTON));
                    EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.StopButton()), kActive);
                    EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.StartButton()), kInactive);
                    EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.HelpButton()), kInactive);
                    EXPECT_EQ(MainDialogProbe::CaptionColor(dialog.ExitButton()), kInactive);
                    EXPECT_FALSE(dialog.Enabled(IDC_PACKAGE_NAME));
                    EXPECT_FALSE(dialog.Enabled(IDC_PORT_NAME));
                },
                [&](MainDialogProbe& dialog) {
                    // Before the worker's first step (busy still 0): the running look refuses
                    // start, help and exit alike.
                    dialog.Command(IDC_START_BUTTON);
                    dialog.Command(IDC_HELP_BUTTON);
                    dialog.Command(IDC_EXIT_BUTTON);
                    dialog.Command(IDCANCEL);
                    EXPECT_EQ(starts, 1);
                    EXPECT_EQ(TheAppState().helpShown, 0);
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОБНОВЛЕНИЕ");
                },
                [&](MainDialogProbe& dialog) {
                    TheAppState().busy = 1; // the worker has begun
                    dialog.Command(IDC_START_BUTTON);
                    dialog.Command(IDC_HELP_BUTTON);
                    dialog.Command(IDC_EXIT_BUTTON);
                    dialog.Command(IDCANCEL);
                    dialog.OnExit();
                    EXPECT_EQ(starts, 1);
                    EXPECT_EQ(TheAppState().idle, 0);
                    EXPECT_EQ(TheAppState().helpShown, 0);
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОБНОВЛЕНИЕ");
                    EXPECT_TRUE(dialog.Shown(IDC_PROGRESS));
                },
                [&](MainDialogProbe& dialog) {
                    // Even in the idle look, a run still busy (as while stop waits) refuses a
                    // second start and the exit.
                    TheAppState().idle = 1;
                    dialog.Command(IDC_START_BUTTON);
                    dialog.Command(IDC_EXIT_BUTTON);
                    EXPECT_EQ(starts, 1);
                    TheAppState().busy = 0;
                    TheAppState().idle = 0;
                    EXPECT_EQ(dialog.Send(WM_FLASH_DONE, 0, 1234), 1);
                    EXPECT_EQ(TheAppState().idle, 1);
                },
            },
            start, &stepsRun);
    EXPECT_EQ(stepsRun, 4) << "the dialog ended before its steps were done";
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

TEST_F(MainDialogControllerTest, AWorkerThatCannotStartLeavesTheIdleLookWithAnError) {
    const INT_PTR result = Run({[](MainDialogProbe& dialog) {
                                   dialog.Command(IDC_START_BUTTON);
                                   const AppState& state = TheAppState();
                                   EXPECT_EQ(state.idle, 1);
                                   EXPECT_EQ(state.runAllowed.load(), 0);
                                   EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОШИБКА");
                                   EXPECT_EQ(dialog.TextOf(IDC_MESSAGE),
                                             "Не удалось запустить обновление. Повторите попытку.");
                                   EXPECT_FALSE(dialog.Shown(IDC_PROGRESS));
                                   ExpectIdleLook(dialog, "after the failed start");
                                   EXPECT_EQ(::GetFocus(), Item(dialog, IDC_START_BUTTON));
                               }},
                               [](HWND) { return false; });
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

// The real worker, on a package that is not there: it ends at once and its notification,
// sent from its own thread, is shown.
TEST_F(MainDialogControllerTest, TheRealWorkerReportsItsEndToTheDialog) {
    const std::string folder = Narrow(TempFolder());
    const INT_PTR result =
        Run({
                [folder](MainDialogProbe& dialog) {
                    AppState& state = TheAppState();
                    state.exeDir = folder;
                    state.firmwareName = "missing.enc";
                    state.portName = "COM1";
                    dialog.Command(IDC_START_BUTTON);
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОБНОВЛЕНИЕ");
                },
                [](MainDialogProbe& dialog) {
                    ASSERT_TRUE(PumpUntil([] { return TheAppState().idle == 1; }))
                        << "no end of the run was shown";
                    const AppState& state = TheAppState();
                    EXPECT_EQ(state.busy.load(), 0);
                    EXPECT_EQ(state.runAllowed.load(), 0);
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОШИБКА");
                    EXPECT_EQ(dialog.TextOf(IDC_MESSAGE),
                              "Ошибка открытия файла микропрограммы missing.enc.");
                    ExpectIdleLook(dialog, "after the run");
                },
            },
            {});
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

struct Ending {
    unsigned notification;
    LPARAM lParam;
    const char* caption;
    const char* text;
    int focus; // control id, or 0 for unchanged
};

TEST_F(MainDialogControllerTest, EveryEndingNotificationShowsItsOutcomeAndReturnsToIdle) {
    const std::array endings{
        Ending{WM_FLASH_PORT_ERROR, 0, "ОШИБКА", "Ошибка инициализации порта COM7.",
               IDC_START_BUTTON},
        Ending{WM_FLASH_NO_ECHO, 0, "ОШИБКА",
               "Отсутствует 'эхо'-ответ. Убедитесь, что Вы подключились по К-линии.", 0},
        Ending{WM_FLASH_CHECKSUM_ERROR, 0, "ОШИБКА",
               "Ошибка контрольной суммы. Вероятно файл one.enc поврежден.", 0},
        Ending{WM_FLASH_LINE_ERROR, 0, "ОШИБКА",
               "Ошибка на линии передачи данных. Проверьте все соединения.", 0},
        Ending{WM_FLASH_SIGNATURE_ERROR, 0, "ОШИБКА",
               "Ошибка сигнатуры файла. Файл one.enc не является корректным файлом "
               "микропрограммы.",
               0},
        Ending{WM_FLASH_ADAPTER_SYNC_ERROR, 0, "ОШИБКА",
               "Velomast is out of sync. Please reset the Velomast and the target device.", 0},
        Ending{WM_FLASH_NO_ANSWER, 0, "ОШИБКА",
               "Нет ответа от бортового компьютера. Проверьте все подключения.", 0},
        Ending{WM_FLASH_DONE, 4096, "ВЫПОЛНЕНО", "Обновление выполнено успешно!", IDC_EXIT_BUTTON},
        Ending{WM_FLASH_FILE_ERROR, 0, "ОШИБКА", "Ошибка открытия файла микропрограммы one.enc.",
               0},
        Ending{WM_FLASH_BAD_ANSWER, 0, "ОШИБКА", "Нераспознаный ответ БК. Обновление прервано.", 0},
        Ending{WM_FLASH_LINK_ERROR, 0, "ОШИБКА СВЯЗИ", "Обратитесь в техподдержку",
               IDC_START_BUTTON},
        Ending{WM_FLASH_PACKAGE_ERROR, static_cast<LPARAM>(PackageError::Empty), "ОШИБКА",
               "Неверный формат файла микропрограммы one.enc: файл пуст.", IDC_START_BUTTON},
        Ending{WM_FLASH_INTERNAL_ERROR, 0, "ОШИБКА",
               "Внутренняя ошибка программы. Обновление не выполнено, повторите попытку.",
               IDC_START_BUTTON},
    };
    int starts = 0;
    std::vector<MainDialogProbe::Step> steps;
    for (const Ending& ending : endings) {
        steps.push_back([ending](MainDialogProbe& dialog) {
            AppState& state = TheAppState();
            state.portName = "COM7";
            dialog.Command(IDC_START_BUTTON);
            ASSERT_EQ(state.idle, 0);
            state.busy = 1;
            dialog.Send(WM_FLASH_SIZE, 0, 4096);
            dialog.Send(WM_FLASH_PROGRESS, 0, 2048);
            state.busy = 0; // every end clears it before its notification
            const HWND focusBefore = ::GetFocus();
            ASSERT_EQ(focusBefore, Item(dialog, IDC_STOP_BUTTON));

            EXPECT_EQ(dialog.Send(ending.notification, 0, ending.lParam), 1);

            const std::string row = "notification " + std::to_string(ending.notification);
            EXPECT_EQ(state.runAllowed.load(), 0) << row;
            EXPECT_EQ(state.idle, 1) << row;
            EXPECT_EQ(dialog.TextOf(IDC_TITLE), ending.caption) << row;
            EXPECT_EQ(dialog.TextOf(IDC_MESSAGE), ending.text) << row;
            EXPECT_TRUE(dialog.Shown(IDC_MESSAGE)) << row;
            EXPECT_FALSE(dialog.Shown(IDC_PROGRESS)) << row;
            for (int id : kPortAndPackage) {
                EXPECT_TRUE(dialog.Shown(id)) << row << ", control " << id;
            }
            const HWND expectedFocus = ending.focus != 0 ? Item(dialog, ending.focus) : focusBefore;
            EXPECT_EQ(::GetFocus(), expectedFocus) << row;
            ExpectIdleLook(dialog, row.c_str());
            if (ending.notification == WM_FLASH_DONE) {
                MainDialogPicture::OnScreen(dialog.Hwnd(), true).Save(L"maindialog-done");
            }
        });
    }
    int stepsRun = 0;
    const INT_PTR result = Run(std::move(steps), CountStarts(starts), &stepsRun);
    EXPECT_EQ(stepsRun, static_cast<int>(endings.size()));
    EXPECT_EQ(starts, static_cast<int>(endings.size())) << "each end allows the next start";
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

// Dark pixels (bar or text) inside `rect`.
int DarkPixels(const MainDialogPicture& picture, const RECT& rect) {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            count += NearColor(picture.At(x, y), kInactive, 24) ? 1 : 0;
        }
    }
    return count;
}

TEST_F(MainDialogControllerTest, SizeAndProgressMoveTheBarWhichStaysReadable) {
    int starts = 0;
    const INT_PTR result =
        Run({[](MainDialogProbe& dialog) {
                dialog.Command(IDC_START_BUTTON);
                TheAppState().busy = 1;
                PercentProgressBar& bar = dialog.ProgressBar();

                EXPECT_EQ(dialog.Send(WM_FLASH_SIZE, 0, 2000), 1);
                EXPECT_EQ(bar.GetRange().iLow, 0);
                EXPECT_EQ(bar.GetRange().iHigh, 2000);
                EXPECT_EQ(bar.GetPos(), 0);
                EXPECT_EQ(dialog.Send(WM_FLASH_PROGRESS, 0, 1000), 1);
                EXPECT_EQ(bar.GetPos(), 1000);
                // Progress leaves the run's state alone.
                EXPECT_EQ(TheAppState().idle, 0);
                EXPECT_EQ(TheAppState().runAllowed.load(), 1);
                EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОБНОВЛЕНИЕ");

                RECT barRect = bar.GetWindowRect();
                dialog.ScreenToClient(barRect);
                const int middle = (barRect.top + barRect.bottom) / 2;
                // As the message loop paints, then after a repaint of everything: the filled half
                // is dark, the empty end light blue, whatever the message label over it does.
                ::RedrawWindow(dialog.Hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
                for (const bool repaintAll : {false, true}) {
                    const MainDialogPicture picture =
                        MainDialogPicture::OnScreen(dialog.Hwnd(), repaintAll);
                    EXPECT_EQ(picture.At(barRect.left + 3, middle), kInactive) << repaintAll;
                    EXPECT_EQ(picture.At(barRect.right - 4, middle), kActive) << repaintAll;
                    // "Выполнено : 50%" in light blue over the bar: light pixels in its dark half.
                    const RECT filled{barRect.left, barRect.top, (barRect.left + barRect.right) / 2,
                                      barRect.bottom};
                    const int filledArea =
                        (filled.right - filled.left) * (filled.bottom - filled.top);
                    EXPECT_LT(DarkPixels(picture, filled), filledArea - 20) << repaintAll;
                    if (repaintAll) {
                        picture.Save(L"maindialog-running");
                    }
                }

                // A new size starts the bar again.
                EXPECT_EQ(dialog.Send(WM_FLASH_SIZE, 0, 500), 1);
                EXPECT_EQ(bar.GetRange().iHigh, 500);
                EXPECT_EQ(bar.GetPos(), 0);
                const MainDialogPicture empty = MainDialogPicture::OnScreen(dialog.Hwnd(), true);
                EXPECT_EQ(empty.At(barRect.left + 3, middle), kActive);
                EXPECT_GT(DarkPixels(empty, barRect), 20) << "the text \"Выполнено : 0%\"";
                TheAppState().busy = 0;
            }},
            CountStarts(starts));
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

// What the stand-in worker saw from its own thread while the dialog was waiting for it.
struct WorkerView {
    bool progressServed = false;
    LRESULT progressResult = 0;
    LRESULT positionDuringWait = -1;
    bool commandsServed = false;
    bool quitPosted = false;
};

// Stands in for a run's last moments after the user pressed stop: reports progress and sends
// the dialog the user's impatient commands, all synchronously while the dialog waits, then
// ends as a cancelled run ends: `busy` falls and no notification follows.
void StoppedWorker(HWND dialog, DWORD dialogThread, bool postQuit, WorkerView& view) {
    if (postQuit) {
        // Ahead of the sends, so that the wait meets it before the run is over.
        view.quitPosted = ::PostThreadMessageW(dialogThread, WM_QUIT, 0x51, 0) != FALSE;
    }
    DWORD_PTR answer = 0;
    view.progressServed = ::SendMessageTimeoutW(dialog, WM_FLASH_PROGRESS, 0, 40, SMTO_NORMAL,
                                                kDeadlineMs, &answer) != 0;
    view.progressResult = static_cast<LRESULT>(answer);
    if (view.progressServed) {
        DWORD_PTR position = 0;
        ::SendMessageTimeoutW(::GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0, SMTO_NORMAL,
                              kDeadlineMs, &position);
        view.positionDuringWait = static_cast<LRESULT>(position);
        bool served = true;
        for (int id : {IDC_START_BUTTON, IDC_HELP_BUTTON, IDC_EXIT_BUTTON, IDC_STOP_BUTTON}) {
            served =
                served && ::SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                                reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)),
                                                SMTO_NORMAL, kDeadlineMs, &answer) != 0;
        }
        view.commandsServed = served;
    }
    // Last of all, as the run's own end (and also if the dialog never served us, so that a
    // fault fails the test instead of hanging it).
    TheAppState().busy = 0;
}

TEST_F(MainDialogControllerTest, StopWaitsForTheWorkerServingItsSendsThenShowsTheCancellation) {
    int starts = 0;
    WorkerView view;
    std::unique_ptr<LabelTextRecorder> recorder;
    int stepsRun = 0;
    const INT_PTR result =
        Run({
                [&](MainDialogProbe& dialog) {
                    dialog.Command(IDC_START_BUTTON);
                    TheAppState().busy = 1; // the worker has begun
                    dialog.Send(WM_FLASH_SIZE, 0, 100);
                    dialog.Send(WM_FLASH_PROGRESS, 0, 10);
                },
                [&](MainDialogProbe& dialog) {
                    recorder = std::make_unique<LabelTextRecorder>();
                    ASSERT_TRUE(recorder->Hooked());
                    // The worker's sends can only be served once the dialog's thread waits for
                    // messages again: inside the stop command.
                    std::thread worker(StoppedWorker, dialog.Hwnd(), ::GetCurrentThreadId(), false,
                                       std::ref(view));
                    dialog.Command(IDC_STOP_BUTTON);
                    worker.join();
                    const std::vector<LabelText> texts = recorder->Texts();
                    recorder.reset();

                    EXPECT_TRUE(view.progressServed)
                        << "the notification was not served in the wait";
                    EXPECT_EQ(view.progressResult, 1);
                    EXPECT_EQ(view.positionDuringWait, 40);
                    EXPECT_TRUE(view.commandsServed);
                    EXPECT_EQ(starts, 1) << "a start while the run was still busy";

                    const AppState& state = TheAppState();
                    EXPECT_EQ(state.runAllowed.load(), 0);
                    EXPECT_EQ(state.idle, 1);
                    EXPECT_EQ(state.helpShown, 0);
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОТМЕНА");
                    EXPECT_EQ(dialog.TextOf(IDC_MESSAGE), kCancelledText);
                    EXPECT_FALSE(dialog.Shown(IDC_PROGRESS));
                    EXPECT_EQ(::GetFocus(), Item(dialog, IDC_START_BUTTON));
                    ExpectIdleLook(dialog, "after the stop");

                    // The screen changed only once the worker was gone, and to the cancellation
                    // only: the old title wiped away, "ОТМЕНА" grown, the message set.
                    bool cancellationGrown = false;
                    for (const LabelText& text : texts) {
                        EXPECT_EQ(text.busy, 0) << "\"" << text.text << "\" shown while busy";
                        if (text.controlId == IDC_TITLE) {
                            EXPECT_TRUE(IsSuffixOf(text.text, "ОБНОВЛЕНИЕ") ||
                                        IsSuffixOf(text.text, "ОТМЕНА"))
                                << "title \"" << text.text << "\"";
                            cancellationGrown = cancellationGrown || text.text == "ОТМЕНА";
                        } else if (text.controlId == IDC_MESSAGE) {
                            EXPECT_EQ(text.text, kCancelledText);
                        }
                    }
                    EXPECT_TRUE(cancellationGrown);
                    MainDialogPicture::OnScreen(dialog.Hwnd(), true).Save(L"maindialog-cancelled");
                },
                [](MainDialogProbe& dialog) {
                    // After the run has ended, and in the idle look, stop does nothing.
                    LabelTextRecorder late;
                    dialog.Command(IDC_STOP_BUTTON);
                    EXPECT_TRUE(late.Texts().empty());
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОТМЕНА");
                },
            },
            CountStarts(starts), &stepsRun);
    EXPECT_EQ(stepsRun, 3);
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

TEST_F(MainDialogControllerTest, AQuitRequestTakenWhileStopWaitsIsHandedOn) {
    int starts = 0;
    WorkerView view;
    bool quitHandedOn = false;
    WPARAM quitCode = 0;
    const INT_PTR result =
        Run({[&](MainDialogProbe& dialog) {
                dialog.Command(IDC_START_BUTTON);
                TheAppState().busy = 1;
                std::thread worker(StoppedWorker, dialog.Hwnd(), ::GetCurrentThreadId(), true,
                                   std::ref(view));
                dialog.Command(IDC_STOP_BUTTON);
                worker.join();
                MSG quit{};
                quitHandedOn = ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
                quitCode = quit.wParam;
                EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОТМЕНА");
            }},
            CountStarts(starts));
    ASSERT_TRUE(view.quitPosted);
    EXPECT_TRUE(view.progressServed) << "the stop did not wait";
    EXPECT_TRUE(quitHandedOn) << "the quit request was swallowed by the wait";
    EXPECT_EQ(quitCode, 0x51u);
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

TEST_F(MainDialogControllerTest, StopDoesNothingUnlessARunIsBusy) {
    int starts = 0;
    const INT_PTR result =
        Run({
                [](MainDialogProbe& dialog) {
                    const std::string title = dialog.TextOf(IDC_TITLE);
                    LabelTextRecorder recorder;
                    dialog.Command(IDC_STOP_BUTTON);
                    EXPECT_TRUE(recorder.Texts().empty()) << "stop in the idle look";
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), title);
                    EXPECT_EQ(TheAppState().idle, 1);
                },
                [](MainDialogProbe& dialog) {
                    // Started, but the worker has not begun yet (busy 0).
                    dialog.Command(IDC_START_BUTTON);
                    LabelTextRecorder recorder;
                    dialog.Command(IDC_STOP_BUTTON);
                    EXPECT_TRUE(recorder.Texts().empty()) << "stop before the worker began";
                    EXPECT_EQ(TheAppState().idle, 0);
                    EXPECT_EQ(TheAppState().runAllowed.load(), 1);
                },
                [](MainDialogProbe& dialog) {
                    dialog.Send(WM_FLASH_DONE, 0, 0);
                    LabelTextRecorder recorder;
                    dialog.Command(IDC_STOP_BUTTON);
                    EXPECT_TRUE(recorder.Texts().empty()) << "stop after the run ended";
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ВЫПОЛНЕНО");
                },
            },
            CountStarts(starts));
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

TEST_F(MainDialogControllerTest, HelpShowsTheContactsAndASecondHelpRestoresTheScreen) {
    int starts = 0;
    std::string titleBefore;
    std::string messageBefore;
    const INT_PTR result =
        Run({
                [&](MainDialogProbe& dialog) {
                    titleBefore = dialog.TextOf(IDC_TITLE);
                    messageBefore = dialog.TextOf(IDC_MESSAGE);
                    dialog.Command(IDC_HELP_BUTTON);
                    const AppState& state = TheAppState();
                    EXPECT_EQ(state.helpShown, 1);
                    EXPECT_EQ(state.idle, 1);
                    EXPECT_EQ(state.savedTitle, titleBefore);
                    EXPECT_EQ(state.savedMessage, messageBefore);
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ТОРВИК");
                    // The web site's address, the one the contacts label shows.
                    EXPECT_EQ(dialog.TextOf(IDC_MESSAGE), kWebSite);
                    EXPECT_EQ(dialog.TextOf(IDC_WEB_SITE), kWebSite);
                    for (int id : kContacts) {
                        EXPECT_TRUE(dialog.Shown(id)) << id;
                    }
                    for (int id : kPortAndPackage) {
                        EXPECT_FALSE(dialog.Shown(id)) << id;
                    }
                    EXPECT_FALSE(dialog.Shown(IDC_MESSAGE));
                    ExpectIdleLook(dialog, "contacts");
                    MainDialogPicture::OnScreen(dialog.Hwnd(), true).Save(L"maindialog-help");
                },
                [&](MainDialogProbe& dialog) {
                    dialog.Command(IDC_HELP_BUTTON);
                    EXPECT_EQ(TheAppState().helpShown, 0);
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), titleBefore);
                    EXPECT_EQ(dialog.TextOf(IDC_MESSAGE), messageBefore);
                    EXPECT_TRUE(dialog.Shown(IDC_MESSAGE));
                    for (int id : kContacts) {
                        EXPECT_FALSE(dialog.Shown(id)) << id;
                    }
                    for (int id : kPortAndPackage) {
                        EXPECT_TRUE(dialog.Shown(id)) << id;
                    }
                },
                [&](MainDialogProbe& dialog) {
                    // After an outcome: help and back restore the outcome exactly.
                    dialog.Command(IDC_START_BUTTON);
                    dialog.Send(WM_FLASH_NO_ANSWER, 0, 0);
                    dialog.Command(IDC_HELP_BUTTON);
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ТОРВИК");
                    dialog.Command(IDC_HELP_BUTTON);
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОШИБКА");
                    EXPECT_EQ(dialog.TextOf(IDC_MESSAGE),
                              "Нет ответа от бортового компьютера. Проверьте все подключения.");
                },
                [&](MainDialogProbe& dialog) {
                    // From the contacts, start goes straight to the running look.
                    dialog.Command(IDC_HELP_BUTTON);
                    ASSERT_EQ(TheAppState().helpShown, 1);
                    dialog.Command(IDC_START_BUTTON);
                    EXPECT_EQ(starts, 2);
                    EXPECT_EQ(TheAppState().helpShown, 0);
                    EXPECT_EQ(TheAppState().idle, 0);
                    EXPECT_EQ(dialog.TextOf(IDC_TITLE), "ОБНОВЛЕНИЕ");
                    EXPECT_TRUE(dialog.Shown(IDC_PROGRESS));
                    for (int id : kContacts) {
                        EXPECT_FALSE(dialog.Shown(id)) << id;
                    }
                    dialog.Send(WM_FLASH_DONE, 0, 0);
                },
            },
            CountStarts(starts));
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

TEST_F(MainDialogControllerTest, TheExitButtonEndsTheDialogWhenIdle) {
    int stepsRun = 0;
    const INT_PTR result =
        Run({[](MainDialogProbe& dialog) { ClickCentre(Item(dialog, IDC_EXIT_BUTTON)); },
             [](MainDialogProbe&) {}},
            {}, &stepsRun);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(stepsRun, 1);
}

void SetPorts(const StringList& names) {
    AppState& state = TheAppState();
    state.portNames = std::make_unique<StringList>(names);
    state.portCount = static_cast<std::int32_t>(names.size());
    state.portIndex = 0;
    state.portName = names.empty() ? std::string("\x48\x45\x54") : names.front();
}

TEST_F(MainDialogControllerTest, PortLabelClicksCycleThroughThePorts) {
    int starts = 0;
    const INT_PTR result =
        Run({
                [](MainDialogProbe& dialog) {
                    SetPorts({"COM3", "COM5", "COM7"});
                    const HWND label = Item(dialog, IDC_PORT_NAME);
                    std::vector<std::string> shown;
                    for (int click = 0; click < 4; ++click) {
                        ClickCentre(label);
                        shown.push_back(dialog.TextOf(IDC_PORT_NAME));
                        EXPECT_EQ(TheAppState().portName, shown.back());
                    }
                    EXPECT_EQ(shown, (std::vector<std::string>{"COM5", "COM7", "COM3", "COM5"}));
                    EXPECT_EQ(TheAppState().portIndex, 1);
                },
                [](MainDialogProbe& dialog) {
                    SetPorts({"COM4"});
                    dialog.Command(IDC_PORT_NAME);
                    dialog.Command(IDC_PORT_NAME);
                    EXPECT_EQ(dialog.TextOf(IDC_PORT_NAME), "COM4");
                    EXPECT_EQ(TheAppState().portName, "COM4");
                    EXPECT_EQ(TheAppState().portIndex, 0);
                },
                [](MainDialogProbe& dialog) {
                    SetPorts({});
                    const std::string shown = dialog.TextOf(IDC_PORT_NAME);
                    dialog.Command(IDC_PORT_NAME);
                    EXPECT_EQ(dialog.TextOf(IDC_PORT_NAME), shown);
                    EXPECT_EQ(TheAppState().portName, "\x48\x45\x54");
                    EXPECT_EQ(TheAppState().portIndex, 0);
                },
                [](MainDialogProbe& dialog) {
                    // A click that reaches the dialog during a run changes nothing.
                    SetPorts({"COM3", "COM5"});
                    dialog.Command(IDC_START_BUTTON);
                    dialog.Command(IDC_PORT_NAME);
                    EXPECT_EQ(TheAppState().portName, "COM3");
                    EXPECT_EQ(TheAppState().portIndex, 0);
                    dialog.Send(WM_FLASH_DONE, 0, 0);
                },
            },
            CountStarts(starts));
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

// What a message box showed, read through the window system, then closed with its OK button.
struct Box {
    bool seen = false;
    std::wstring text;
};

ModalDriver::Step ReadAndPressOk(Box& box) {
    return [&box](HWND dialog) {
        box.seen = true;
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            wchar_t kind[32] = {};
            ::GetClassNameW(child, kind, 32);
            const int length = ::GetWindowTextLengthW(child);
            if (::lstrcmpiW(kind, L"Static") == 0 && length > 0) {
                std::wstring text(static_cast<size_t>(length) + 1, L'\0');
                text.resize(static_cast<size_t>(::GetWindowTextW(child, text.data(), length + 1)));
                box.text = text;
            }
        }
        const HWND ok = ::GetDlgItem(dialog, IDOK);
        if (ok != nullptr) {
            ClickCentre(ok);
        } else {
            ::EndDialog(dialog, IDCANCEL);
        }
    };
}

TEST_F(MainDialogControllerTest, PackageLabelClickRescansTheUpdatesFolder) {
    const std::wstring folder = TempFolder();
    const std::wstring updates = folder + L"updates\\";
    ::CreateDirectoryW(updates.c_str(), nullptr);
    int starts = 0;
    const INT_PTR result =
        Run({
                [&](MainDialogProbe& dialog) {
                    AppState& state = TheAppState();
                    state.exeDir = Narrow(folder);
                    ASSERT_EQ(dialog.TextOf(IDC_PACKAGE_NAME), "one.enc");
                    WritePackage(updates + L"Новая.enc", "0001 00\n");
                    ModalDriver driver([](HWND dialog) { ::EndDialog(dialog, IDCANCEL); });
                    ClickCentre(Item(dialog, IDC_PACKAGE_NAME));
                    EXPECT_FALSE(driver.SawDialog()) << "one package is taken without asking";
                    EXPECT_EQ(state.firmwareName, "Новая.enc");
                    EXPECT_EQ(dialog.TextOf(IDC_PACKAGE_NAME), "Новая.enc");
                    EXPECT_EQ(state.firmwareCount, 1);
                    ASSERT_EQ(state.firmwarePaths->size(), 1u) << "the old scan is emptied first";
                    EXPECT_TRUE(IsSuffixOf("\\Новая.enc", state.firmwarePaths->front()))
                        << state.firmwarePaths->front();
                    EXPECT_EQ(state.idle, 1);
                },
                [&](MainDialogProbe& dialog) {
                    // Several: the selection dialog; a cancelled choice keeps the package.
                    WritePackage(updates + L"another.enc", "0001 00\n");
                    ModalDriver driver([](HWND dialog) { ::EndDialog(dialog, IDCANCEL); });
                    dialog.Command(IDC_PACKAGE_NAME);
                    EXPECT_TRUE(driver.SawDialog());
                    EXPECT_EQ(TheAppState().firmwareCount, 2);
                    EXPECT_EQ(TheAppState().firmwareName, "Новая.enc");
                    EXPECT_EQ(dialog.TextOf(IDC_PACKAGE_NAME), "Новая.enc");
                },
                [&](MainDialogProbe& dialog) {
                    // As the program's main window the dialog owns the selection and takes no
                    // input meanwhile. Should a run begin all the same, the choice made then
                    // changes neither the package being written nor the label.
                    struct MainWindowApplication : Application {
                        bool InitInstance() override { return false; }
                    } application;
                    application.SetMainWindow(&dialog);
                    HWND owner = nullptr;
                    bool mainEnabled = true;
                    ModalDriver driver([&](HWND selection) {
                        owner = ::GetWindow(selection, GW_OWNER);
                        mainEnabled = ::IsWindowEnabled(dialog.Hwnd()) != FALSE;
                        ::SendMessageW(dialog.Hwnd(), WM_COMMAND,
                                       MAKEWPARAM(IDC_START_BUTTON, BN_CLICKED), 0);
                        ::SendDlgItemMessageW(selection, IDC_FIRMWARE_LIST, LB_SETCURSEL, 0, 0);
                        ::SendMessageW(selection, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    });
                    dialog.Command(IDC_PACKAGE_NAME);
                    ASSERT_TRUE(driver.SawDialog());
                    EXPECT_EQ(owner, dialog.Hwnd());
                    EXPECT_FALSE(mainEnabled);
                    EXPECT_TRUE(::IsWindowEnabled(dialog.Hwnd()));
                    EXPECT_EQ(starts, 1);
                    EXPECT_EQ(TheAppState().firmwareName, "Новая.enc");
                    EXPECT_EQ(dialog.TextOf(IDC_PACKAGE_NAME), "Новая.enc");
                    EXPECT_EQ(dialog.Send(WM_FLASH_DONE, 0, 0), 1);
                },
                [&](MainDialogProbe& dialog) {
                    // Emptied: the error box, then the previous choice stays.
                    ::DeleteFileW((updates + L"Новая.enc").c_str());
                    ::DeleteFileW((updates + L"another.enc").c_str());
                    Box box;
                    {
                        ModalDriver driver(ReadAndPressOk(box));
                        dialog.Command(IDC_PACKAGE_NAME);
                        EXPECT_FALSE(driver.WatchdogExpired());
                    }
                    ASSERT_TRUE(box.seen) << "no message box";
                    EXPECT_NE(box.text.find(folder + L"updates\\"), std::wstring::npos)
                        << Narrow(box.text);
                    const AppState& state = TheAppState();
                    EXPECT_EQ(state.firmwareCount, 0);
                    EXPECT_EQ(state.firmwareName, "Новая.enc");
                    EXPECT_EQ(dialog.TextOf(IDC_PACKAGE_NAME), "Новая.enc");
                    EXPECT_EQ(state.idle, 1);
                    EXPECT_TRUE(::IsWindow(dialog.Hwnd()));
                },
                [&](MainDialogProbe& dialog) {
                    // During a run the package stays, whatever reaches the dialog.
                    WritePackage(updates + L"later.enc", "0001 00\n");
                    dialog.Command(IDC_START_BUTTON);
                    ModalDriver driver([](HWND dialog) { ::EndDialog(dialog, IDCANCEL); });
                    dialog.Command(IDC_PACKAGE_NAME);
                    EXPECT_FALSE(driver.SawDialog());
                    EXPECT_EQ(TheAppState().firmwareName, "Новая.enc");
                    dialog.Send(WM_FLASH_DONE, 0, 0);
                },
            },
            CountStarts(starts));
    EXPECT_EQ(result, MainDialogProbe::kStepsDone);
}

} // namespace
} // namespace tamsivo::test
