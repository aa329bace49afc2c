#include "controls/BounceSegment.h"

#include <algorithm>

namespace tamsivo {

BounceSegment::Move BounceSegment::Advance(int position, int value, bool relative, int lower,
                                           int upper) {
    // 64-bit, so that no delta wraps before it is folded back into the range.
    long long target = value;
    if (relative) {
        long long head = position;
        // The control's position stops at the upper bound; the real head is past it while the
        // segment slides out.
        if (head == upper && head - tail_ < length_) {
            head = static_cast<long long>(tail_) + length_;
        }
        target = head + (value < 0 ? -static_cast<long long>(value) : value);
    }

    Move move;
    const long long gone = static_cast<long long>(upper) + length_;
    if (target > gone) {
        target -= static_cast<long long>(upper) - lower + length_;
        if (target > gone) {
            target = gone;
        }
        move.flipDirection = true;
    } else if (target >= upper) {
        move.repaintAll = true;
    }
    tail_ = static_cast<int>(std::max(target - length_, static_cast<long long>(lower)));
    move.value = static_cast<int>(target);
    return move;
}

} // namespace tamsivo
