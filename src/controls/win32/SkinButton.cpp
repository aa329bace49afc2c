#include "controls/win32/SkinButton.h"

#include "controls/win32/BufferedDC.h"
#include "framework/DCStateGuard.h"
#include "framework/GdiObject.h"
#include "framework/SelectGuard.h"

#include <algorithm>
#include <string>
#include <utility>

#include <commctrl.h>

namespace tamsivo {
namespace {

// Copies a face picture to the context, its top-left corner at (x, y). False when there is no
// picture to copy, so that the caller falls back to a plain fill.
bool DrawSurface(DCView dc, const DibSurface& surface, int x, int y) {
    if (!surface.IsValid() || !dc) {
        return false;
    }
    ::SetStretchBltMode(dc.Handle(), COLORONCOLOR);
    ::SetDIBitsToDevice(dc.Handle(), x, y, static_cast<DWORD>(surface.Width()),
                        static_cast<DWORD>(surface.Height()), 0, 0, 0,
                        static_cast<UINT>(surface.Height()), surface.Bits(),
                        reinterpret_cast<const BITMAPINFO*>(surface.Header()), DIB_RGB_COLORS);
    return true;
}

void DrawFace(DCView dc, const DibSurface& face, const RECT& rect, int offset) {
    if (!DrawSurface(dc, face, rect.left + offset, rect.top + offset)) {
        dc.FillSolidRect(rect, ::GetSysColor(COLOR_BTNFACE));
    }
}

// A one-pixel frame: `topLeft` along the top and left sides, `bottomRight` along the others,
// which also take the top-right and bottom-left corners.
void DrawThinFrame(DCView dc, const RECT& rect, COLORREF topLeft, COLORREF bottomRight) {
    dc.FillSolidRect(RECT{rect.left, rect.top, rect.right - 1, rect.top + 1}, topLeft);
    dc.FillSolidRect(RECT{rect.left, rect.top, rect.left + 1, rect.bottom - 1}, topLeft);
    dc.FillSolidRect(RECT{rect.right - 1, rect.top, rect.right, rect.bottom}, bottomRight);
    dc.FillSolidRect(RECT{rect.left, rect.bottom - 1, rect.right, rect.bottom}, bottomRight);
}

LPARAM PointParam(POINT point) {
    return MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y));
}

} // namespace

const MessageEntry SkinButton::messageEntries[] = {
    On<WM_ERASEBKGND, &SkinButton::OnEraseBackground>(),
    On<WM_LBUTTONDOWN, &SkinButton::OnLeftButtonDown>(),
    On<WM_LBUTTONUP, &SkinButton::OnLeftButtonUp>(),
    On<WM_MOUSEMOVE, &SkinButton::OnMouseMove>(),
    On<WM_LBUTTONDBLCLK, &SkinButton::OnLeftButtonDoubleClick>(),
    On<WM_KILLFOCUS, &SkinButton::OnKillFocus>(),
    On<WM_MOUSELEAVE, &SkinButton::OnMouseLeave>(),
    On<Reflected(WM_DRAWITEM), &SkinButton::DrawItem>(),
};
const MessageMap SkinButton::messageMap{&Window::messageMap, messageEntries};

SkinButton::SkinButton() : captionColor_(::GetSysColor(COLOR_BTNTEXT)) {}

SkinButton::~SkinButton() = default;

void SkinButton::PreSubclassWindow() {
    Window::PreSubclassWindow();
    // The type is a number in the low bits, not a set of flags: OR-ing the owner-draw type into
    // a radio button's or group box's would make yet another type.
    ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
}

void SkinButton::SetTexture(std::int32_t style, int grain, int hoverHighlight, int tintPercent,
                            COLORREF tintColor) {
    const RECT window = GetWindowRect();
    ButtonFaces::SystemColors colors;
    colors.highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    colors.face = ::GetSysColor(COLOR_BTNFACE);
    colors.shadow = ::GetSysColor(COLOR_BTNSHADOW);
    ButtonFaces::Texture texture;
    texture.style = style;
    texture.grain = grain;
    texture.hoverHighlight = hoverHighlight;
    texture.tintPercent = tintPercent;
    texture.tintColor = tintColor;
    faces_.Build(window.right - window.left, window.bottom - window.top, focusMargin_, colors,
                 texture);
}

COLORREF SkinButton::SetCaptionColor(COLORREF color) {
    return std::exchange(captionColor_, color);
}

void SkinButton::SetFlat(bool flat) {
    flat_ = flat;
}

void SkinButton::SetIcon(int iconId, UINT alignment) {
    const HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId));
    SetIcon(icon, alignment);
}

void SkinButton::SetIcon(HICON icon, UINT alignment) {
    icon_ = icon;
    if (icon == nullptr) {
        return;
    }
    // The icon is placed by its hot spot, which for an icon is its centre.
    int hotX = 0;
    int hotY = 0;
    ICONINFO info{};
    if (::GetIconInfo(icon, &info)) {
        hotX = static_cast<int>(info.xHotspot);
        hotY = static_cast<int>(info.yHotspot);
        // GetIconInfo hands out copies of the icon's bitmaps, which the caller must delete.
        if (info.hbmColor != nullptr) {
            ::DeleteObject(info.hbmColor);
        }
        if (info.hbmMask != nullptr) {
            ::DeleteObject(info.hbmMask);
        }
    }
    const RECT window = GetWindowRect();
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int m = focusMargin_;
    iconRect_ = RECT{0, 0, 2 * hotX, 2 * hotY};
    switch (alignment) {
    case BS_LEFT:
        ::OffsetRect(&iconRect_, m, std::max(0, height / 2 - hotY));
        iconAlign_ = BS_LEFT;
        break;
    case BS_RIGHT:
        ::OffsetRect(&iconRect_, width - 2 * hotX - m, std::max(0, height / 2 - hotY));
        iconAlign_ = BS_RIGHT;
        break;
    default:
        // Above the caption, which Paint moves below the icon.
        ::OffsetRect(&iconRect_, std::max(0, width / 2 - hotX), std::max(0, height / 2 - 2 * hotY));
        iconAlign_ = BS_CENTER;
        break;
    }
}

void SkinButton::SetTextAlign(UINT buttonAlignment) {
    switch (buttonAlignment) {
    case BS_LEFT:
        captionAlign_ = DT_LEFT;
        break;
    case BS_RIGHT:
        captionAlign_ = DT_RIGHT;
        break;
    default:
        captionAlign_ = DT_CENTER;
        break;
    }
}

void SkinButton::SetToolTipText(std::string_view text) {
    if (!toolTip_.Exists()) {
        toolTip_.Create(Hwnd(), text);
    } else {
        toolTip_.UpdateText(Hwnd(), text);
    }
}

void SkinButton::SetFocusMargin(std::int16_t margin) {
    focusMargin_ = margin;
}

void SkinButton::Paint(DCView dc, const RECT& rect, UINT itemState) const {
    if (!dc) {
        return;
    }
    const HDC hdc = dc.Handle();
    const DCStateGuard saved(dc);
    RECT r = rect;
    const int m = focusMargin_;
    const std::string caption = Text();
    const UINT format = captionAlign_ | DT_VCENTER | DT_SINGLELINE;
    RECT captionRect{r.left + m + 2, r.top, r.right - m - 2, r.bottom};
    ::SetBkMode(hdc, TRANSPARENT);

    if (icon_ != nullptr) {
        switch (iconAlign_) {
        case BS_LEFT:
            captionRect.left += iconRect_.right - iconRect_.left;
            break;
        case BS_RIGHT:
            captionRect.right -= iconRect_.right - iconRect_.left;
            break;
        default:
            captionRect.top += iconRect_.bottom;
            captionRect.bottom -= m + 1;
            break;
        }
    }

    if ((itemState & ODS_DISABLED) != 0) {
        // Embossed caption and never a focus rectangle: nothing here can be activated.
        DrawFace(dc, faces_.Disabled(), r, 0);
        DrawIcon(dc, 0, DSS_DISABLED);
        if (!flat_) {
            ::DrawEdge(hdc, &r, EDGE_RAISED, BF_RECT);
        }
        ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        dc.DrawString(caption, captionRect, format);
        ::OffsetRect(&captionRect, -1, -1);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_GRAYTEXT));
        dc.DrawString(caption, captionRect, format);
        return;
    }

    if ((itemState & ODS_SELECTED) != 0) {
        DrawFace(dc, faces_.Pressed(), r, 1);
        DrawIcon(dc, 1, DSS_NORMAL);
        ::OffsetRect(&captionRect, 1, 1);
        if (flat_) {
            DrawThinFrame(dc, r, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
        } else {
            ::DrawEdge(hdc, &r, EDGE_SUNKEN, BF_RECT);
        }
    } else {
        const bool hoverFace = hovering_ && faces_.Hover().IsValid();
        DrawFace(dc, hoverFace ? faces_.Hover() : faces_.Normal(), r, 0);
        DrawIcon(dc, 0, DSS_NORMAL);
        if (hovering_ || !flat_) {
            if ((itemState & ODS_DEFAULT) != 0) {
                ::DrawEdge(hdc, &r, EDGE_SUNKEN, BF_RECT);
                ::InflateRect(&r, -1, -1);
                ::DrawEdge(hdc, &r, EDGE_RAISED, BF_RECT);
            } else if (flat_) {
                DrawThinFrame(dc, r, ::GetSysColor(COLOR_BTNHIGHLIGHT),
                              ::GetSysColor(COLOR_BTNSHADOW));
            } else {
                ::DrawEdge(hdc, &r, EDGE_RAISED, BF_RECT);
            }
        }
    }

    if ((itemState & ODS_FOCUS) != 0 && m > 0) {
        DrawFocusRectangle(dc, r);
    }
    ::SetTextColor(hdc, captionColor_);
    dc.DrawString(caption, captionRect, format);
}

void SkinButton::DrawIcon(DCView dc, int offset, UINT stateFlags) const {
    if (icon_ == nullptr) {
        return;
    }
    ::DrawStateW(dc.Handle(), nullptr, nullptr, reinterpret_cast<LPARAM>(icon_), 0,
                 iconRect_.left + offset, iconRect_.top + offset, iconRect_.right - iconRect_.left,
                 iconRect_.bottom - iconRect_.top, DST_ICON | stateFlags);
}

void SkinButton::DrawFocusRectangle(DCView dc, RECT rect) const {
    ::InflateRect(&rect, -focusMargin_, -focusMargin_);
    // The strips are as long as the focus rectangle of a plain button; a default button's lies
    // one pixel further in, and without the clip its dots would run past the corners.
    const DCStateGuard saved(dc);
    ::IntersectClipRect(dc.Handle(), rect.left, rect.top, rect.right + 1, rect.bottom + 1);
    DrawSurface(dc, faces_.FocusHorizontal(), rect.left + 1, rect.top);
    DrawSurface(dc, faces_.FocusHorizontal(), rect.left + 1, rect.bottom);
    DrawSurface(dc, faces_.FocusVertical(), rect.left, rect.top + 1);
    DrawSurface(dc, faces_.FocusVertical(), rect.right, rect.top + 1);
}

bool SkinButton::OnEraseBackground(DCView) {
    // The face covers the whole button.
    return true;
}

void SkinButton::OnLeftButtonDown(UINT keyFlags, POINT point) {
    RelayToToolTip(WM_LBUTTONDOWN, keyFlags, point);
    if (hovering_) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_CANCEL | TME_LEAVE, Hwnd(), 0};
        if (::_TrackMouseEvent(&track)) {
            hovering_ = false;
        }
    }
    held_ = true;
    // The standard button takes the capture and shows itself pushed.
    Default();
}

void SkinButton::OnLeftButtonUp(UINT keyFlags, POINT point) {
    RelayToToolTip(WM_LBUTTONUP, keyFlags, point);
    held_ = false;
    Default();
}

void SkinButton::OnMouseMove(UINT keyFlags, POINT point) {
    RelayToToolTip(WM_MOUSEMOVE, keyFlags, point);
    if (held_ && HasCapture()) {
        // The capture brings every move here, also over other windows: the pushed look follows
        // whether the pointer is over this button.
        POINT screen = point;
        ::ClientToScreen(Hwnd(), &screen);
        const bool over = ::WindowFromPoint(screen) == Hwnd();
        if (IsPushed() != over) {
            Send(BM_SETSTATE, over ? TRUE : FALSE);
            Invalidate(true);
        }
    } else if (!hovering_) {
        // The system reports the pointer's leaving only when asked, once per request.
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, Hwnd(), 0};
        if (::_TrackMouseEvent(&track)) {
            hovering_ = true;
            Invalidate(true);
        }
    }
    Default();
}

void SkinButton::OnLeftButtonDoubleClick(UINT keyFlags, POINT point) {
    // The second click of a double click arrives as this message instead of a button-down, and
    // an owner-drawn button would only report it as a double click: make it a press of its own.
    Send(WM_LBUTTONDOWN, keyFlags, PointParam(point));
}

void SkinButton::OnKillFocus(HWND) {
    if (HasCapture()) {
        ::ReleaseCapture();
        held_ = false;
    }
    Default();
}

void SkinButton::OnMouseLeave() {
    hovering_ = false;
    Invalidate(true);
}

void SkinButton::DrawItem(const DRAWITEMSTRUCT& item) {
    if (SyncPushedState()) {
        return;
    }
    const DCView target(item.hDC);
    // Composed off-screen and copied in one block, so that the face never shows without its
    // frame and caption.
    const BufferedDC buffer(target, &item.rcItem);
    const SelectGuard selectFont(buffer,
                                 static_cast<HFONT>(::GetCurrentObject(item.hDC, OBJ_FONT)));
    Paint(buffer, item.rcItem, item.itemState);
}

bool SkinButton::SyncPushedState() const {
    // Only a press of the real mouse button follows the pointer. BM_CLICK and keyboard
    // mnemonics press the button through a synthesised WM_LBUTTONDOWN wherever the pointer is;
    // compared with the pointer, such a press would be undone before its WM_LBUTTONUP and the
    // click would be lost.
    POINT cursor{0, 0};
    if (!held_ || !HasCapture() || ::GetKeyState(VK_LBUTTON) >= 0 || !::GetCursorPos(&cursor)) {
        return false;
    }
    const bool over = ::WindowFromPoint(cursor) == Hwnd();
    const bool pushed = IsPushed();
    if (over && !pushed) {
        Send(BM_SETSTATE, TRUE);
        return true;
    }
    if (!over && pushed) {
        Send(BM_SETSTATE, FALSE);
        return true;
    }
    return false;
}

bool SkinButton::HasCapture() const {
    return Hwnd() != nullptr && ::GetCapture() == Hwnd();
}

bool SkinButton::IsPushed() const {
    return (Send(BM_GETSTATE) & BST_PUSHED) != 0;
}

void SkinButton::RelayToToolTip(UINT message, UINT keyFlags, POINT point) const {
    toolTip_.Relay(Hwnd(), message, keyFlags, PointParam(point));
}

} // namespace tamsivo
