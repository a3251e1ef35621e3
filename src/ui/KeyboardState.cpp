#include "ui/KeyboardState.h"

#include <QGuiApplication>

#ifdef KIVHELP_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace Platform {

LockState keyboardLocks()
{
    LockState state;
#ifdef KIVHELP_HAVE_X11
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->display()) {
        unsigned int indicators = 0;
        if (XkbGetIndicatorState(x11->display(), XkbUseCoreKbd, &indicators) == 0) {
            state.capsLock = indicators & 0x1;
            state.numLock = indicators & 0x2;
        }
    }
#endif
    return state;
}

} // namespace Platform
