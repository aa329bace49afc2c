#pragma once

#include "framework/DCView.h"
#include "framework/GdiObject.h"
#include "framework/Window.h"

#include <functional>
#include <string>

#include <windows.h>

namespace tamsivo {

// The program's static text: takes over a plain static control and paints it itself, text in a
// chosen colour and font over a solid or horizontally graded background, optionally with a
// second copy of the text one pixel off (3D), rotated, flashing, or acting as a web or mail link
// that hands its target to the shell when clicked. The setters return the label so that a
// dialog dresses it in one chain:
//     title_.SetBackgroundColor(kBlue).SetTextColor(kGrey).SetFontBold(true).SetText("...");
// Texts and face names are Windows-1251. Every setter but SetText expects the label to be
// attached to its window already (the dialog's data exchange does that).
class SkinLabel : public Window {
public:
    enum FlashMode : int { kFlashNone = 0, kFlashText = 1, kFlashBackground = 2 };
    enum LinkMode : int { kLinkNone = 0, kLinkWeb = 1, kLinkMail = 2 };

    static constexpr UINT_PTR kFlashTimerId = 1;
    static constexpr UINT kFlashPeriodMs = 500;
    // The WM_NOTIFY code a click sends to the parent of a label that notifies its parent.
    static constexpr UINT kClickNotification = 0x8200;
    // Added to every mail link, so that the support mails can be told apart.
    static constexpr const char* kMailSubject = "?subject=Tamsivo";

    // How a link click reaches the shell: verb (empty for the default action) and target, both
    // Windows-1251. The default opens them with the user's registered handler.
    using ShellOpen = std::function<void(const std::string& verb, const std::string& target)>;
    // Puts `open` in place of the current way; returns the one it replaces.
    static ShellOpen ReplaceShellOpen(ShellOpen open);

    SkinLabel();
    ~SkinLabel() override;

    // Solid background of `color`, or with `gradient` a left-to-right gradient from `color` to
    // `gradientEnd`.
    virtual SkinLabel& SetBackgroundColor(COLORREF color, COLORREF gradientEnd = 0,
                                          bool gradient = false);
    virtual SkinLabel& SetTextColor(COLORREF color);
    // Does nothing at all while the label has no window.
    virtual SkinLabel& SetText(const std::string& text);
    virtual SkinLabel& SetFontBold(bool bold);
    // Longer face names are cut to the 31 characters a font description holds.
    virtual SkinLabel& SetFontName(const std::string& faceName, BYTE charSet = RUSSIAN_CHARSET);
    virtual SkinLabel& SetFontUnderline(bool underline);
    virtual SkinLabel& SetFontItalic(bool italic);
    virtual SkinLabel& SetFontSize(int points);
    virtual SkinLabel& SetSunken(bool sunken);
    virtual SkinLabel& SetBorder(bool border);
    // A transparent label paints its text straight over what its parent drew beneath it.
    virtual SkinLabel& SetTransparent(bool transparent);
    // The text blinks every kFlashPeriodMs: first drawn in the colour of the label's solid
    // background, which hides it, then in its own colour. A label without a solid background
    // of its own (the default face, or a gradient) blinks between its text colour and black.
    virtual SkinLabel& FlashText(bool on);
    // The label blinks between its own colours and the same colours swapped.
    virtual SkinLabel& FlashBackground(bool on);
    // A web link opens the link target, or the label's text when no target is set. With
    // `notifyParent` a click only tells the parent (WM_NOTIFY kClickNotification).
    virtual SkinLabel& SetLink(bool link, bool notifyParent = false);
    // Shown over the whole label; borrowed, never destroyed by the label.
    virtual SkinLabel& SetLinkCursor(HCURSOR cursor);
    // The second copy lies one pixel to the lower right, or with false to the upper left.
    virtual SkinLabel& SetText3D(bool enable, bool lowerRight);
    virtual SkinLabel& SetRotationAngle(int degrees, bool rotate);
    virtual SkinLabel& SetText3DColor(COLORREF color);
    virtual SkinLabel& SetLogFont(LOGFONTW font);
    // A mail link opens "mailto:" + the label's text + kMailSubject.
    virtual SkinLabel& SetMailLink(bool mail, bool notifyParent = false);
    virtual SkinLabel& SetLinkUrl(const std::string& url);

    // Repaints the parent beneath the label, then the label, at once.
    void Redraw() const;
    // Makes the font anew from the font description.
    void RebuildFont();
    // Fills `rect` with vertical bands from `from` to `to`, at most `bandLimit` of them.
    static void FillGradient(DCView dc, const RECT& rect, COLORREF from, COLORREF to,
                             int bandLimit);

    // The whole picture of the label, into any context: its paint context, or the one
    // WM_PRINTCLIENT hands over.
    void Paint(DCView dc);

    const LOGFONTW& LogFont() const noexcept { return logFont_; }
    HFONT FontHandle() const noexcept { return font_.Get(); }
    FlashMode Flashing() const noexcept { return flashMode_; }
    LinkMode Link() const noexcept { return linkMode_; }

protected:
    void PreSubclassWindow() override;
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    void OnTimer(UINT_PTR id);
    void OnLButtonDown(UINT keyFlags, POINT point);
    bool OnSetCursor(HWND cursorWindow, UINT hitTest, UINT mouseMessage);
    void OnSysColorChange();
    bool OnEraseBackground(DCView dc);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);

    void StartFlashing(FlashMode mode);
    void StopFlashing();
    void DrawBackground(DCView dc, const RECT& rect, bool swapped) const;
    // The colour of the text while flashing hides it.
    COLORREF HiddenTextColor() const;
    // The colour the label's background shows (its left end for a gradient).
    COLORREF BackgroundShade() const;
    void OpenLink(const std::string& text) const;
    static ShellOpen& CurrentShellOpen();

    static const MessageEntry messageEntries[];

    COLORREF textColor_;
    COLORREF text3DColor_ = RGB(255, 255, 255);
    COLORREF defaultBackgroundColor_;
    Brush defaultBackground_;
    Brush background_; // null for a gradient
    LOGFONTW logFont_{};
    Font font_;
    bool flashPhase_ = false; // true: the text shows in its own colours
    FlashMode flashMode_ = kFlashNone;
    LinkMode linkMode_ = kLinkNone;
    bool notifyParent_ = false;
    bool transparent_ = false;
    bool text3D_ = false;
    bool text3DLowerRight_ = false;
    bool rotated_ = false;
    HCURSOR linkCursor_ = nullptr;
    bool gradient_ = false;
    COLORREF gradientEnd_ = 0;
    COLORREF backgroundColor_ = 0;
    std::string linkUrl_;
};

} // namespace tamsivo
