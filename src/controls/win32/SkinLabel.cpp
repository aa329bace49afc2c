#include "controls/win32/SkinLabel.h"

#include "controls/LabelGradient.h"
#include "controls/LabelTextFormat.h"
#include "controls/win32/BufferedDC.h"
#include "framework/ClientDC.h"
#include "framework/DCStateGuard.h"
#include "framework/SelectGuard.h"
#include "framework/WideText.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <shellapi.h>

namespace tamsivo {
namespace {

void OpenWithShell(const std::string& verb, const std::string& target) {
    const std::wstring wideVerb = Widen(verb);
    const std::wstring wideTarget = Widen(target);
    // The result is not looked at: when no handler is registered for the target the click
    // simply opens nothing and the label stays as it was.
    ::ShellExecuteW(nullptr, verb.empty() ? nullptr : wideVerb.c_str(), wideTarget.c_str(), nullptr,
                    nullptr, SW_SHOWNORMAL);
}

} // namespace

const MessageEntry SkinLabel::messageEntries[] = {
    On<WM_TIMER, &SkinLabel::OnTimer>(),
    On<WM_LBUTTONDOWN, &SkinLabel::OnLButtonDown>(),
    On<WM_SETCURSOR, &SkinLabel::OnSetCursor>(),
    On<WM_SYSCOLORCHANGE, &SkinLabel::OnSysColorChange>(),
    On<WM_PAINT, &SkinLabel::Paint>(),
    On<WM_PRINTCLIENT, &SkinLabel::Paint>(),
    On<WM_ERASEBKGND, &SkinLabel::OnEraseBackground>(),
    On<WM_SETTEXT, &SkinLabel::OnSetText>(),
};
const MessageMap SkinLabel::messageMap{&Window::messageMap, messageEntries};

SkinLabel::ShellOpen& SkinLabel::CurrentShellOpen() {
    static ShellOpen open = &OpenWithShell;
    return open;
}

SkinLabel::ShellOpen SkinLabel::ReplaceShellOpen(ShellOpen open) {
    return std::exchange(CurrentShellOpen(), std::move(open));
}

SkinLabel::SkinLabel()
    : textColor_(::GetSysColor(COLOR_WINDOWTEXT)),
      defaultBackgroundColor_(::GetSysColor(COLOR_BTNFACE)),
      defaultBackground_(::CreateSolidBrush(defaultBackgroundColor_)) {}

SkinLabel::~SkinLabel() {
    // The timer would otherwise keep ticking into the static control's own procedure.
    if (Hwnd() != nullptr && flashMode_ != kFlashNone) {
        KillTimer(kFlashTimerId);
    }
}

void SkinLabel::PreSubclassWindow() {
    Window::PreSubclassWindow();
    HFONT font = GetFont();
    if (font == nullptr) {
        font = static_cast<HFONT>(::GetStockObject(SYSTEM_FONT));
    }
    ::GetObjectW(font, sizeof(logFont_), &logFont_);
    RebuildFont();
}

SkinLabel& SkinLabel::SetBackgroundColor(COLORREF color, COLORREF gradientEnd, bool gradient) {
    backgroundColor_ = color;
    gradientEnd_ = gradientEnd;
    gradient_ = gradient;
    background_.Reset();
    if (!gradient_) {
        background_.Reset(::CreateSolidBrush(color));
    }
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::SetTextColor(COLORREF color) {
    textColor_ = color;
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::SetText(const std::string& text) {
    if (Hwnd() != nullptr) {
        Window::SetText(text);
        Redraw();
    }
    return *this;
}

SkinLabel& SkinLabel::SetFontBold(bool bold) {
    logFont_.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    RebuildFont();
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::SetFontName(const std::string& faceName, BYTE charSet) {
    logFont_.lfCharSet = charSet;
    const std::wstring wide = Widen(faceName);
    const size_t length = std::min<size_t>(wide.size(), LF_FACESIZE - 1);
    std::copy_n(wide.begin(), length, logFont_.lfFaceName);
    std::fill(logFont_.lfFaceName + length, logFont_.lfFaceName + LF_FACESIZE, L'\0');
    RebuildFont();
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::SetFontUnderline(bool underline) {
    logFont_.lfUnderline = underline ? TRUE : FALSE;
    RebuildFont();
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::SetFontItalic(bool italic) {
    logFont_.lfItalic = italic ? TRUE : FALSE;
    RebuildFont();
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::SetFontSize(int points) {
    // A point is 1/72 inch; a negative height asks for the character height without the
    // internal leading, which is how point sizes are meant.
    const int dotsPerInch = ClientDC(nullptr).View().DotsPerInch();
    logFont_.lfHeight = -(points * 10 * dotsPerInch / 720);
    logFont_.lfWidth = 0;
    RebuildFont();
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::SetSunken(bool sunken) {
    if (Hwnd() != nullptr) {
        ModifyStyleEx(sunken ? 0 : WS_EX_STATICEDGE, sunken ? WS_EX_STATICEDGE : 0,
                      SWP_FRAMECHANGED);
    }
    return *this;
}

SkinLabel& SkinLabel::SetBorder(bool border) {
    if (Hwnd() != nullptr) {
        ModifyStyle(border ? 0 : WS_BORDER, border ? WS_BORDER : 0, SWP_FRAMECHANGED);
    }
    return *this;
}

SkinLabel& SkinLabel::SetTransparent(bool transparent) {
    transparent_ = transparent;
    // The style makes the parent paint its other children beneath the label first. It is only
    // ever added: an opaque label covers its whole area anyway, so keeping it does no harm.
    if (Hwnd() != nullptr) {
        ModifyStyleEx(0, WS_EX_TRANSPARENT);
    }
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::FlashText(bool on) {
    if (on) {
        StartFlashing(kFlashText);
    } else {
        StopFlashing();
    }
    return *this;
}

SkinLabel& SkinLabel::FlashBackground(bool on) {
    if (on) {
        StartFlashing(kFlashBackground);
    } else {
        StopFlashing();
    }
    return *this;
}

SkinLabel& SkinLabel::SetLink(bool link, bool notifyParent) {
    linkMode_ = link ? kLinkWeb : kLinkNone;
    notifyParent_ = notifyParent;
    // Without SS_NOTIFY the static control is transparent to the mouse: clicks and cursor
    // requests go to the window beneath.
    if (Hwnd() != nullptr) {
        ModifyStyle(link ? 0 : SS_NOTIFY, link ? SS_NOTIFY : 0);
    }
    return *this;
}

SkinLabel& SkinLabel::SetLinkCursor(HCURSOR cursor) {
    linkCursor_ = cursor;
    return *this;
}

SkinLabel& SkinLabel::SetText3D(bool enable, bool lowerRight) {
    text3D_ = enable;
    text3DLowerRight_ = lowerRight;
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::SetRotationAngle(int degrees, bool rotate) {
    logFont_.lfEscapement = degrees * 10;
    logFont_.lfOrientation = degrees * 10;
    rotated_ = rotate;
    RebuildFont();
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::SetText3DColor(COLORREF color) {
    text3DColor_ = color;
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::SetLogFont(LOGFONTW font) {
    logFont_ = font;
    logFont_.lfFaceName[LF_FACESIZE - 1] = L'\0';
    RebuildFont();
    Redraw();
    return *this;
}

SkinLabel& SkinLabel::SetMailLink(bool mail, bool notifyParent) {
    linkMode_ = mail ? kLinkMail : kLinkNone;
    notifyParent_ = notifyParent;
    if (Hwnd() != nullptr) {
        ModifyStyle(mail ? 0 : SS_NOTIFY, mail ? SS_NOTIFY : 0);
    }
    return *this;
}

SkinLabel& SkinLabel::SetLinkUrl(const std::string& url) {
    linkUrl_ = url;
    return *this;
}

void SkinLabel::Redraw() const {
    if (Hwnd() == nullptr) {
        return;
    }
    RECT area = GetWindowRect();
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    const HWND parent = (GetStyle() & WS_CHILD) != 0 ? GetParent() : nullptr;
    if (parent == nullptr) {
        UpdateWindow();
        return;
    }
    // Whatever lies beneath the label in the parent is painted before the label itself, which
    // a transparent label draws over.
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    ::InvalidateRect(parent, &area, TRUE);
    ::UpdateWindow(parent);
}

void SkinLabel::RebuildFont() {
    font_.Reset(::CreateFontIndirectW(&logFont_));
}

void SkinLabel::FillGradient(DCView dc, const RECT& rect, COLORREF from, COLORREF to,
                             int bandLimit) {
    for (const LabelGradient::Band& band :
         LabelGradient::Bands(rect.left, rect.right, from, to, bandLimit)) {
        // Every row down to the bottom, so no row is left with what the bitmap held before.
        dc.FillSolidRect(RECT{band.left, rect.top, band.right, rect.bottom}, band.color);
    }
}

COLORREF SkinLabel::HiddenTextColor() const {
    // The colour is read back from the brush itself; a label without a solid brush of its own
    // (the default face, or a gradient) has none to read, and its hidden text shows in black.
    LOGBRUSH brush{};
    if (background_ && ::GetObjectW(background_.Get(), sizeof(brush), &brush) == sizeof(brush)) {
        return brush.lbColor;
    }
    return RGB(0, 0, 0);
}

COLORREF SkinLabel::BackgroundShade() const {
    return (background_ || gradient_) ? backgroundColor_ : defaultBackgroundColor_;
}

void SkinLabel::DrawBackground(DCView dc, const RECT& rect, bool swapped) const {
    if (swapped) {
        dc.FillSolidRect(rect, textColor_);
    } else if (gradient_) {
        FillGradient(dc, rect, backgroundColor_, gradientEnd_, LabelGradient::kBandLimit);
    } else {
        ::FillRect(dc.Handle(), &rect, background_ ? background_.Get() : defaultBackground_.Get());
    }
}

void SkinLabel::Paint(DCView target) {
    const RECT client = GetClientRect();
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    const std::string text = Text();
    const bool textHidden = flashMode_ == kFlashText && !flashPhase_;
    const bool swapped = flashMode_ == kFlashBackground && !flashPhase_;
    COLORREF textColor = textColor_;
    if (textHidden) {
        textColor = HiddenTextColor();
    } else if (swapped) {
        textColor = BackgroundShade();
    }

    // Composed off-screen and copied in one block, so that a label whose text changes while
    // the user watches never shows its bare background in between. A transparent label draws
    // over what its parent painted and has nothing of its own to compose.
    std::optional<BufferedDC> buffer;
    if (!transparent_) {
        buffer.emplace(target, &client);
    }
    const DCView dc = buffer ? buffer->View() : target;
    const DCStateGuard state(dc);
    ::SetBkMode(dc.Handle(), TRANSPARENT);
    ::SetTextColor(dc.Handle(), textColor);
    const SelectGuard selectFont(dc, font_);
    if (!transparent_) {
        DrawBackground(dc, client, swapped);
    }
    if (rotated_) {
        // The text starts on its baseline at the centre and runs along the font's escapement;
        // a rotated text has no lines to lay out.
        ::SetTextAlign(dc.Handle(), TA_LEFT | TA_BASELINE);
        dc.TextOutString(width / 2, height / 2, text);
        return;
    }
    const UINT format = LabelTextFormat::For(GetStyle(), text);
    RECT rect = client;
    dc.DrawString(text, rect, format);
    if (text3D_) {
        const int offset = text3DLowerRight_ ? 1 : -1;
        ::SetTextColor(dc.Handle(), text3DColor_);
        rect = client;
        ::OffsetRect(&rect, offset, offset);
        dc.DrawString(text, rect, format);
    }
}

void SkinLabel::StartFlashing(FlashMode mode) {
    if (Hwnd() == nullptr) {
        return;
    }
    KillTimer(kFlashTimerId);
    flashPhase_ = false;
    flashMode_ = mode;
    SetTimer(kFlashTimerId, kFlashPeriodMs);
    Redraw();
}

void SkinLabel::StopFlashing() {
    if (Hwnd() == nullptr) {
        return;
    }
    if (flashMode_ != kFlashNone) {
        KillTimer(kFlashTimerId);
    }
    flashMode_ = kFlashNone;
    // At once: the last tick may have hidden the text.
    Redraw();
}

void SkinLabel::OnTimer(UINT_PTR id) {
    if (id == kFlashTimerId && flashMode_ != kFlashNone) {
        flashPhase_ = !flashPhase_;
        Redraw();
    }
    Default();
}

void SkinLabel::OpenLink(const std::string& text) const {
    switch (linkMode_) {
    case kLinkWeb:
        CurrentShellOpen()("open", linkUrl_.empty() ? text : linkUrl_);
        break;
    case kLinkMail:
        CurrentShellOpen()("", "mailto:" + text + kMailSubject);
        break;
    case kLinkNone:
        break;
    }
}

void SkinLabel::OnLButtonDown(UINT, POINT) {
    if (notifyParent_) {
        NMHDR header{};
        header.hwndFrom = Hwnd();
        header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
        header.code = kClickNotification;
        ::SendMessageW(GetParent(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    } else {
        OpenLink(Text());
    }
    // The standard control then tells its parent of the click (STN_CLICKED) when it has
    // SS_NOTIFY, which every link has.
    Default();
}

bool SkinLabel::OnSetCursor(HWND, UINT, UINT) {
    if (linkCursor_ != nullptr) {
        ::SetCursor(linkCursor_);
        return true;
    }
    return Default() != FALSE;
}

void SkinLabel::OnSysColorChange() {
    defaultBackgroundColor_ = ::GetSysColor(COLOR_BTNFACE);
    defaultBackground_.Reset(::CreateSolidBrush(defaultBackgroundColor_));
    Default();
    Redraw();
}

bool SkinLabel::OnEraseBackground(DCView) {
    // The paint covers everything; erasing first would flash the background colour.
    return true;
}

LRESULT SkinLabel::OnSetText(WPARAM wParam, LPARAM lParam) {
    // The standard static control paints its own picture of a new text straight onto the
    // screen, which the label's picture would replace a moment later: a visible flicker. The
    // text is stored as any window's is, and the label paints it.
    const LRESULT result = ::DefWindowProcW(Hwnd(), WM_SETTEXT, wParam, lParam);
    InvalidateRect(nullptr, false);
    return result;
}

} // namespace tamsivo
