#include "ulvo/gui/splash_wnd.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QScreen>

#include "ulvo/gui/pictures.h"

namespace ulvo {

CSplashWnd* CSplashWnd::ShowSplashScreen(QWidget* over) {
  const QPixmap picture = ProgramPicture();
  if (picture.isNull()) return nullptr;
  auto* splash = new CSplashWnd(picture);
  const QRect area = over && over->isVisible() ? over->frameGeometry()
                     : QGuiApplication::primaryScreen()
                         ? QGuiApplication::primaryScreen()->availableGeometry()
                         : QRect(0, 0, 800, 600);
  splash->move(area.center() - splash->rect().center());
  splash->show();
  splash->raise();
  return splash;
}

CSplashWnd::CSplashWnd(const QPixmap& picture)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(picture) {
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(picture_.deviceIndependentSize().toSize());
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &CSplashWnd::HideSplashScreen);
  timer_.start(kShowMilliseconds);
  qApp->installEventFilter(this);
}

CSplashWnd::~CSplashWnd() {
  qApp->removeEventFilter(this);
}

void CSplashWnd::HideSplashScreen() {
  if (closing_) return;
  closing_ = true;
  qApp->removeEventFilter(this);
  timer_.stop();
  close();
}

bool CSplashWnd::eventFilter(QObject* watched, QEvent* event) {
  if (closing_ || !watched->isWidgetType()) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      // Claim the key, so no shortcut acts on it; its key press closes the splash.
      event->accept();
      return true;
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
      HideSplashScreen();
      return true;
    default:
      return QWidget::eventFilter(watched, event);
  }
}

void CSplashWnd::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, picture_);
}

}  // namespace ulvo
