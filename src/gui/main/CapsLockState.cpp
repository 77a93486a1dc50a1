#include "gui/main/CapsLockState.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>

#ifdef Q_OS_WIN
#include <windows.h>
#elif defined(VOXILO_HAVE_X11)
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace voxilo {

std::optional<bool> readCapsLock() {
#ifdef Q_OS_WIN
    return (GetKeyState(VK_CAPITAL) & 1) != 0;
#elif defined(VOXILO_HAVE_X11)
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (display == nullptr) return std::nullopt;
    // The named indicator, not a bit position: keyboard maps differ in where they put it.
    static const Atom capsLock = XInternAtom(display, "Caps Lock", False);
    Bool on = False;
    if (XkbGetNamedIndicator(display, capsLock, nullptr, &on, nullptr, nullptr)) {
        return on != False;
    }
    // Without that indicator, the locked modifier itself.
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) return std::nullopt;
    return (state.locked_mods & LockMask) != 0;
#else
    return std::nullopt;
#endif
}

}  // namespace voxilo
