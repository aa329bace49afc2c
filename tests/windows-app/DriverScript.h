#pragma once

#include "ProgramWindows.h"

#include <cstdio>
#include <string>
#include <vector>

namespace tamsivo::test {

// Runs the driver's commands in order against the program under test and writes one report
// line per observation: "<label> <value>", texts as hexadecimal Windows-1251 bytes followed by
// a readable UTF-8 copy after '#'. The first command that fails ends the script with a line
// "error <command>: <reason>".
//
// Commands (KIND is main, select or message-box; ID a control identifier, 0 for the window
// itself; MS a deadline in milliseconds):
//   forget-settings             remove the program's settings key
//   write-port HEX              store the remembered port name
//   read-port LABEL             the stored port name, or "absent"
//   wait KIND MS                until such a window is shown
//   wait-gone KIND MS           until it is no longer shown
//   wait-text KIND ID HEX MS    until the control shows that text
//   wait-state KIND ID STATE MS until the control is enabled, disabled, visible or hidden
//   text KIND ID LABEL          a control's text (ID 0: the window's caption)
//   control KIND ID LABEL       LABEL.text, LABEL.enabled, LABEL.visible
//   focus KIND LABEL            the identifier of the focused control, or "none"
//   pos KIND ID LABEL           a progress bar's LABEL.pos and LABEL.max (its range's end)
//   wait-pos KIND ID MIN MS     until the progress bar's position is at least MIN
//   bar-fill KIND ID LABEL      how far the progress bar is drawn on the screen, in
//                               thousandths of its width (its dark fill on light blue)
//   clock LABEL                 the driver's monotonic clock, in milliseconds
//   list KIND ID LABEL          LABEL.count, LABEL.<i> for each item, LABEL.selected
//   message KIND LABEL          LABEL.caption, LABEL.text, LABEL.buttons, LABEL.icon
//   click KIND ID               press a button or click a label
//   key KIND NAME               enter, escape, up, down or tab on the focused control
//   pick KIND ID INDEX          click a list item
//   double-pick KIND ID INDEX   double-click a list item
//   drag KIND ID DX DY LABEL    press the mouse on the control (ID 0: on a free spot of the
//                               window), move it by DX, DY, release; LABEL.moved is how far
//                               the window went
//   rect KIND LABEL             the window's rectangle on the screen
//   shot KIND NAME              save a picture of the window as NAME.png in the --out folder
//   wait-exit MS LABEL          until the program has ended; its exit code
//   windows LABEL               the program's visible top-level windows
class DriverScript {
public:
    DriverScript(std::wstring programImage, std::wstring outputDir, std::FILE* out);

    // Returns the process exit code: 0 when every command succeeded.
    int Run(const std::vector<std::string>& tokens);

private:
    bool RunOne(const std::string& command, const std::vector<std::string>& args);
    HWND Window(const std::string& kindName);
    HWND Control(const std::string& kindName, const std::string& id);
    bool Fail(const std::string& reason);

    void Report(const std::string& label, const std::string& value,
                const std::string& comment = {});
    void ReportText(const std::string& label, const std::string& cp1251);

    ProgramWindows program_;
    std::string settingsName_; // the program's name, Windows-1251
    std::wstring outputDir_;
    std::FILE* out_;
    std::string error_;
};

} // namespace tamsivo::test
