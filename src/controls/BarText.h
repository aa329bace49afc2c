#pragma once

#include "controls/BarLayout.h"
#include "controls/BarRange.h"
#include "controls/Point.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamsivo {

// The text of a percent progress bar: what it says, how large its box is for a font turned by
// quarter turns, where it is anchored, and the pieces it is clipped to so that it changes colour
// exactly at the end of the filled part.
class BarText {
public:
    struct Content {
        std::string format;
        int value = 0;
    };

    // The extent of the text box on the screen and the shift of its anchor, for a text drawn
    // with centre-bottom alignment.
    struct Box {
        int width = 0;
        int height = 0;
        int shiftX = 0;
        int shiftY = 0;
        friend bool operator==(const Box&, const Box&) = default;
    };

    // One clipped drawing of the whole text: the range it shows through, and whether it is in
    // the colour over the bar (else the colour over the background).
    struct Piece {
        BarRange range;
        bool overBar = false;
        friend bool operator==(const Piece&, const Piece&) = default;
    };

    struct Placement {
        // Where the viewport origin goes while the text is drawn at (0, 0).
        Point viewportOrigin;
        std::vector<Piece> pieces;
    };

    // The format (the window text, or the mode's default when that is empty) and its value; no
    // text when the style has neither text bit or the format ends up empty. With both bits the
    // window text is used as it is, with the value 0. Equal bounds read 0 percent.
    static std::optional<Content> Resolve(std::uint32_t style, std::string_view windowText,
                                          int position, int lower, int upper);
    // The format applied to its one integer argument. Formats are the program's own and hold a
    // single integer conversion.
    static std::string Format(const Content& content);
    // The font's escapement (tenths of a degree) as whole degrees, truncated toward zero.
    static int AngleOf(int escapement) { return escapement / 10; }
    // The box of a text of extent (cx, cy) at 0, 90, 180 or 270 degrees; nothing at any other
    // angle.
    static Box BoxFor(int angle, int cx, int cy);
    // Where the text goes and which pieces are drawn. `sameColors`: both text colours are equal.
    static Placement Place(const BarLayout& layout, const BarRange& full, const BarRange& filled,
                           const Box& box, bool sameColors);
};

} // namespace tamsivo
