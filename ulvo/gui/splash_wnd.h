#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace ulvo {

// The start-up picture: gone after two seconds or at the first key or mouse press, which it
// takes for itself.
class CSplashWnd : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kShowMilliseconds = 2000;

  // Shows the splash over the program; nullptr when there is no picture to show.
  static CSplashWnd* ShowSplashScreen(QWidget* over = nullptr);
  explicit CSplashWnd(const QPixmap& picture);
  ~CSplashWnd() override;

  int RemainingMilliseconds() const { return timer_.remainingTime(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void HideSplashScreen();

  QPixmap picture_;
  QTimer timer_;
  bool closing_ = false;
};

}  // namespace ulvo
