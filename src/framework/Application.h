#pragma once

#include <string>
#include <string_view>

namespace tamsivo {

class Window;

// Base of the program's one global application object. The entry point (the object library
// tamsivo_framework_main) calls its InitInstance once; when that returns, the process ends.
// There is no message loop of the framework's own: a dialog-based program runs its modal
// dialogs inside InitInstance and returns false.
//
// Profile settings live in the per-user registry once SetRegistryKey has named the key:
// HKEY_CURRENT_USER\Software\<key>\<application name>\<section>, string values. The
// application name is the executable's file name without its extension, so renaming the
// program starts over with empty settings.
class Application {
public:
    // Registers this object as the process's application; a second one throws
    // std::logic_error.
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The program itself. The result is what a framework with a message loop would use to
    // decide whether to enter it; here the process ends either way, with exit code 0.
    virtual bool InitInstance() = 0;

    static Application* Current() noexcept;

    // The program's main window: the owner of every dialog that names no parent, so that it
    // takes no input while one of them runs. Null until set; the window outlives the setting.
    void SetMainWindow(const Window* window) noexcept { mainWindow_ = window; }
    const Window* MainWindow() const noexcept { return mainWindow_; }

    // The running executable's full path, however long.
    static std::wstring ExecutablePath();

    // The executable's file name without extension, Windows-1251.
    const std::string& Name() const noexcept { return name_; }

    void SetRegistryKey(std::string_view key);
    // The string value `entry` of `section`, or `defaultValue` when there is none (or no
    // registry key was set, or the value is not a string).
    std::string GetProfileText(std::string_view section, std::string_view entry,
                               std::string_view defaultValue) const;
    // Stores `value` as the string value `entry` of `section`, creating the keys. False when
    // the registry refused or no registry key was set.
    bool WriteProfileText(std::string_view section, std::string_view entry,
                          std::string_view value) const;

    // The entry point's body: InitInstance of the current application. A failure that
    // escapes it is shown in a message box and gives exit code 1.
    static int Run();

private:
    std::wstring SectionPath(std::string_view section) const;

    std::wstring wideName_;
    std::string name_;
    std::wstring registryKey_;
    const Window* mainWindow_ = nullptr;
};

} // namespace tamsivo
