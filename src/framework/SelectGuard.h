#pragma once

#include "framework/DCView.h"
#include "framework/GdiObject.h"

#include <type_traits>

#include <windows.h>

namespace tamsivo {

// Selects a brush, pen, font or bitmap into a context and puts the previous one back when it
// is destroyed (or moved onto). It borrows both: declare the context and the object's owner
// before the guard, so the guard goes first and the object is no longer selected when its owner
// deletes it. Regions are not objects of this kind: SelectObject copies them into the clip
// region and returns no handle to restore, hence the restricted types. Guards on one context
// nest like a stack; moving a guard onto one that still holds a selection restores that
// selection first, so do it only with an empty target (a member filled once, for instance).
class SelectGuard {
public:
    template <class Handle>
    static constexpr bool kSelectable =
        std::is_same_v<Handle, HBRUSH> || std::is_same_v<Handle, HPEN> ||
        std::is_same_v<Handle, HFONT> || std::is_same_v<Handle, HBITMAP>;

    SelectGuard() = default;
    template <class Handle>
    requires kSelectable<Handle> SelectGuard(DCView dc, Handle object)
        : SelectGuard(dc, static_cast<HGDIOBJ>(object), 0) {}
    template <class Handle>
    requires kSelectable<Handle> SelectGuard(DCView dc, const GdiObject<Handle>& object)
        : SelectGuard(dc, object.Get()) {}
    ~SelectGuard() { Restore(); }

    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    SelectGuard(SelectGuard&& other) noexcept;
    SelectGuard& operator=(SelectGuard&& other) noexcept;

    // Whether the selection succeeded and is still held.
    bool Active() const noexcept { return previous_ != nullptr; }

    // Puts the previous object back now; the guard is empty afterwards.
    void Restore() noexcept;

private:
    SelectGuard(DCView dc, HGDIOBJ object, int);

    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

} // namespace tamsivo
