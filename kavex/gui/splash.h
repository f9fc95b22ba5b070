#pragma once

#include <QElapsedTimer>
#include <QSplashScreen>

namespace kavex {

// TSplash: shown while the program starts, for at least a given time.
class TSplash : public QSplashScreen {
  Q_OBJECT
 public:
  TSplash();

  // Starts the time the splash must stay up.
  void StartWait();
  // Returns once `milliseconds` have passed since StartWait, serving window events
  // meanwhile (an event loop sleeps; it does not spin).
  void HoldFor(int milliseconds);

 protected:
  // A click does not dismiss it early.
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QElapsedTimer since_;
};

}  // namespace kavex
