#include "DriverScript.h"

#include "ControlActions.h"
#include "HexText.h"
#include "PortSetting.h"
#include "WindowPicture.h"

#include "text/Cp1251.h"

#include <algorithm>
#include <map>

namespace tamsivo::test {
namespace {

// The program's name without extension names its settings key.
std::string ProgramName(const std::wstring& image) {
    std::wstring name = image.substr(0, image.find_last_of(L'.'));
    return Utf16ToCp1251(
        std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size()));
}

bool ParseInt(const std::string& text, long* value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    *value = std::strtol(text.c_str(), &end, 10);
    return end != nullptr && *end == '\0';
}

std::string Flag(bool value) {
    return value ? "1" : "0";
}

std::string RectText(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

// The progress bar's colours in the program's skin: a dark grey bar on light blue.
constexpr COLORREF kBarFill = RGB(64, 64, 64);
constexpr COLORREF kBarBackground = RGB(10, 180, 250);

long long ClockMs() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER now{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return now.QuadPart * 1000 / frequency.QuadPart;
}

std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

bool IsClass(HWND window, const wchar_t* name) {
    wchar_t buffer[64] = {};
    ::GetClassNameW(window, buffer, 64);
    return ::lstrcmpiW(buffer, name) == 0;
}

// "a,b,c", or "none" for no items.
std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        if (!text.empty()) {
            text += ',';
        }
        text += item;
    }
    return text.empty() ? "none" : text;
}

// How many arguments each command takes.
const std::map<std::string, std::size_t>& Arities() {
    static const std::map<std::string, std::size_t> arities = {
        {"forget-settings", 0},
        {"write-port", 1},
        {"read-port", 1},
        {"wait", 2},
        {"wait-gone", 2},
        {"wait-text", 4},
        {"wait-state", 4},
        {"text", 3},
        {"control", 3},
        {"focus", 2},
        {"pos", 3},
        {"wait-pos", 4},
        {"bar-fill", 3},
        {"clock", 1},
        {"list", 3},
        {"message", 2},
        {"click", 2},
        {"key", 2},
        {"pick", 3},
        {"double-pick", 3},
        {"drag", 5},
        {"rect", 2},
        {"shot", 2},
        {"wait-exit", 2},
        {"windows", 1},
    };
    return arities;
}

bool VirtualKey(const std::string& name, WORD* key) {
    static const std::map<std::string, WORD> keys = {{"enter", VK_RETURN},
                                                     {"escape", VK_ESCAPE},
                                                     {"up", VK_UP},
                                                     {"down", VK_DOWN},
                                                     {"tab", VK_TAB}};
    const auto found = keys.find(name);
    if (found == keys.end()) {
        return false;
    }
    *key = found->second;
    return true;
}

} // namespace

DriverScript::DriverScript(std::wstring programImage, std::wstring outputDir, std::FILE* out)
    : program_(programImage), outputDir_(std::move(outputDir)), out_(out) {
    settingsName_ = ProgramName(programImage);
}

void DriverScript::Report(const std::string& label, const std::string& value,
                          const std::string& comment) {
    std::string line = label + " " + value;
    if (!comment.empty()) {
        line += "  # " + comment;
    }
    line += "\n";
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
}

void DriverScript::ReportText(const std::string& label, const std::string& cp1251) {
    std::string readable = Cp1251ToUtf8(cp1251);
    std::replace(readable.begin(), readable.end(), '\n', '|');
    Report(label, ToHex(cp1251), "\"" + readable + "\"");
}

bool DriverScript::Fail(const std::string& reason) {
    error_ = reason;
    return false;
}

HWND DriverScript::Window(const std::string& kindName) {
    WindowKind kind;
    if (!ParseWindowKind(kindName, &kind)) {
        error_ = "unknown window kind " + kindName;
        return nullptr;
    }
    const HWND window = program_.Find(kind);
    if (window == nullptr) {
        error_ = "no " + kindName + " window is shown";
    }
    return window;
}

HWND DriverScript::Control(const std::string& kindName, const std::string& id) {
    long number = 0;
    if (!ParseInt(id, &number)) {
        error_ = "bad control identifier " + id;
        return nullptr;
    }
    const HWND window = Window(kindName);
    if (window == nullptr || number == 0) {
        return window;
    }
    const HWND control = ::GetDlgItem(window, static_cast<int>(number));
    if (control == nullptr) {
        error_ = "the " + kindName + " window has no control " + id;
    }
    return control;
}

int DriverScript::Run(const std::vector<std::string>& tokens) {
    std::size_t at = 0;
    while (at < tokens.size()) {
        const std::string& command = tokens[at];
        const auto arity = Arities().find(command);
        if (arity == Arities().end()) {
            Report("error", command + ": unknown command");
            return 2;
        }
        if (at + 1 + arity->second > tokens.size()) {
            Report("error", command + ": needs " + std::to_string(arity->second) + " arguments");
            return 2;
        }
        const std::vector<std::string> args(tokens.begin() + static_cast<long>(at) + 1,
                                            tokens.begin() + static_cast<long>(at) + 1 +
                                                static_cast<long>(arity->second));
        at += 1 + arity->second;
        error_.clear();
        if (!RunOne(command, args)) {
            std::string line = command;
            for (const std::string& arg : args) {
                line += " " + arg;
            }
            Report("error", line + ": " + error_);
            return 1;
        }
    }
    return 0;
}

bool DriverScript::RunOne(const std::string& command, const std::vector<std::string>& args) {
    const PortSetting setting(settingsName_);
    if (command == "forget-settings") {
        return setting.Forget(&error_);
    }
    if (command == "write-port") {
        std::string value;
        if (!FromHex(args[0], &value)) {
            return Fail("bad hexadecimal text " + args[0]);
        }
        return setting.Write(value, &error_);
    }
    if (command == "read-port") {
        std::string value;
        bool present = false;
        if (!setting.Read(&value, &present, &error_)) {
            return false;
        }
        if (present) {
            ReportText(args[0], value);
        } else {
            Report(args[0], "absent");
        }
        return true;
    }
    if (command == "wait" || command == "wait-gone") {
        WindowKind kind;
        long timeout = 0;
        if (!ParseWindowKind(args[0], &kind) || !ParseInt(args[1], &timeout)) {
            return Fail("bad window kind or deadline");
        }
        if (command == "wait") {
            return program_.WaitFor(kind, static_cast<DWORD>(timeout), &error_) != nullptr;
        }
        return program_.WaitGone(kind, static_cast<DWORD>(timeout), &error_);
    }
    if (command == "wait-text") {
        std::string expected;
        long timeout = 0;
        if (!FromHex(args[2], &expected) || !ParseInt(args[3], &timeout)) {
            return Fail("bad text or deadline");
        }
        std::string text;
        const bool shown = program_.PollUntil(static_cast<DWORD>(timeout), [&] {
            const HWND control = Control(args[0], args[1]);
            return control != nullptr && ControlActions::Text(control, &text, &error_) &&
                   text == expected;
        });
        if (!shown) {
            return Fail("the text is \"" + Cp1251ToUtf8(text) + "\" after " + args[3] + " ms");
        }
        return true;
    }
    if (command == "wait-state") {
        long timeout = 0;
        const std::string& state = args[2];
        if (!ParseInt(args[3], &timeout) || (state != "enabled" && state != "disabled" &&
                                             state != "visible" && state != "hidden")) {
            return Fail("bad state or deadline");
        }
        const bool reached = program_.PollUntil(static_cast<DWORD>(timeout), [&] {
            const HWND control = Control(args[0], args[1]);
            if (control == nullptr) {
                return false;
            }
            if (state == "enabled" || state == "disabled") {
                return (::IsWindowEnabled(control) != FALSE) == (state == "enabled");
            }
            return (::IsWindowVisible(control) != FALSE) == (state == "visible");
        });
        return reached || Fail("the control is not " + state + " after " + args[3] + " ms");
    }
    if (command == "text" || command == "control") {
        const HWND control = Control(args[0], args[1]);
        std::string text;
        if (control == nullptr || !ControlActions::Text(control, &text, &error_)) {
            return false;
        }
        if (command == "text") {
            ReportText(args[2], text);
        } else {
            ReportText(args[2] + ".text", text);
            Report(args[2] + ".enabled", Flag(::IsWindowEnabled(control) != FALSE));
            Report(args[2] + ".visible", Flag(::IsWindowVisible(control) != FALSE));
        }
        return true;
    }
    if (command == "focus") {
        const HWND window = Window(args[0]);
        if (window == nullptr) {
            return false;
        }
        const HWND focus = ControlActions::Focus(window);
        if (focus == nullptr || !::IsChild(window, focus)) {
            Report(args[1], "none");
        } else {
            Report(args[1], std::to_string(::GetDlgCtrlID(focus)));
        }
        return true;
    }
    if (command == "pos") {
        const HWND bar = Control(args[0], args[1]);
        int position = 0;
        int upper = 0;
        if (bar == nullptr || !ControlActions::Progress(bar, &position, &upper, &error_)) {
            return false;
        }
        Report(args[2] + ".pos", std::to_string(position));
        Report(args[2] + ".max", std::to_string(upper));
        return true;
    }
    if (command == "wait-pos") {
        long least = 0;
        long timeout = 0;
        if (!ParseInt(args[2], &least) || !ParseInt(args[3], &timeout)) {
            return Fail("bad position or deadline");
        }
        int position = 0;
        int upper = 0;
        const bool reached = program_.PollUntil(static_cast<DWORD>(timeout), [&] {
            const HWND bar = Control(args[0], args[1]);
            return bar != nullptr && ControlActions::Progress(bar, &position, &upper, &error_) &&
                   position >= least;
        });
        return reached || Fail("the position is " + std::to_string(position) + " of " +
                               std::to_string(upper) + " after " + args[3] + " ms");
    }
    if (command == "bar-fill") {
        const HWND bar = Control(args[0], args[1]);
        WindowPicture picture;
        if (bar == nullptr || !picture.Capture(bar, &error_)) {
            return false;
        }
        Report(args[2], std::to_string(picture.FilledPermille(kBarFill, kBarBackground)));
        return true;
    }
    if (command == "clock") {
        Report(args[0], std::to_string(ClockMs()));
        return true;
    }
    if (command == "list") {
        const HWND list = Control(args[0], args[1]);
        std::vector<std::string> items;
        int selected = -1;
        if (list == nullptr || !ControlActions::ListItems(list, &items, &selected, &error_)) {
            return false;
        }
        Report(args[2] + ".count", std::to_string(items.size()));
        for (std::size_t i = 0; i < items.size(); ++i) {
            ReportText(args[2] + "." + std::to_string(i), items[i]);
        }
        Report(args[2] + ".selected", std::to_string(selected));
        return true;
    }
    if (command == "message") {
        const HWND window = Window(args[0]);
        std::string caption;
        if (window == nullptr || !ControlActions::Text(window, &caption, &error_)) {
            return false;
        }
        std::string text;
        bool icon = false;
        std::vector<int> buttonIds;
        for (const HWND child : Children(window)) {
            if (IsClass(child, L"Button") && ::IsWindowVisible(child)) {
                buttonIds.push_back(::GetDlgCtrlID(child));
            } else if (IsClass(child, L"Static")) {
                if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                    icon = icon || ::SendMessageW(child, STM_GETICON, 0, 0) != 0;
                } else if (text.empty() && !ControlActions::Text(child, &text, &error_)) {
                    return false;
                }
            }
        }
        std::sort(buttonIds.begin(), buttonIds.end());
        std::vector<std::string> buttons;
        for (const int id : buttonIds) {
            buttons.push_back(std::to_string(id));
        }
        ReportText(args[1] + ".caption", caption);
        ReportText(args[1] + ".text", text);
        Report(args[1] + ".buttons", Joined(buttons));
        Report(args[1] + ".icon", Flag(icon));
        return true;
    }
    if (command == "click") {
        const HWND control = Control(args[0], args[1]);
        return control != nullptr && ControlActions::Click(control, &error_);
    }
    if (command == "key") {
        WORD key = 0;
        if (!VirtualKey(args[1], &key)) {
            return Fail("unknown key " + args[1]);
        }
        const HWND window = Window(args[0]);
        return window != nullptr && ControlActions::PressKey(window, key, &error_);
    }
    if (command == "pick" || command == "double-pick") {
        long index = 0;
        const HWND list = Control(args[0], args[1]);
        if (list == nullptr) {
            return false;
        }
        if (!ParseInt(args[2], &index)) {
            return Fail("bad item index " + args[2]);
        }
        return ControlActions::ClickListItem(list, static_cast<int>(index),
                                             command == "double-pick", &error_);
    }
    if (command == "drag") {
        long dx = 0;
        long dy = 0;
        if (!ParseInt(args[2], &dx) || !ParseInt(args[3], &dy)) {
            return Fail("bad distance");
        }
        const HWND window = Window(args[0]);
        const HWND control = Control(args[0], args[1]);
        if (window == nullptr || control == nullptr) {
            return false;
        }
        POINT start{};
        if (control == window) {
            if (!ControlActions::FreeSpot(window, &start, &error_)) {
                return false;
            }
        } else {
            start = ControlActions::Centre(control);
        }
        // A press on a window that is not yet the active one only activates it first; the
        // program's window has just been shown, and Wine activates it a moment later.
        const bool active = program_.PollUntil(ControlActions::kSendTimeoutMs, [&] {
            return ::GetForegroundWindow() == window;
        });
        Report(args[4] + ".active", Flag(active));
        RECT before{};
        ::GetWindowRect(window, &before);
        if (!ControlActions::DragMouse(window, start, static_cast<int>(dx), static_cast<int>(dy),
                                       &error_)) {
            return false;
        }
        RECT after{};
        ::GetWindowRect(window, &after);
        Report(args[4] + ".from", std::to_string(start.x) + "," + std::to_string(start.y));
        Report(args[4] + ".moved", std::to_string(after.left - before.left) + "," +
                                       std::to_string(after.top - before.top));
        return true;
    }
    if (command == "rect") {
        const HWND window = Window(args[0]);
        RECT rect{};
        if (window == nullptr || !::GetWindowRect(window, &rect)) {
            return window != nullptr && Fail("GetWindowRect failed");
        }
        Report(args[1], RectText(rect));
        return true;
    }
    if (command == "shot") {
        const HWND window = Window(args[0]);
        if (window == nullptr) {
            return false;
        }
        if (outputDir_.empty()) {
            return Fail("no --out folder was given");
        }
        const std::u16string name = Cp1251ToUtf16(args[1]);
        const std::wstring path =
            outputDir_ + L"\\" + std::wstring(name.begin(), name.end()) + L".png";
        WindowPicture picture;
        if (!picture.Capture(window, &error_) || !picture.SavePng(path, &error_)) {
            return false;
        }
        Report("shot." + args[1],
               std::to_string(picture.Width()) + "x" + std::to_string(picture.Height()));
        return true;
    }
    if (command == "wait-exit") {
        long timeout = 0;
        if (!ParseInt(args[0], &timeout)) {
            return Fail("bad deadline " + args[0]);
        }
        DWORD code = 0;
        if (!program_.WaitForExit(static_cast<DWORD>(timeout), &code, &error_)) {
            return false;
        }
        Report(args[1], std::to_string(code));
        return true;
    }
    if (command == "windows") {
        Report(args[0], Joined(program_.VisibleWindows()));
        return true;
    }
    return Fail("unknown command");
}

} // namespace tamsivo::test
