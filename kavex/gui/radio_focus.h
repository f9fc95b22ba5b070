#pragma once

#include <QObject>

namespace kavex {

// Tab into a radio group lands on its checked button, as in every desktop dialog, not on
// the group's first one; the arrow keys still move within the group. Watches the whole
// application once installed.
class RadioTabFocus : public QObject {
  Q_OBJECT
 public:
  // Installs the watch on the application, once.
  static void Install();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  using QObject::QObject;
};

}  // namespace kavex
