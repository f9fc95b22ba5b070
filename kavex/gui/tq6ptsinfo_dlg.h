#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "kavex/formats/point_details.h"
#include "kavex/shell/upload_commands.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kavex {

// "Point Details": the job values the coordinate upload sends in its initial block. Built
// from the stored values and read back with details(), so it can be checked without exec().
class TQ6ptsinfoDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TQ6ptsinfoDlg(const PointDetails& details, QWidget* parent = nullptr);

  // The stored texts: every value as it was last accepted.
  PointDetails details() const { return details_; }

  // Shows a refusal in the message box (OK only). Tests replace it.
  using MessageHandler = std::function<void(const std::string& text)>;
  void setMessageHandler(MessageHandler handler) { showMessage_ = std::move(handler); }

  // The check made when an edit is left: an accepted entry is stored and shown in its
  // format; a refused one shows its message and the edit gets back the stored text,
  // selected, and the focus.
  bool Leave(PointDetailsField field);

  QLineEdit* Edit(PointDetailsField field) const { return edits_[static_cast<int>(field)]; }

  QLineEdit* SiteEd;
  QLineEdit* ElevEd;
  QLineEdit* ScaleEd;
  QLineEdit* AccEd;
  QLineEdit* Lim1Ed;
  QLineEdit* Lim2Ed;
  QLineEdit* NumPtEd;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void OkClicked();

  PointDetails details_;
  std::array<QLineEdit*, kPointDetailsFieldCount> edits_{};
  MessageHandler showMessage_;
  bool checking_ = false;
};

// The dialog as the coordinate upload asks for it, shown modally over the main window;
// the values live with the caller for the whole run.
class PointDetailsDialogPrompt final : public PointDetailsDialog {
 public:
  explicit PointDetailsDialogPrompt(QWidget* parent) : parent_(parent) {}
  bool Run(PointDetails& details) override;

 private:
  QWidget* parent_;
};

}  // namespace kavex
