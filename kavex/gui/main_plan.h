#pragma once

#include <QObject>

class QAction;
class QMenu;
class QToolButton;

namespace kavex {

class PlanPane;
class TCodeEditDlg;
class TMainForm;

// The "Plan" pane in the main window: its "&View" menu item and tool button, the wider
// window while it is open (remembered for the next start), and the selected point kept
// with the view's line and the Data Edit row.
class MainPlan : public QObject {
 public:
  MainPlan(TMainForm& form, TCodeEditDlg& edit);

  PlanPane* Pane() const { return pane_; }
  QAction* PlanItem() const { return planItem_; }
  QMenu* ViewMenu() const { return viewMenu_; }
  QToolButton* PlanButton() const { return button_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Show(bool open);

  TMainForm& form_;
  TCodeEditDlg& edit_;
  int baseWidth_;
  PlanPane* pane_;
  QAction* planItem_;
  QMenu* viewMenu_;
  QToolButton* button_;
};

}  // namespace kavex
