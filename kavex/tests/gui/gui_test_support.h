#pragma once

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace kavex::testing {

// One application object for every GUI test of the executable.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "kavex_gui_tests";
  static char* argv[] = {name, nullptr};
  static auto* app = new QApplication(argc, argv);
  return *app;
}

// Acts on the next modal dialog once it is up (the test itself is blocked in exec()).
inline void WhenModal(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      act(w);
    }
  });
  timer->start();
}

// Acts on the next modal dialog of type T: windows of other types that come and go before
// it ("Loading now . . .") are passed over.
template <typename T>
void WhenShown(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)] {
    if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(w);
    }
  });
  timer->start();
}

// Presses the button with the given caption on the next modal dialog.
inline void PressOnModal(const QString& caption) {
  WhenModal([caption](QWidget* w) {
    for (QPushButton* b : w->findChildren<QPushButton*>())
      if (b->isVisible() && b->text() == caption) {
        b->click();
        return;
      }
    w->close();
  });
}

}  // namespace kavex::testing
