#pragma once

#include "controls/ButtonFaces.h"
#include "controls/win32/SkinButtonToolTip.h"
#include "framework/DCView.h"
#include "framework/Window.h"

#include <cstdint>
#include <string_view>

#include <windows.h>

namespace tamsivo {

// A push button that draws itself (owner-drawn) from prepared face pictures: the normal face
// while idle, a brighter one while the pointer is over it, the same one shifted by a pixel while
// pressed, the normal one with an embossed grey caption while disabled. A flat button shows no
// border while idle and thin one-pixel frames otherwise; a beveled one the classic raised and
// sunken edges. The dotted focus rectangle and the caption (the window text, in a colour of the
// button's own and the font of the window) are drawn over the face.
//
// Bind it to a BUTTON control by subclassing (data exchange); the parent must be a Window of
// this framework without a WM_DRAWITEM entry of its own, so that the drawing request reaches
// the button. A double click counts as two presses, so its command runs twice.
class SkinButton : public Window {
public:
    SkinButton();
    ~SkinButton() override;

    // Builds the faces for the window's current size (call it once the window exists; nothing
    // rebuilds them on resizing): a TextureStyle, the noise grain, how far (percent) the hover
    // face moves towards the highlight colour, and how far (percent) the palette moves towards
    // `tintColor`. Grain and both percentages use their low 8 bits.
    void SetTexture(std::int32_t style, int grain, int hoverHighlight, int tintPercent,
                    COLORREF tintColor);
    // The caption colour of the enabled states; returns the previous one. No repaint.
    COLORREF SetCaptionColor(COLORREF color);
    // No repaint.
    void SetFlat(bool flat);
    // Shows the icon `iconId` of the program's resources, placed by `alignment` (BS_LEFT,
    // BS_RIGHT, anything else centred above the caption). An icon that cannot be loaded leaves
    // the button without one.
    void SetIcon(int iconId, UINT alignment);
    // The same with an icon the caller loaded and keeps alive while the button shows it; null
    // removes the icon.
    void SetIcon(HICON icon, UINT alignment);
    // BS_LEFT, BS_RIGHT, or anything else for a centred caption.
    void SetTextAlign(UINT buttonAlignment);
    // Creates the tool tip on first use (Windows-1251 text), later replaces its text.
    void SetToolTipText(std::string_view text);
    // The inset of the focus rectangle and of the caption (4 unless set); 0 or less draws no
    // focus rectangle. The focus strips are sized from it by SetTexture, so set it first.
    void SetFocusMargin(std::int16_t margin);

    // Draws the whole button for the owner-draw item state `itemState` (ODS_*) into `dc`,
    // `rect` being the button's client rectangle. The caption uses the font selected in `dc`.
    void Paint(DCView dc, const RECT& rect, UINT itemState) const;

protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

    // Makes the control owner-drawn.
    void PreSubclassWindow() override;

private:
    bool OnEraseBackground(DCView dc);
    void OnLeftButtonDown(UINT keyFlags, POINT point);
    void OnLeftButtonUp(UINT keyFlags, POINT point);
    void OnMouseMove(UINT keyFlags, POINT point);
    void OnLeftButtonDoubleClick(UINT keyFlags, POINT point);
    void OnKillFocus(HWND gainingFocus);
    void OnMouseLeave();
    void DrawItem(const DRAWITEMSTRUCT& item);

    // While the left mouse button is held down on this button: brings the pushed state in line
    // with whether the pointer is over the button. True when it changed the state, which makes
    // the button draw again.
    bool SyncPushedState() const;
    bool HasCapture() const;
    bool IsPushed() const;
    void RelayToToolTip(UINT message, UINT keyFlags, POINT point) const;
    void DrawIcon(DCView dc, int offset, UINT stateFlags) const;
    void DrawFocusRectangle(DCView dc, RECT rect) const;

    static const MessageEntry messageEntries[];

    ButtonFaces faces_;
    bool hovering_ = false; // the pointer is over the button and leave tracking is armed
    bool held_ = false;     // the left button went down here and has not come up
    SkinButtonToolTip toolTip_;
    std::int16_t focusMargin_ = 4;
    COLORREF captionColor_;
    HICON icon_ = nullptr;
    RECT iconRect_{0, 0, 0, 0}; // in client coordinates
    UINT captionAlign_ = DT_CENTER;
    UINT iconAlign_ = BS_CENTER;
    bool flat_ = false;
};

} // namespace tamsivo
