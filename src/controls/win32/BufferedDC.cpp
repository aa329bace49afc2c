#include "controls/win32/BufferedDC.h"

#include <utility>

namespace tamsivo {

namespace {

int WidthOf(const RECT& rect) {
    return rect.right - rect.left;
}

int HeightOf(const RECT& rect) {
    return rect.bottom - rect.top;
}

} // namespace

BufferedDC::BufferedDC(DCView target, const RECT* area, bool copyBackground) : target_(target) {
    if (DrawsStraightInto(target)) {
        return;
    }
    RECT covered{0, 0, 0, 0};
    if (area != nullptr) {
        covered = *area;
    } else {
        ::GetClipBox(target.Handle(), &covered);
    }
    const int width = WidthOf(covered);
    const int height = HeightOf(covered);

    MemoryDC memory(target);
    if (!memory) {
        return;
    }
    Bitmap bitmap;
    SelectGuard select;
    // An empty area keeps the context's own one-pixel bitmap: drawing goes nowhere and the copy
    // transfers nothing, which is all an empty paint pass may do to the target.
    if (width > 0 && height > 0) {
        bitmap.Reset(::CreateCompatibleBitmap(target.Handle(), width, height));
        if (!bitmap) {
            return;
        }
        select = SelectGuard(memory, bitmap);
        if (!select.Active()) {
            return;
        }
    }
    ::SetWindowOrgEx(memory.View().Handle(), covered.left, covered.top, nullptr);
    if (copyBackground && width > 0 && height > 0) {
        ::BitBlt(memory.View().Handle(), covered.left, covered.top, width, height, target.Handle(),
                 covered.left, covered.top, SRCCOPY);
    }

    area_ = covered;
    memory_ = std::move(memory);
    bitmap_ = std::move(bitmap);
    selectBitmap_ = std::move(select);
    buffering_ = true;
}

BufferedDC::~BufferedDC() {
    if (!buffering_) {
        return;
    }
    const int width = WidthOf(area_);
    const int height = HeightOf(area_);
    if (width <= 0 || height <= 0) {
        return;
    }
    const HDC memory = memory_.View().Handle();
    // The copy takes the whole bitmap even if the drawing code moved the origins or changed the
    // mapping and did not put them back.
    ::SetMapMode(memory, MM_TEXT);
    ::SetViewportOrgEx(memory, 0, 0, nullptr);
    ::SetWindowOrgEx(memory, area_.left, area_.top, nullptr);
    ::BitBlt(target_.Handle(), area_.left, area_.top, width, height, memory, area_.left, area_.top,
             SRCCOPY);
}

bool BufferedDC::DrawsStraightInto(DCView target) {
    const DWORD type = ::GetObjectType(target.Handle());
    if (type == OBJ_METADC || type == OBJ_ENHMETADC) {
        return true;
    }
    const int technology = ::GetDeviceCaps(target.Handle(), TECHNOLOGY);
    return technology == DT_RASPRINTER || technology == DT_PLOTTER;
}

} // namespace tamsivo
