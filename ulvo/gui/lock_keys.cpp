#include "ulvo/gui/lock_keys.h"

#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#endif

namespace ulvo {

#if QT_CONFIG(xcb)
namespace {

bool IndicatorOn(Display* display, const char* name) {
  const Atom atom = XInternAtom(display, name, True);
  if (atom == 0) return false;
  int on = 0;
  return XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr) && on;
}

}  // namespace
#endif

LockKeys ReadLockKeys() {
  LockKeys keys;
#if QT_CONFIG(xcb)
  auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  auto* x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (Display* display = x11 ? x11->display() : nullptr) {
    keys.caps = IndicatorOn(display, "Caps Lock");
    keys.num = IndicatorOn(display, "Num Lock");
    keys.scroll = IndicatorOn(display, "Scroll Lock");
  }
#endif
  return keys;
}

}  // namespace ulvo
