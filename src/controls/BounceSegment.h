#pragma once

namespace tamsivo {

// The bouncing mode of the percent progress bar: the bar is a segment of fixed length (in
// position units) whose head is the control's position. The head runs on past the upper bound
// while the tail catches up; once the segment has slid out completely it comes back in from the
// end it left by, the bar's direction flipped.
class BounceSegment {
public:
    struct Move {
        // The position to hand to the standard control, which clamps it to the range.
        int value = 0;
        // Flip the bar's direction (the reverse style bit).
        bool flipDirection = false;
        // Repaint the whole control: the standard control stays at the upper bound and would
        // not repaint by itself while the segment slides out.
        bool repaintAll = false;
    };

    explicit BounceSegment(int length = 40) : length_(length) {}

    int Tail() const { return tail_; }
    int Length() const { return length_; }
    void SetLength(int length) { length_ = length; }

    // A move to `value`, or by `value` when relative (a negative step moves forward too), from
    // the control's current `position` within [lower, upper].
    Move Advance(int position, int value, bool relative, int lower, int upper);

private:
    int tail_ = 0;
    int length_;
};

} // namespace tamsivo
