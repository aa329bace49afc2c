#pragma once

#include "framework/DCView.h"
#include "framework/PaintDC.h"

#include <span>
#include <type_traits>

#include <windows.h>

namespace tamsivo {

class Window;

// One window message as the window procedure received it.
struct Message {
    UINT id;
    WPARAM wParam;
    LPARAM lParam;
};

using MessageThunk = LRESULT (*)(Window& target, const Message& message);

// One line of a class's message map: which messages it takes and the thunk that calls the
// member handler with the message's arguments unpacked.
struct MessageEntry {
    enum class Kind : unsigned char {
        Message, // messages firstMessage..lastMessage
        Command, // WM_COMMAND with notification `code` from control `controlId`
        Notify,  // WM_NOTIFY with NMHDR code `code` from control `controlId`
    };

    Kind kind;
    UINT firstMessage;
    UINT lastMessage;
    UINT code;
    UINT controlId;
    MessageThunk thunk;

    bool Matches(const Message& message) const;
};

// A class's static table of entries, chained to its base class's table. Each class that
// handles messages defines one (const, in its .cpp) and returns it from GetMessageMap(); the
// most derived entry wins.
struct MessageMap {
    const MessageMap* base;
    std::span<const MessageEntry> entries;

    // The first entry of this table alone that takes `message`, or null.
    const MessageEntry* Find(const Message& message) const;
};

// A parent that has no entry of its own for WM_DRAWITEM or WM_CTLCOLOR* hands the message to
// the child control it concerns under this number, so that owner-drawn controls draw
// themselves (an entry On<Reflected(WM_DRAWITEM), &Button::DrawItem>()). The numbering is the
// platform's usual one for reflected messages (OCM_*).
inline constexpr UINT kReflectedMessageBase = WM_USER + 0x1C00;
constexpr UINT Reflected(UINT message) {
    return kReflectedMessageBase + message;
}

namespace message_map_detail {

template <class F> struct MemberTraits;
template <class C, class R, class... A> struct MemberTraits<R (C::*)(A...)> { using Class = C; };
template <auto Handler> using ClassOf = typename MemberTraits<decltype(Handler)>::Class;

inline POINT PointOf(LPARAM lParam) {
    // Coordinates are signed: a captured mouse left of or above the window gives negatives.
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

} // namespace message_map_detail

// How each message's arguments reach its handler and how the handler's value becomes the
// message's result. Any message without its own form below, the user messages among them,
// takes `LRESULT Handler(WPARAM, LPARAM)`.
template <UINT Msg> struct MessageCracker {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message& m) {
        return (self.*Handler)(m.wParam, m.lParam);
    }
};

// `void Handler()` paints by itself (or calls Default()); `void Handler(DCView)` is a paint
// routine, called with the paint context opened and closed around it. List the same routine
// for WM_PRINTCLIENT and the control draws into any context it is given.
template <> struct MessageCracker<WM_PAINT> {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message&) {
        if constexpr (std::is_invocable_v<decltype(Handler), T&, DCView>) {
            PaintDC dc(self.Hwnd());
            (self.*Handler)(dc.View());
        } else {
            (self.*Handler)();
        }
        return 0;
    }
};

// `void Handler(DCView)`: the caller's context (wParam).
template <> struct MessageCracker<WM_PRINTCLIENT> {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message& m) {
        (self.*Handler)(DCView(reinterpret_cast<HDC>(m.wParam)));
        return 0;
    }
};

// `bool Handler(DCView)`: true when the background is erased (or needs no erasing).
template <> struct MessageCracker<WM_ERASEBKGND> {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message& m) {
        return (self.*Handler)(DCView(reinterpret_cast<HDC>(m.wParam))) ? TRUE : FALSE;
    }
};

// `void Handler(UINT_PTR timerId)`.
template <> struct MessageCracker<WM_TIMER> {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message& m) {
        (self.*Handler)(static_cast<UINT_PTR>(m.wParam));
        return 0;
    }
};

// `void Handler(UINT keyFlags, POINT clientPoint)` for the mouse messages below.
struct MouseMessageCracker {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message& m) {
        (self.*Handler)(static_cast<UINT>(m.wParam), message_map_detail::PointOf(m.lParam));
        return 0;
    }
};
template <> struct MessageCracker<WM_LBUTTONDOWN> : MouseMessageCracker {};
template <> struct MessageCracker<WM_LBUTTONUP> : MouseMessageCracker {};
template <> struct MessageCracker<WM_LBUTTONDBLCLK> : MouseMessageCracker {};
template <> struct MessageCracker<WM_MOUSEMOVE> : MouseMessageCracker {};

// `bool Handler(HWND cursorWindow, UINT hitTest, UINT mouseMessage)`: true when the cursor is
// set.
template <> struct MessageCracker<WM_SETCURSOR> {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message& m) {
        return (self.*Handler)(reinterpret_cast<HWND>(m.wParam), LOWORD(m.lParam), HIWORD(m.lParam))
                   ? TRUE
                   : FALSE;
    }
};

// `void Handler(UINT controlId, const DRAWITEMSTRUCT&)`, for the parent that draws itself.
template <> struct MessageCracker<WM_DRAWITEM> {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message& m) {
        (self.*Handler)(static_cast<UINT>(m.wParam),
                        *reinterpret_cast<const DRAWITEMSTRUCT*>(m.lParam));
        return TRUE;
    }
};

// `void Handler(const DRAWITEMSTRUCT&)`, for the owner-drawn control itself.
template <> struct MessageCracker<Reflected(WM_DRAWITEM)> {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message& m) {
        (self.*Handler)(*reinterpret_cast<const DRAWITEMSTRUCT*>(m.lParam));
        return TRUE;
    }
};

// `void Handler()` for the messages below.
struct PlainMessageCracker {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message&) {
        (self.*Handler)();
        return 0;
    }
};
template <> struct MessageCracker<WM_MOUSELEAVE> : PlainMessageCracker {};
template <> struct MessageCracker<WM_SYSCOLORCHANGE> : PlainMessageCracker {};

// `void Handler(HWND otherWindow)`: the window gaining the capture or the focus.
struct WindowArgumentCracker {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message& m) {
        (self.*Handler)(reinterpret_cast<HWND>(m.wParam));
        return 0;
    }
};
template <> struct MessageCracker<WM_KILLFOCUS> : WindowArgumentCracker {};
template <> struct MessageCracker<WM_CAPTURECHANGED> {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message& m) {
        (self.*Handler)(reinterpret_cast<HWND>(m.lParam));
        return 0;
    }
};

// `HICON Handler()`: the icon shown while a minimised window is dragged.
template <> struct MessageCracker<WM_QUERYDRAGICON> {
    template <auto Handler, class T> static LRESULT Call(T& self, const Message&) {
        return reinterpret_cast<LRESULT>((self.*Handler)());
    }
};

// An entry for message `Msg`, its handler called as MessageCracker<Msg> describes.
template <UINT Msg, auto Handler> constexpr MessageEntry On() {
    return MessageEntry{MessageEntry::Kind::Message,
                        Msg,
                        Msg,
                        0,
                        0,
                        [](Window& target, const Message& m) -> LRESULT {
                            using T = message_map_detail::ClassOf<Handler>;
                            return MessageCracker<Msg>::template Call<Handler>(
                                static_cast<T&>(target), m);
                        }};
}

// `void Handler()` for the command `code` (BN_CLICKED, STN_CLICKED, LBN_DBLCLK, ...) that the
// control `controlId` sends. BN_CLICKED and STN_CLICKED are both 0.
template <auto Handler> constexpr MessageEntry Command(UINT controlId, UINT code = BN_CLICKED) {
    return MessageEntry{MessageEntry::Kind::Command,
                        WM_COMMAND,
                        WM_COMMAND,
                        code,
                        controlId,
                        [](Window& target, const Message&) -> LRESULT {
                            using T = message_map_detail::ClassOf<Handler>;
                            (static_cast<T&>(target).*Handler)();
                            return 0;
                        }};
}

// `LRESULT Handler(const NMHDR&)` for the WM_NOTIFY `code` from the control `controlId`.
template <auto Handler> constexpr MessageEntry Notify(UINT controlId, UINT code) {
    return MessageEntry{MessageEntry::Kind::Notify,
                        WM_NOTIFY,
                        WM_NOTIFY,
                        code,
                        controlId,
                        [](Window& target, const Message& m) -> LRESULT {
                            using T = message_map_detail::ClassOf<Handler>;
                            return (static_cast<T&>(target).*
                                    Handler)(*reinterpret_cast<const NMHDR*>(m.lParam));
                        }};
}

// `HBRUSH Handler(DCView, HWND control, UINT ctlType)` for all of WM_CTLCOLORMSGBOX ..
// WM_CTLCOLORSTATIC; ctlType is CTLCOLOR_MSGBOX .. CTLCOLOR_STATIC (CTLCOLOR_DLG for the
// dialog's own background). A null brush asks for the default colours.
template <auto Handler> constexpr MessageEntry CtlColor() {
    return MessageEntry{MessageEntry::Kind::Message,
                        WM_CTLCOLORMSGBOX,
                        WM_CTLCOLORSTATIC,
                        0,
                        0,
                        [](Window& target, const Message& m) -> LRESULT {
                            using T = message_map_detail::ClassOf<Handler>;
                            return reinterpret_cast<LRESULT>((static_cast<T&>(target).*Handler)(
                                DCView(reinterpret_cast<HDC>(m.wParam)),
                                reinterpret_cast<HWND>(m.lParam), m.id - WM_CTLCOLORMSGBOX));
                        }};
}

} // namespace tamsivo
