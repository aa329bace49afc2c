#include "ProgramWindows.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>

namespace tamsivo::test {
namespace {

constexpr DWORD kPollIntervalMs = 20;

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    const int length = ::GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool HasChild(HWND window, int id, const wchar_t* className) {
    const HWND child = ::GetDlgItem(window, id);
    return child != nullptr && Lower(ClassName(child)) == Lower(className);
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        if (!text.empty()) {
            text += ", ";
        }
        text += name;
    }
    return text.empty() ? "none" : text;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) {
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
}

} // namespace

bool ParseWindowKind(const std::string& name, WindowKind* kind) {
    if (name == "main") {
        *kind = WindowKind::Main;
    } else if (name == "select") {
        *kind = WindowKind::Select;
    } else if (name == "message-box") {
        *kind = WindowKind::MessageBox;
    } else {
        return false;
    }
    return true;
}

ProgramWindows::ProgramWindows(std::wstring imageName) : imageName_(Lower(std::move(imageName))) {}

ProgramWindows::~ProgramWindows() {
    for (const Process& process : processes_) {
        ::CloseHandle(process.handle);
    }
}

void ProgramWindows::RefreshProcesses() {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        if (Lower(entry.szExeFile) != imageName_) {
            continue;
        }
        const DWORD id = entry.th32ProcessID;
        const bool known = std::any_of(processes_.begin(), processes_.end(),
                                       [id](const Process& p) { return p.id == id; });
        if (known) {
            continue;
        }
        const HANDLE handle =
            ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
        if (handle != nullptr) {
            processes_.push_back(Process{id, handle});
        }
    }
    ::CloseHandle(snapshot);
}

bool ProgramWindows::IsOurs(HWND window) const {
    DWORD id = 0;
    ::GetWindowThreadProcessId(window, &id);
    return std::any_of(processes_.begin(), processes_.end(),
                       [id](const Process& p) { return p.id == id; });
}

bool ProgramWindows::IsKind(HWND window, WindowKind kind) {
    if (ClassName(window) != L"#32770") {
        return false;
    }
    const bool main = HasChild(window, 1004, L"Button") && HasChild(window, 1021, L"Button");
    const bool select = HasChild(window, 1015, L"ListBox");
    switch (kind) {
    case WindowKind::Main:
        return main;
    case WindowKind::Select:
        return select;
    case WindowKind::MessageBox:
        return !main && !select && HasChild(window, IDOK, L"Button");
    }
    return false;
}

HWND ProgramWindows::Find(WindowKind kind) {
    RefreshProcesses();
    struct Search {
        ProgramWindows* self;
        WindowKind kind;
        HWND found;
    } search{this, kind, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (::IsWindowVisible(window) && s->self->IsOurs(window) && IsKind(window, s->kind)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool ProgramWindows::PollUntil(DWORD timeoutMs, const std::function<bool()>& condition) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        const DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(kPollIntervalMs, deadline - now));
        std::vector<HANDLE> handles;
        for (const Process& process : processes_) {
            if (::WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT) {
                handles.push_back(process.handle);
            }
        }
        if (handles.empty()) {
            ::Sleep(wait);
        } else {
            ::WaitForMultipleObjects(
                static_cast<DWORD>(std::min<std::size_t>(handles.size(), MAXIMUM_WAIT_OBJECTS)),
                handles.data(), FALSE, wait);
        }
    }
}

HWND ProgramWindows::WaitFor(WindowKind kind, DWORD timeoutMs, std::string* error) {
    HWND found = nullptr;
    if (PollUntil(timeoutMs, [&] { return (found = Find(kind)) != nullptr; })) {
        return found;
    }
    *error = "no such window within " + std::to_string(timeoutMs) + " ms (" +
             std::to_string(processes_.size()) +
             " program processes seen; visible: " + Joined(VisibleWindows()) + ")";
    return nullptr;
}

bool ProgramWindows::WaitGone(WindowKind kind, DWORD timeoutMs, std::string* error) {
    if (PollUntil(timeoutMs, [&] { return Find(kind) == nullptr; })) {
        return true;
    }
    *error = "the window is still shown after " + std::to_string(timeoutMs) + " ms";
    return false;
}

std::vector<std::string> ProgramWindows::VisibleWindows() {
    RefreshProcesses();
    std::vector<HWND> windows;
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    std::vector<std::string> names;
    for (const HWND window : windows) {
        if (!::IsWindowVisible(window) || !IsOurs(window)) {
            continue;
        }
        if (IsKind(window, WindowKind::Main)) {
            names.push_back("main");
        } else if (IsKind(window, WindowKind::Select)) {
            names.push_back("select");
        } else if (IsKind(window, WindowKind::MessageBox)) {
            names.push_back("message-box");
        } else {
            names.push_back(Narrow(ClassName(window)));
        }
    }
    return names;
}

bool ProgramWindows::WaitForExit(DWORD timeoutMs, DWORD* exitCode, std::string* error) {
    RefreshProcesses();
    if (processes_.empty()) {
        *error = "no process of the program was ever seen";
        return false;
    }
    const bool ended = PollUntil(timeoutMs, [&] {
        RefreshProcesses();
        return std::all_of(processes_.begin(), processes_.end(), [](const Process& p) {
            return ::WaitForSingleObject(p.handle, 0) == WAIT_OBJECT_0;
        });
    });
    if (!ended) {
        *error = "the program still runs after " + std::to_string(timeoutMs) +
                 " ms; visible windows: " + Joined(VisibleWindows());
        return false;
    }
    if (!::GetExitCodeProcess(processes_.back().handle, exitCode)) {
        *error = "GetExitCodeProcess failed: " + std::to_string(::GetLastError());
        return false;
    }
    return true;
}

} // namespace tamsivo::test
