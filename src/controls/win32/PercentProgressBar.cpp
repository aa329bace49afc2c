#include "controls/win32/PercentProgressBar.h"

#include "controls/BarGradient.h"
#include "controls/BarText.h"
#include "controls/Rect.h"
#include "controls/win32/BkModeGuard.h"
#include "controls/win32/BufferedDC.h"
#include "controls/win32/FontGuard.h"
#include "controls/win32/TextAlignGuard.h"
#include "controls/win32/TextColorGuard.h"
#include "framework/DCStateGuard.h"
#include "framework/GdiObject.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>

#include <commctrl.h>

namespace tamsivo {

namespace {

RECT ToRect(const Rect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

// Whole degrees of the font's escapement; an unrotated text without a font of its own.
int AngleOf(HFONT font) {
    LOGFONTW description{};
    if (font == nullptr || ::GetObjectW(font, sizeof(description), &description) == 0) {
        return 0;
    }
    return BarText::AngleOf(description.lfEscapement);
}

} // namespace

const MessageEntry PercentProgressBar::messageEntries[] = {
    On<WM_ERASEBKGND, &PercentProgressBar::OnEraseBackground>(),
    On<WM_PAINT, &PercentProgressBar::Paint>(),
    On<WM_PRINTCLIENT, &PercentProgressBar::Paint>(),
    On<PBM_SETBARCOLOR, &PercentProgressBar::OnSetBarColor>(),
    On<PBM_SETBKCOLOR, &PercentProgressBar::OnSetBkColor>(),
    On<PBM_SETSTEP, &PercentProgressBar::OnSetStep>(),
    On<PBM_SETPOS, &PercentProgressBar::OnSetPos>(),
    On<PBM_DELTAPOS, &PercentProgressBar::OnDeltaPos>(),
    On<PBM_STEPIT, &PercentProgressBar::OnStepIt>(),
};
const MessageMap PercentProgressBar::messageMap{&Window::messageMap, messageEntries};

PercentProgressBar::PercentProgressBar()
    : colorStops_{::GetSysColor(COLOR_ACTIVECAPTION), ::GetSysColor(COLOR_ACTIVECAPTION)},
      bkColor_(::GetSysColor(COLOR_BTNFACE)), textOverBar_(::GetSysColor(COLOR_CAPTIONTEXT)),
      textOverBackground_(::GetSysColor(COLOR_BTNTEXT)) {}

PercentProgressBar::~PercentProgressBar() = default;

void PercentProgressBar::SetGradientColors(COLORREF start, COLORREF end) {
    colorStops_ = {start, end};
}

void PercentProgressBar::SetGradientColorList(std::span<const COLORREF> colors) {
    if (colors.size() < 2) {
        throw std::invalid_argument("a progress bar gradient needs at least two colours, got " +
                                    std::to_string(colors.size()));
    }
    colorStops_.assign(colors.begin(), colors.end());
}

void PercentProgressBar::SetBkColor(COLORREF color) {
    bkColor_ = color;
}

void PercentProgressBar::SetTextColors(COLORREF overBar, COLORREF overBackground) {
    textOverBar_ = overBar;
    textOverBackground_ = overBackground == CLR_INVALID ? overBar : overBackground;
}

void PercentProgressBar::SetTextFormat(std::string_view format, DWORD textMode) {
    const bool noText = format.empty() || textMode == 0;
    ModifyStyle(kProgressTextBits, noText ? 0 : textMode);
    SetText(noText ? std::string_view() : format);
}

void PercentProgressBar::SetRange(int lower, int upper) const {
    Send(PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
}

PBRANGE PercentProgressBar::GetRange() const {
    PBRANGE range{0, 0};
    Send(PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    return range;
}

int PercentProgressBar::GetPos() const {
    return static_cast<int>(Send(PBM_GETPOS));
}

int PercentProgressBar::SetPos(int position) const {
    return static_cast<int>(Send(PBM_SETPOS, static_cast<WPARAM>(position)));
}

int PercentProgressBar::OffsetPos(int delta) const {
    return static_cast<int>(Send(PBM_DELTAPOS, static_cast<WPARAM>(delta)));
}

int PercentProgressBar::StepIt() const {
    return static_cast<int>(Send(PBM_STEPIT));
}

int PercentProgressBar::SetStep(int step) const {
    return static_cast<int>(Send(PBM_SETSTEP, static_cast<WPARAM>(step)));
}

BarLayout PercentProgressBar::Layout() const {
    const RECT client = GetClientRect();
    Rect inner{client.left + borders_.left, client.top + borders_.top,
               client.right - borders_.right, client.bottom - borders_.bottom};
    // Borders wider than the control leave an empty bar, not an inverted one.
    inner.right = std::max(inner.right, inner.left);
    inner.bottom = std::max(inner.bottom, inner.top);
    return BarLayout(inner, GetStyle());
}

int PercentProgressBar::BarLength() const {
    return Layout().Length();
}

RECT PercentProgressBar::RangeToRect(const BarDrawInfo& info, const BarRange& range) {
    return ToRect(info.layout.RangeToRect(range));
}

void PercentProgressBar::Paint(DCView target) {
    const RECT client = GetClientRect();
    const int position = GetPos();
    const PBRANGE range = GetRange();

    BufferedDC buffer(target);
    const DCView dc = buffer.View();
    // The buffer starts undefined, so every pixel of the client area is painted.
    if (bkBrush_ != nullptr) {
        ::FillRect(dc.Handle(), &client, bkBrush_);
    } else {
        dc.FillSolidRect(client, bkColor_);
    }

    if (!BarLayout::ShowsBar(position, range.iLow, range.iHigh)) {
        return;
    }
    const BarDrawInfo info{dc, Layout(), position, range.iLow, range.iHigh};
    const BarRange full = info.layout.FullRange();
    const BarRange bar =
        info.layout.FilledRange(position, range.iLow, range.iHigh, segment_.Tail());
    if (barBrush_ != nullptr) {
        const RECT rect = RangeToRect(info, bar);
        ::FillRect(dc.Handle(), &rect, barBrush_);
    } else {
        const bool stretch = (info.layout.Style() & PPB_STRETCH_GRADIENT) != 0;
        DrawColorStops(info, stretch ? bar : full, bar);
    }
    DrawBarText(info, full, bar);
}

void PercentProgressBar::DrawColorStops(const BarDrawInfo& info, const BarRange& gradient,
                                        const BarRange& bar) {
    for (const BarGradient::Segment& segment : BarGradient::Segments(colorStops_, gradient, bar)) {
        DrawGradient(info, segment.segment, segment.visible, segment.from, segment.to);
    }
}

void PercentProgressBar::DrawGradient(const BarDrawInfo& info, const BarRange& segment,
                                      const BarRange& visible, COLORREF from, COLORREF to) {
    const HDC dc = info.dc.Handle();
    const bool palette = (::GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) != 0;
    const bool lowColor =
        !palette && ::GetDeviceCaps(dc, BITSPIXEL) * ::GetDeviceCaps(dc, PLANES) < 8;
    for (const BarGradient::Band& band : BarGradient::Bands(segment, visible, from, to, lowColor)) {
        const RECT rect = RangeToRect(info, band.range);
        if (palette) {
            // A brush is matched to the palette (and dithered); a plain fill takes the nearest
            // palette entry and would turn the gradient into a few flat steps.
            const Brush brush{::CreateSolidBrush(band.color)};
            ::FillRect(dc, &rect, brush.Get());
        } else {
            info.dc.FillSolidRect(rect, band.color);
        }
    }
}

void PercentProgressBar::DrawBarText(const BarDrawInfo& info, const BarRange& full,
                                     const BarRange& bar) {
    const std::optional<BarText::Content> content =
        BarText::Resolve(info.layout.Style(), Text(), info.position, info.lower, info.upper);
    if (!content) {
        return;
    }
    const HFONT font = GetFont();
    FontGuard fontGuard(info.dc, font);
    TextColorGuard colorGuard(info.dc, textOverBar_);
    BkModeGuard modeGuard(info.dc, TRANSPARENT);
    // Centre-bottom, so that an anchor half a text height below the middle centres the text
    // both ways, whichever quarter turn the font makes.
    TextAlignGuard alignGuard(info.dc, TA_CENTER | TA_BOTTOM);

    const std::string text = BarText::Format(*content);
    const SIZE extent = info.dc.MeasureString(text);
    const BarText::Box box = BarText::BoxFor(AngleOf(font), extent.cx, extent.cy);
    const BarText::Placement placement =
        BarText::Place(info.layout, full, bar, box, textOverBar_ == textOverBackground_);
    // Drawn at the anchor itself rather than at (0, 0) under a moved viewport origin: a context
    // handed over by WM_PRINTCLIENT or a printer may have a viewport origin of its own.
    const POINT anchor{placement.viewportOrigin.x, placement.viewportOrigin.y};
    // Every piece is the same text at the same place, clipped differently, so the colour
    // changes exactly at the bar's end.
    for (const BarText::Piece& piece : placement.pieces) {
        colorGuard.Set(piece.overBar ? textOverBar_ : textOverBackground_);
        DrawClippedText(info, piece.range, text, anchor);
    }
}

void PercentProgressBar::DrawClippedText(const BarDrawInfo& info, const BarRange& range,
                                         std::string_view text, POINT anchor) {
    const RECT rect = RangeToRect(info, range);
    // The clip is narrowed in logical coordinates, inside whatever clip the context already
    // has, and put back afterwards: the context may be the caller's (a printer's, say).
    const DCStateGuard saved(info.dc);
    ::IntersectClipRect(info.dc.Handle(), rect.left, rect.top, rect.right, rect.bottom);
    info.dc.TextOutString(anchor.x, anchor.y, text);
}

bool PercentProgressBar::MoveSegment(LRESULT& result, int value, bool relative) {
    const DWORD style = GetStyle();
    if ((style & PPB_BOUNCE) == 0) {
        return false;
    }
    const PBRANGE range = GetRange();
    const BounceSegment::Move move =
        segment_.Advance(GetPos(), value, relative, range.iLow, range.iHigh);
    if (move.flipDirection) {
        // The segment comes back in from the end it left by.
        ModifyStyle(style & PPB_REVERSE, ~style & PPB_REVERSE);
    } else if (move.repaintAll) {
        Invalidate(true);
    }
    result = DefaultProc(PBM_SETPOS, static_cast<WPARAM>(move.value), 0);
    return true;
}

bool PercentProgressBar::OnEraseBackground(DCView) {
    // The paint pass covers every pixel; erasing first would only flicker.
    return true;
}

LRESULT PercentProgressBar::OnSetBarColor(WPARAM wParam, LPARAM lParam) {
    colorStops_ =
        BarGradient::StopsForBarColor(static_cast<Color>(wParam), static_cast<Color>(lParam));
    return static_cast<LRESULT>(CLR_DEFAULT);
}

LRESULT PercentProgressBar::OnSetBkColor(WPARAM, LPARAM lParam) {
    bkColor_ = static_cast<COLORREF>(lParam);
    return static_cast<LRESULT>(CLR_DEFAULT);
}

LRESULT PercentProgressBar::OnSetStep(WPARAM wParam, LPARAM) {
    step_ = static_cast<int>(wParam);
    return Default();
}

LRESULT PercentProgressBar::OnSetPos(WPARAM wParam, LPARAM) {
    return Move(static_cast<int>(wParam), false);
}

LRESULT PercentProgressBar::OnDeltaPos(WPARAM wParam, LPARAM) {
    return Move(static_cast<int>(wParam), true);
}

LRESULT PercentProgressBar::OnStepIt(WPARAM, LPARAM) {
    return Move(step_, true);
}

LRESULT PercentProgressBar::Move(int value, bool relative) {
    LRESULT result = 0;
    if (!MoveSegment(result, value, relative)) {
        result = Default();
    }
    return result;
}

} // namespace tamsivo
