#include "app/LockKeys.h"

#include <QGuiApplication>

#ifdef _WIN32
#include <windows.h>
#elif defined(KERFLINE_HAVE_X11)
#include <X11/XKBlib.h>
#endif

std::optional<LockKeyState> queryLockKeys() {
#ifdef _WIN32
    return LockKeyState{(GetKeyState(VK_CAPITAL) & 1) != 0, (GetKeyState(VK_NUMLOCK) & 1) != 0,
                        (GetKeyState(VK_SCROLL) & 1) != 0};
#elif defined(KERFLINE_HAVE_X11)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (display == nullptr) {
        return std::nullopt;
    }
    const auto indicator = [display](const char* name) {
        Bool on = False;
        const Atom atom = XInternAtom(display, name, True);
        return atom != None && XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr) && on;
    };
    return LockKeyState{indicator("Caps Lock"), indicator("Num Lock"), indicator("Scroll Lock")};
#else
    return std::nullopt;
#endif
}
