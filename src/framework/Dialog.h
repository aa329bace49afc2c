#pragma once

#include "framework/Window.h"

#include <windows.h>

namespace tamsivo {

class DataExchange;

// A modal dialog run from a dialog template of the program's resources. Its procedure routes
// messages through the message maps like any Window; what no entry takes is left to the dialog
// manager, and Default() inside a handler runs the dialog manager's handling at once. The
// result of a handled message reaches its sender (DWLP_MSGRESULT, or the procedure's own
// return value for the messages that use it), so a user message sent from another thread
// returns the handler's value. Buttons IDOK and IDCANCEL, Enter, Escape and the close box end
// up in OnOK and OnCancel unless the map has its own entry for those ids.
class Dialog : public Window {
public:
    // Without a parent the dialog is owned by the application's main window, if any.
    explicit Dialog(int templateId, HWND parent = nullptr);

    // Runs the dialog; returns what EndDialog was given, or -1 when it could not be created.
    // An exception that left one of its handlers ends the dialog and is thrown from here.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result) const;

    // Moves data between the controls and the members through DoDataExchange: from the
    // controls when `save`, into them otherwise.
    void UpdateData(bool save);

protected:
    // First thing of the dialog's life, its controls created: binds them (UpdateData(false)).
    // True lets the dialog manager give the focus to the first control.
    virtual bool OnInitDialog();
    // Takes the data from the controls and ends with IDOK.
    virtual void OnOK();
    // Ends with IDCANCEL.
    virtual void OnCancel();
    virtual void DoDataExchange(DataExchange& exchange);
    // A press on a free spot of the body acts as one on a caption bar, so that a dialog
    // without one is dragged by its body: On<WM_LBUTTONDOWN, &Derived::DragByBody>().
    void DragByBody(UINT keyFlags, POINT point);

    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The given parent, or else the application's main window when it is one.
    HWND Owner() const;
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND parent_;
    // Set while Default() has the dialog manager handle the current message: the manager
    // first asks our procedure, which must then decline.
    bool defaultRequested_ = false;
};

} // namespace tamsivo
