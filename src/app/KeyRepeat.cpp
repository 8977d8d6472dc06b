#include "app/KeyRepeat.h"

#include <QGuiApplication>

#ifdef KERFLINE_HAVE_X11
#include <X11/XKBlib.h>
#endif

bool requestDetectableAutoRepeat() {
#ifdef KERFLINE_HAVE_X11
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (display == nullptr) {
        return false;
    }
    Bool supported = False;
    return XkbSetDetectableAutoRepeat(display, True, &supported) && supported;
#else
    return false;
#endif
}
