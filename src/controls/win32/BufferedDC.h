#pragma once

#include "framework/DCView.h"
#include "framework/GdiObject.h"
#include "framework/MemoryDC.h"
#include "framework/SelectGuard.h"

#include <windows.h>

namespace tamsivo {

// Collects the drawing of one paint pass in an off-screen bitmap and copies the result to the
// target in a single BitBlt when it is destroyed, so that a control which first fills its
// background and then draws over it never flickers. Draw through View() at the target's logical
// coordinates: the memory context's window origin is the area's top-left corner. Apart from that
// origin it has the attributes of a new context (font, colours, modes are not the target's).
//
// Printer and metafile targets are drawn into directly (a bitmap would only coarsen a printout
// or a recording), and so is any target for which no memory context or bitmap can be made: the
// picture still arrives, only unbuffered. Lives on the stack of one paint call: created after
// the paint context, destroyed before it.
class BufferedDC {
public:
    // Covers `area` (logical coordinates of the target), or the target's clip box when null.
    // With `copyBackground` the bitmap starts as a copy of what the target shows there;
    // otherwise its content is undefined and the caller paints every pixel of the area.
    explicit BufferedDC(DCView target, const RECT* area = nullptr, bool copyBackground = false);
    ~BufferedDC();
    BufferedDC(const BufferedDC&) = delete;
    BufferedDC& operator=(const BufferedDC&) = delete;

    // Where to draw: the memory context while buffering, else the target itself.
    DCView View() const noexcept { return buffering_ ? memory_.View() : target_; }
    operator DCView() const noexcept { return View(); }

    DCView Target() const noexcept { return target_; }
    bool Buffering() const noexcept { return buffering_; }
    // The covered rectangle in the target's logical coordinates (empty when drawing straight).
    const RECT& Area() const noexcept { return area_; }

private:
    static bool DrawsStraightInto(DCView target);

    DCView target_;
    RECT area_{0, 0, 0, 0};
    bool buffering_ = false;
    // Declared in this order so that the bitmap leaves the context before either is deleted.
    MemoryDC memory_;
    Bitmap bitmap_;
    SelectGuard selectBitmap_;
};

} // namespace tamsivo
