// The off-screen drawing context and the scoped context-state guards, checked on memory bitmaps
// whose pixels are read directly.
#include "BufferedDCTestCanvas.h"

#include "controls/win32/BkModeGuard.h"
#include "controls/win32/BufferedDC.h"
#include "controls/win32/FontGuard.h"
#include "controls/win32/TextAlignGuard.h"
#include "controls/win32/TextColorGuard.h"
#include "framework/GdiObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace tamsivo::test {
namespace {

constexpr COLORREF kTargetColor = RGB(0, 255, 0);
constexpr COLORREF kAreaColor = RGB(200, 30, 40);
constexpr COLORREF kDetailColor = RGB(10, 180, 250);
constexpr COLORREF kOutsideColor = RGB(250, 250, 10);

SIZE SelectedBitmapSize(HDC dc) {
    BITMAP bitmap{};
    ::GetObjectW(::GetCurrentObject(dc, OBJ_BITMAP), sizeof(bitmap), &bitmap);
    return SIZE{bitmap.bmWidth, bitmap.bmHeight};
}

TEST(BufferedDC, NothingReachesTheTargetBeforeReleaseThenEverythingInsideTheArea) {
    BufferedDCTestCanvas target(40, 30, kTargetColor);
    ASSERT_TRUE(target);
    const RECT area{5, 4, 25, 20};
    {
        BufferedDC buffer(target.View(), &area);
        ASSERT_TRUE(buffer.Buffering());
        EXPECT_NE(buffer.View().Handle(), target.Handle());
        // Drawn at the target's own coordinates.
        buffer.View().FillSolidRect(area, kAreaColor);
        buffer.View().FillSolidRect(RECT{7, 6, 9, 8}, kDetailColor);
        // Entirely outside the area: clipped away by the bitmap's bounds.
        buffer.View().FillSolidRect(RECT{26, 0, 40, 30}, kOutsideColor);
        buffer.View().FillSolidRect(RECT{0, 21, 40, 30}, kOutsideColor);

        for (const POINT p : {POINT{5, 4}, POINT{7, 6}, POINT{24, 19}, POINT{30, 10}}) {
            EXPECT_EQ(target.Pixel(p.x, p.y), kTargetColor)
                << "(" << p.x << ", " << p.y << ") changed before the buffer was released";
        }
    }
    EXPECT_EQ(target.Pixel(5, 4), kAreaColor);
    EXPECT_EQ(target.Pixel(24, 4), kAreaColor);
    EXPECT_EQ(target.Pixel(5, 19), kAreaColor);
    EXPECT_EQ(target.Pixel(24, 19), kAreaColor);
    EXPECT_EQ(target.Pixel(7, 6), kDetailColor);
    EXPECT_EQ(target.Pixel(8, 7), kDetailColor);
    EXPECT_EQ(target.Pixel(9, 8), kAreaColor);
    // Just outside each side of the area, and where the outside drawing went.
    EXPECT_EQ(target.Pixel(4, 10), kTargetColor);
    EXPECT_EQ(target.Pixel(25, 10), kTargetColor);
    EXPECT_EQ(target.Pixel(10, 3), kTargetColor);
    EXPECT_EQ(target.Pixel(10, 20), kTargetColor);
    EXPECT_EQ(target.Pixel(30, 10), kTargetColor);
    EXPECT_EQ(target.Pixel(10, 25), kTargetColor);
}

TEST(BufferedDC, MemoryContextHasTheAreasOriginAndSizeAndDefaultAttributes) {
    BufferedDCTestCanvas target(40, 30, kTargetColor);
    ASSERT_TRUE(target);
    ::SetTextColor(target.Handle(), RGB(1, 2, 3));
    ::SetBkMode(target.Handle(), TRANSPARENT);
    ::SetTextAlign(target.Handle(), TA_CENTER | TA_BOTTOM);
    const RECT area{6, 3, 31, 17};
    BufferedDC buffer(target.View(), &area);
    ASSERT_TRUE(buffer.Buffering());
    const HDC memory = buffer.View().Handle();

    POINT origin{};
    ::GetWindowOrgEx(memory, &origin);
    EXPECT_EQ(origin.x, 6);
    EXPECT_EQ(origin.y, 3);
    const SIZE size = SelectedBitmapSize(memory);
    EXPECT_EQ(size.cx, 25);
    EXPECT_EQ(size.cy, 14);
    EXPECT_EQ(::GetTextColor(memory), RGB(0, 0, 0)) << "attributes are not copied from the target";
    EXPECT_EQ(::GetBkMode(memory), OPAQUE);
    EXPECT_EQ(::GetTextAlign(memory), static_cast<UINT>(TA_LEFT | TA_TOP));
    EXPECT_EQ(buffer.Area().left, 6);
    EXPECT_EQ(buffer.Area().bottom, 17);
}

TEST(BufferedDC, WithoutAnAreaCoversTheTargetsClipBox) {
    BufferedDCTestCanvas target(40, 30, kTargetColor);
    ASSERT_TRUE(target);
    ::IntersectClipRect(target.Handle(), 10, 5, 30, 15);
    {
        BufferedDC buffer(target.View());
        ASSERT_TRUE(buffer.Buffering());
        EXPECT_EQ(buffer.Area().left, 10);
        EXPECT_EQ(buffer.Area().top, 5);
        EXPECT_EQ(buffer.Area().right, 30);
        EXPECT_EQ(buffer.Area().bottom, 15);
        const SIZE size = SelectedBitmapSize(buffer.View().Handle());
        EXPECT_EQ(size.cx, 20);
        EXPECT_EQ(size.cy, 10);
        buffer.View().FillSolidRect(RECT{0, 0, 40, 30}, kAreaColor);
    }
    ::SelectClipRgn(target.Handle(), nullptr);
    EXPECT_EQ(target.Pixel(10, 5), kAreaColor);
    EXPECT_EQ(target.Pixel(29, 14), kAreaColor);
    EXPECT_EQ(target.Pixel(9, 5), kTargetColor);
    EXPECT_EQ(target.Pixel(30, 14), kTargetColor);
    EXPECT_EQ(target.Pixel(10, 15), kTargetColor);
}

TEST(BufferedDC, AnEmptyAreaOrClipBoxLeavesTheTargetUnchanged) {
    BufferedDCTestCanvas target(20, 20, kTargetColor);
    ASSERT_TRUE(target);
    {
        // The target itself is not clipped here: whatever went straight to it would show.
        const RECT empty{5, 5, 5, 15};
        BufferedDC buffer(target.View(), &empty);
        EXPECT_NE(buffer.View().Handle(), target.Handle());
        buffer.View().FillSolidRect(RECT{0, 0, 20, 20}, kAreaColor);
    }
    EXPECT_EQ(target.Pixel(5, 5), kTargetColor);
    EXPECT_EQ(target.Pixel(4, 10), kTargetColor);

    const Region nothing{::CreateRectRgn(0, 0, 0, 0)};
    ::SelectClipRgn(target.Handle(), nothing.Get());
    {
        BufferedDC buffer(target.View());
        EXPECT_EQ(buffer.Area().right - buffer.Area().left, 0);
        buffer.View().FillSolidRect(RECT{0, 0, 20, 20}, kAreaColor);
    }
    ::SelectClipRgn(target.Handle(), nullptr);
    EXPECT_EQ(target.Pixel(0, 0), kTargetColor);
    EXPECT_EQ(target.Pixel(10, 10), kTargetColor);
}

TEST(BufferedDC, CopyBackgroundStartsFromWhatTheTargetShows) {
    BufferedDCTestCanvas target(40, 20, kTargetColor);
    ASSERT_TRUE(target);
    target.View().FillSolidRect(RECT{20, 0, 40, 20}, kDetailColor);
    const RECT area{10, 2, 30, 18};
    {
        BufferedDC buffer(target.View(), &area, true);
        ASSERT_TRUE(buffer.Buffering());
        buffer.View().FillSolidRect(RECT{14, 8, 26, 12}, kAreaColor);
    }
    // Untouched pixels of the area come back as they were, on both sides of the old border.
    EXPECT_EQ(target.Pixel(10, 2), kTargetColor);
    EXPECT_EQ(target.Pixel(19, 17), kTargetColor);
    EXPECT_EQ(target.Pixel(20, 2), kDetailColor);
    EXPECT_EQ(target.Pixel(29, 17), kDetailColor);
    EXPECT_EQ(target.Pixel(14, 8), kAreaColor);
    EXPECT_EQ(target.Pixel(25, 11), kAreaColor);
}

int CALLBACK CollectRecordType(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM types) {
    reinterpret_cast<std::vector<DWORD>*>(types)->push_back(record->iType);
    return 1;
}

TEST(BufferedDC, DrawsStraightIntoARecordingAndLeavesItsContextAlive) {
    const HDC recording = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(recording, nullptr);
    {
        BufferedDC buffer{DCView(recording)};
        EXPECT_FALSE(buffer.Buffering());
        EXPECT_EQ(buffer.View().Handle(), recording);
        buffer.View().FillSolidRect(RECT{0, 0, 10, 10}, kAreaColor);
    }
    EXPECT_EQ(::GetObjectType(recording), static_cast<DWORD>(OBJ_ENHMETADC))
        << "the caller's context must survive the buffer";
    const HENHMETAFILE metafile = ::CloseEnhMetaFile(recording);
    ASSERT_NE(metafile, nullptr);
    std::vector<DWORD> types;
    ::EnumEnhMetaFile(nullptr, metafile, &CollectRecordType, &types, nullptr);
    ::DeleteEnhMetaFile(metafile);
    EXPECT_NE(std::find(types.begin(), types.end(), static_cast<DWORD>(EMR_EXTTEXTOUTW)),
              types.end())
        << "the fill is recorded as drawn";
    EXPECT_EQ(std::find(types.begin(), types.end(), static_cast<DWORD>(EMR_BITBLT)), types.end())
        << "no bitmap copy in a recording";
}

// The four guards on one context: what each sets while it lives and what comes back after.
class BufferedDCGuards : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(canvas);
        ASSERT_TRUE(font);
        ASSERT_TRUE(otherFont);
        ::SetBkMode(dc(), OPAQUE);
        ::SetTextColor(dc(), kOriginalText);
        ::SetTextAlign(dc(), TA_LEFT | TA_TOP);
        originalFont = ::GetCurrentObject(dc(), OBJ_FONT);
    }
    HDC dc() const { return canvas.Handle(); }
    HGDIOBJ CurrentFont() const { return ::GetCurrentObject(dc(), OBJ_FONT); }

    void ExpectOriginalState() const {
        EXPECT_EQ(CurrentFont(), originalFont);
        EXPECT_EQ(::GetBkMode(dc()), OPAQUE);
        EXPECT_EQ(::GetTextColor(dc()), kOriginalText);
        EXPECT_EQ(::GetTextAlign(dc()), static_cast<UINT>(TA_LEFT | TA_TOP));
    }

    static Font MakeFont(int height) {
        return Font{::CreateFontW(height, 0, 0, 0, FW_BOLD, 0, 0, 0, RUSSIAN_CHARSET, 0, 0, 0, 0,
                                  L"Tahoma")};
    }

    static constexpr COLORREF kOriginalText = RGB(9, 8, 7);
    // Declared before the guards of every test, so they outlive them.
    BufferedDCTestCanvas canvas{8, 8, kTargetColor};
    Font font = MakeFont(-12);
    Font otherFont = MakeFont(-20);
    HGDIOBJ originalFont = nullptr;
};

TEST_F(BufferedDCGuards, EachGuardSetsItsAttributeAndRestoresIt) {
    {
        FontGuard fontGuard(canvas.View(), font.Get());
        TextColorGuard colorGuard(canvas.View(), RGB(1, 2, 3));
        BkModeGuard modeGuard(canvas.View(), TRANSPARENT);
        TextAlignGuard alignGuard(canvas.View(), TA_CENTER | TA_BOTTOM);
        EXPECT_EQ(CurrentFont(), font.Get());
        EXPECT_EQ(::GetTextColor(dc()), RGB(1, 2, 3));
        EXPECT_EQ(::GetBkMode(dc()), TRANSPARENT);
        EXPECT_EQ(::GetTextAlign(dc()), static_cast<UINT>(TA_CENTER | TA_BOTTOM));
        EXPECT_TRUE(fontGuard.Saved() && colorGuard.Saved() && modeGuard.Saved() &&
                    alignGuard.Saved());
    }
    ExpectOriginalState();
}

TEST_F(BufferedDCGuards, RepeatedSetsRestoreTheValueFromBeforeTheFirst) {
    {
        FontGuard fontGuard(canvas.View(), font.Get());
        TextColorGuard colorGuard(canvas.View(), RGB(1, 2, 3));
        BkModeGuard modeGuard(canvas.View(), TRANSPARENT);
        TextAlignGuard alignGuard(canvas.View(), TA_CENTER | TA_BOTTOM);
        fontGuard.Set(otherFont.Get());
        colorGuard.Set(RGB(4, 5, 6));
        modeGuard.Set(OPAQUE);
        modeGuard.Set(TRANSPARENT);
        alignGuard.Set(TA_RIGHT | TA_BASELINE);
        EXPECT_EQ(CurrentFont(), otherFont.Get());
        EXPECT_EQ(::GetTextColor(dc()), RGB(4, 5, 6));
        EXPECT_EQ(::GetBkMode(dc()), TRANSPARENT);
        EXPECT_EQ(::GetTextAlign(dc()), static_cast<UINT>(TA_RIGHT | TA_BASELINE));
    }
    ExpectOriginalState();
}

TEST_F(BufferedDCGuards, AnEarlyRestoreIsTheOnlyOne) {
    FontGuard fontGuard(canvas.View(), font.Get());
    TextColorGuard colorGuard(canvas.View(), RGB(1, 2, 3));
    BkModeGuard modeGuard(canvas.View(), TRANSPARENT);
    TextAlignGuard alignGuard(canvas.View(), TA_CENTER | TA_BOTTOM);
    alignGuard.Restore();
    modeGuard.Restore();
    colorGuard.Restore();
    fontGuard.Restore();
    ExpectOriginalState();
    EXPECT_FALSE(fontGuard.Saved() || colorGuard.Saved() || modeGuard.Saved() ||
                 alignGuard.Saved());

    // What is changed afterwards is not the guards' business any more.
    ::SelectObject(dc(), otherFont.Get());
    ::SetTextColor(dc(), RGB(4, 5, 6));
    ::SetBkMode(dc(), TRANSPARENT);
    ::SetTextAlign(dc(), TA_RIGHT);
    alignGuard.Restore();
    modeGuard.Restore();
    colorGuard.Restore();
    fontGuard.Restore();
    EXPECT_EQ(CurrentFont(), otherFont.Get());
    EXPECT_EQ(::GetTextColor(dc()), RGB(4, 5, 6));
    EXPECT_EQ(::GetBkMode(dc()), TRANSPARENT);
    EXPECT_EQ(::GetTextAlign(dc()), static_cast<UINT>(TA_RIGHT));
    ::SelectObject(dc(), originalFont);
}

TEST_F(BufferedDCGuards, AFailedSetLeavesNothingToRestoreUntilOneSucceeds) {
    {
        BkModeGuard modeGuard(canvas.View(), 7); // no such mode
        FontGuard fontGuard(canvas.View(), static_cast<HFONT>(nullptr));
        EXPECT_FALSE(modeGuard.Saved());
        EXPECT_FALSE(fontGuard.Saved());
        ::SetBkMode(dc(), TRANSPARENT);
        ::SelectObject(dc(), otherFont.Get());
    }
    EXPECT_EQ(::GetBkMode(dc()), TRANSPARENT) << "nothing was saved, so nothing is restored";
    EXPECT_EQ(CurrentFont(), otherFont.Get());
    ::SelectObject(dc(), originalFont);
    ::SetBkMode(dc(), OPAQUE);

    {
        BkModeGuard modeGuard(canvas.View(), 7);
        modeGuard.Set(TRANSPARENT);
        EXPECT_TRUE(modeGuard.Saved());
    }
    EXPECT_EQ(::GetBkMode(dc()), OPAQUE) << "the first set that worked saved the old mode";

    // A context that is none: every setter fails with the guard's own nothing-saved value.
    TextColorGuard colorGuard{DCView(), RGB(1, 2, 3)};
    TextAlignGuard alignGuard{DCView(), TA_CENTER};
    EXPECT_FALSE(colorGuard.Saved());
    EXPECT_FALSE(alignGuard.Saved());
}

TEST_F(BufferedDCGuards, FontGuardDeletesAHandedFontOnceThePreviousFontIsBack) {
    Font handed = MakeFont(-16);
    const HFONT handle = handed.Get();
    ASSERT_NE(handle, nullptr);
    {
        FontGuard fontGuard(canvas.View(), std::move(handed));
        EXPECT_EQ(CurrentFont(), handle);
        fontGuard.Set(font.Get());
        EXPECT_EQ(CurrentFont(), font.Get());
    }
    EXPECT_EQ(CurrentFont(), originalFont);
    EXPECT_EQ(::GetObjectType(handle), 0u) << "the guard's own font is deleted with it";
    EXPECT_EQ(::GetObjectType(font.Get()), static_cast<DWORD>(OBJ_FONT))
        << "a borrowed font is left to its owner";
}

TEST_F(BufferedDCGuards, GuardsOnABufferedContextLeaveItForTheCopy) {
    const RECT area{0, 0, 8, 8};
    BufferedDC buffer(canvas.View(), &area);
    ASSERT_TRUE(buffer.Buffering());
    const HDC memory = buffer.View().Handle();
    const HGDIOBJ memoryFont = ::GetCurrentObject(memory, OBJ_FONT);
    {
        FontGuard fontGuard(buffer, font.Get());
        TextColorGuard colorGuard(buffer, RGB(1, 2, 3));
        EXPECT_EQ(::GetCurrentObject(memory, OBJ_FONT), font.Get());
        EXPECT_EQ(CurrentFont(), originalFont) << "the target is not the buffer";
    }
    EXPECT_EQ(::GetCurrentObject(memory, OBJ_FONT), memoryFont);
    EXPECT_EQ(::GetTextColor(memory), RGB(0, 0, 0));
}

} // namespace
} // namespace tamsivo::test
