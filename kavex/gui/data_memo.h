#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <string>
#include <vector>

#include "kavex/shell/data_view.h"

class QLabel;

namespace kavex {

// DataMemo1: the editable view of the current data. Each byte is shown as its Latin-1
// character, so whatever came from a file or an instrument goes back out unchanged.
class DataMemo : public QPlainTextEdit, public DataView {
  Q_OBJECT
 public:
  explicit DataMemo(QWidget* parent = nullptr);

  // The CurrFilePass label that SetFileLabel writes.
  void SetFileLabelWidget(QLabel* label) { fileLabel_ = label; }

  std::vector<std::string> Lines() const override;
  size_t LineCount() const override;
  void SetLines(const std::vector<std::string>& lines) override;
  void AppendLine(const std::string& line) override;
  void AppendLines(const std::vector<std::string>& lines) override;
  void ClearLines() override;
  bool Modified() const override;
  void SetModified(bool modified) override;
  void SetFileLabel(const std::string& label) override;

  // Bytes to what the view shows and back.
  static QString ToDisplay(const std::string& bytes);
  static std::string FromDisplay(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  // Characters the view can still take in place of the current selection.
  qsizetype Room() const;

  QLabel* fileLabel_ = nullptr;
};

}  // namespace kavex
