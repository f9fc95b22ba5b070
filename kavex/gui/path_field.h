#pragma once

#include <QLineEdit>
#include <QString>

namespace kavex {

// A read-only field showing a file's full path. A path wider than the field is elided in
// the middle, so both the folder's start and the file name stay in sight; the whole path
// is the field's tool tip.
// Characters of an average path the fields are made wide enough for: a data folder a few
// levels deep and an automatic name.
inline constexpr int kPathFieldCharacters = 72;

class PathField : public QLineEdit {
  Q_OBJECT
 public:
  explicit PathField(QWidget* parent = nullptr);

  void SetPath(const QString& path);
  const QString& Path() const { return path_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide();

  QString path_;
};

}  // namespace kavex
