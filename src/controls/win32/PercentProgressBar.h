#pragma once

#include "controls/BarLayout.h"
#include "controls/BarRange.h"
#include "controls/BounceSegment.h"
#include "controls/Color.h"
#include "controls/ProgressStyle.h"
#include "framework/DCView.h"
#include "framework/Window.h"

#include <concepts>
#include <span>
#include <string_view>
#include <vector>

#include <windows.h>

#include <commctrl.h>

namespace tamsivo {

// The program's progress bar. It takes over a standard progress control (PROGRESS_CLASS), which
// keeps the range, the position and the step and clamps the position, and paints the whole
// client area itself, off-screen in one pass: a background, a bar filled through a list of
// colour stops, and a formatted text (percentage or position, Windows-1251) drawn in one colour
// over the bar and in another over the background, so that it stays readable as the bar passes
// under it. Window-style bits (controls/ProgressStyle.h) choose the text mode, a vertical or
// reversed bar, the spread of the gradient, text on the bar only, and a bouncing-segment mode in
// which the bar is a segment of fixed length that travels along the control and turns round.
// The control's font may be turned by quarter turns (its escapement).
class PercentProgressBar : public Window {
public:
    // What one paint pass hands to the drawing operations: the context, the inner client
    // rectangle (client area less the borders) with the style bits, and the standard control's
    // position and range.
    struct BarDrawInfo {
        DCView dc;
        BarLayout layout;
        int position = 0;
        int lower = 0;
        int upper = 0;
    };

    PercentProgressBar();
    ~PercentProgressBar() override;

    // Setters. None repaints: the next paint shows the change.

    // The bar runs from `start` to `end`.
    void SetGradientColors(COLORREF start, COLORREF end);
    // The bar runs through `colors` at equal distances; std::invalid_argument with fewer than two.
    void SetGradientColorList(std::span<const COLORREF> colors);
    template <std::convertible_to<COLORREF>... More>
    void SetGradientColorList(COLORREF first, COLORREF second, More... more) {
        const COLORREF colors[] = {first, second, static_cast<COLORREF>(more)...};
        SetGradientColorList(std::span<const COLORREF>(colors));
    }
    void SetBkColor(COLORREF color);
    // The text colour over the bar and elsewhere; CLR_INVALID for `overBackground` means the
    // same colour everywhere.
    void SetTextColors(COLORREF overBar, COLORREF overBackground = CLR_INVALID);
    // `format` (Windows-1251, one integer conversion) becomes the window text and `textMode`
    // (PPB_TEXT_PERCENT or PPB_TEXT_POSITION, possibly with other PPB_* bits) is added to the
    // style; an empty format or a zero mode removes the text. (A text bit set in the template
    // with an empty window text shows that mode's default, "%d%%" or "%d".)
    void SetTextFormat(std::string_view format, DWORD textMode);
    // A brush (borrowed; null for none) that fills the bar instead of the colour stops, or the
    // background instead of its colour.
    void SetBarBrush(HBRUSH brush) { barBrush_ = brush; }
    void SetBkBrush(HBRUSH brush) { bkBrush_ = brush; }
    // Insets (left, top, right, bottom) of the bar area inside the client area; the background
    // fills the whole client area.
    void SetBorders(const RECT& insets) { borders_ = insets; }
    // Bouncing mode: the segment's length in position units.
    void SetSegmentLength(int length) { segment_.SetLength(length); }

    // The standard control's range, position and step, as its own messages handle them.
    void SetRange(int lower, int upper) const;
    PBRANGE GetRange() const;
    int GetPos() const;
    // Each returns the previous position.
    int SetPos(int position) const;
    int OffsetPos(int delta) const;
    int StepIt() const;
    // Returns the previous step.
    int SetStep(int step) const;

    // How many pixels the bar fills at the top of its range: the length of the client area less
    // the borders, along the bar.
    int BarLength() const;

    // The whole picture into `dc`: the paint routine of WM_PAINT and WM_PRINTCLIENT.
    void Paint(DCView dc);

    // The client rectangle of a range along the bar.
    static RECT RangeToRect(const BarDrawInfo& info, const BarRange& range);

protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

    // The colour stops spread over `gradient`, painted where the bar (`bar`) is.
    virtual void DrawColorStops(const BarDrawInfo& info, const BarRange& gradient,
                                const BarRange& bar);
    // One linear gradient over `segment`, painted only over `visible`.
    virtual void DrawGradient(const BarDrawInfo& info, const BarRange& segment,
                              const BarRange& visible, COLORREF from, COLORREF to);
    // The text in its two colours.
    virtual void DrawBarText(const BarDrawInfo& info, const BarRange& full, const BarRange& bar);
    // The whole text anchored at `anchor` (logical coordinates, under the context's current
    // alignment and colour), shown only through the rectangle of `range`.
    virtual void DrawClippedText(const BarDrawInfo& info, const BarRange& range,
                                 std::string_view text, POINT anchor);
    // Bouncing mode: moves the segment to `value` (or by it, when relative) and hands the new
    // position to the standard control; `result` is the previous position. False outside
    // bouncing mode, where the standard control moves the position itself.
    virtual bool MoveSegment(LRESULT& result, int value, bool relative);

private:
    // The inner client rectangle (the client area less the borders) with the style bits.
    BarLayout Layout() const;
    bool OnEraseBackground(DCView dc);
    LRESULT OnSetBarColor(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetBkColor(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetStep(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetPos(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeltaPos(WPARAM wParam, LPARAM lParam);
    LRESULT OnStepIt(WPARAM wParam, LPARAM lParam);
    LRESULT Move(int value, bool relative);

    static const MessageEntry messageEntries[];

    std::vector<Color> colorStops_;
    HBRUSH barBrush_ = nullptr;
    COLORREF bkColor_;
    HBRUSH bkBrush_ = nullptr;
    COLORREF textOverBar_;
    COLORREF textOverBackground_;
    BounceSegment segment_{40};
    int step_ = 10;
    RECT borders_{0, 0, 0, 0};
};

} // namespace tamsivo
