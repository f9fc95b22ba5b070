#include "kavex/gui/splash.h"

#include <QEventLoop>
#include <QTimer>

#include "kavex/gui/program_icon.h"

namespace kavex {

TSplash::TSplash() : QSplashScreen(SplashPixmap()) {
  setObjectName(QStringLiteral("TSplash"));
}

void TSplash::StartWait() {
  since_.start();
}

void TSplash::HoldFor(int milliseconds) {
  if (!since_.isValid()) since_.start();
  const qint64 remaining = milliseconds - since_.elapsed();
  if (remaining <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(remaining), &loop, &QEventLoop::quit);
  loop.exec();
}

void TSplash::mousePressEvent(QMouseEvent* /*event*/) {}

}  // namespace kavex
