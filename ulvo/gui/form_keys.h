#pragma once

#include <QObject>

class QMdiArea;
class QMenuBar;
class QWidget;

namespace ulvo {

// The keyboard of the task windows, as in a dialog: while the focus is in a task window's
// form, Alt+letter reaches the form's own control with that mnemonic before the menu bar
// does, and Enter that no control takes presses the form's default button. The menu bar
// stays reachable by F10 and by Alt pressed and released alone.
class FormKeys : public QObject {
  Q_OBJECT

 public:
  // Watches the application's keys until destroyed.
  FormKeys(QMdiArea& area, QMenuBar& menuBar, QObject* parent);
  ~FormKeys() override;

  // The visible, enabled control of form whose text underlines key's letter (a button, a
  // label with a buddy, a group box); null when none.
  static QWidget* MnemonicTarget(QWidget* form, int key);
  // What the mnemonic does: clicks a button, gives a label's buddy the focus, ...
  static void Activate(QWidget* target);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The task window's form that holds the focus widget; null outside the task windows.
  QWidget* FocusForm() const;
  bool IsForm(const QObject* object) const;

  QMdiArea& area_;
  QMenuBar& menuBar_;
};

}  // namespace ulvo
