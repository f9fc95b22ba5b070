#include "ulvo/gui/line_pane.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace ulvo {

LinePane::LinePane(TraceModel& model, Translate translate, QWidget* parent)
    : QWidget(parent), model_(model), translate_(std::move(translate)) {
  setObjectName("LinePane");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  toggle_ = new QToolButton(this);
  toggle_->setObjectName("LineToggle");
  toggle_->setText(translate_("IDS_LINE_PANE", "Line"));
  toggle_->setCheckable(true);
  toggle_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  toggle_->setArrowType(Qt::RightArrow);
  toggle_->setAutoRaise(true);
  layout->addWidget(toggle_);

  body_ = new QWidget(this);
  auto* bodyLayout = new QVBoxLayout(body_);
  bodyLayout->setContentsMargins(0, 0, 0, 0);
  text_ = new QPlainTextEdit(body_);
  text_->setObjectName("LineText");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  bodyLayout->addWidget(text_);
  auto* row = new QHBoxLayout;
  hex_ = new QCheckBox(translate_("IDS_LINE_HEX", "Hex"), body_);
  hex_->setObjectName("LineHex");
  row->addWidget(hex_);
  note_ = new QLabel(body_);
  note_->setObjectName("LineNote");
  row->addWidget(note_, 1);
  save_ = new QPushButton(translate_("IDS_LINE_SAVE", "Save trace..."), body_);
  save_->setObjectName("SaveTrace");
  row->addWidget(save_);
  bodyLayout->addLayout(row);
  layout->addWidget(body_);
  body_->setVisible(false);

  // The pane follows the traffic while its end is in view, also once the text is laid out
  // after the pane opened; scrolling up holds it where the user looks.
  QScrollBar* bar = text_->verticalScrollBar();
  connect(bar, &QScrollBar::valueChanged, this,
          [this, bar](int value) { follow_ = value == bar->maximum(); });
  connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int max) {
    if (follow_) bar->setValue(max);
  });

  timer_ = new QTimer(this);
  timer_->setInterval(kPollMs);
  connect(timer_, &QTimer::timeout, this, [this] { Refresh(); });
  connect(toggle_, &QToolButton::toggled, this, [this](bool on) {
    SetOpen(on);
    if (onOpenChanged) onOpenChanged(on);
  });
  connect(hex_, &QCheckBox::toggled, this, [this] { Rebuild(); });
  choosePath = [this] {
    return QFileDialog::getSaveFileName(
        this, translate_("IDS_LINE_SAVE", "Save trace..."), QString(),
        translate_("IDS_LINE_FILTER", "Trace files (*.txt);;All files (*)"));
  };
  connect(save_, &QPushButton::clicked, this, [this] {
    const QString path = choosePath ? choosePath() : QString();
    if (!path.isEmpty()) SaveTo(path);
  });
}

void LinePane::SetOpen(bool open) {
  open_ = open;
  if (toggle_->isChecked() != open) toggle_->setChecked(open);
  toggle_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
  body_->setVisible(open);
  // A closed pane costs the transfer nothing: it does not even look at the model.
  if (open) {
    Rebuild();
    timer_->start();
  } else {
    timer_->stop();
  }
}

void LinePane::Rebuild() {
  follow_ = true;
  text_->clear();
  shownChars_.clear();
  shownTotal_ = 0;
  generation_ = model_.Generation();
  next_ = 0;
  Refresh();
}

void LinePane::Refresh() {
  if (model_.Generation() != generation_) {
    Rebuild();
    return;
  }
  TraceModel::Rows rows = model_.Since(next_);
  if (rows.generation != generation_) {
    Rebuild();
    return;
  }
  if (rows.entries.empty()) return;
  next_ = rows.first + rows.entries.size();
  Append(rows.entries);
}

void LinePane::Append(const std::vector<TraceEntry>& entries) {
  const TraceStyle style = hex_->isChecked() ? TraceStyle::kHex : TraceStyle::kNames;
  QScrollBar* bar = text_->verticalScrollBar();
  const bool atEnd = follow_;
  QString block;
  for (const TraceEntry& e : entries) {
    const QString line = QString::fromLatin1(FormatTraceLine(e, style));
    shownChars_.push_back(static_cast<int>(line.size()) + 1);
    shownTotal_ += line.size() + 1;
    if (!block.isEmpty()) block += '\n';
    block += line;
  }
  text_->appendPlainText(block);
  // The pane holds what the model's window holds: the oldest rows leave first.
  int drop = 0;
  while (shownTotal_ > static_cast<int64_t>(TraceModel::kWindowBytes) && shownChars_.size() > 1) {
    shownTotal_ -= shownChars_.front();
    shownChars_.pop_front();
    ++drop;
  }
  if (drop > 0) {
    QTextCursor cursor(text_->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, drop);
    cursor.removeSelectedText();
  }
  if (atEnd) bar->setValue(bar->maximum());
}

void LinePane::SaveTo(const QString& path) {
  const std::string why = model_.SaveTo(path.toStdString());
  note_->setText(why.empty() ? translate_("IDS_LINE_SAVED", "Trace saved to %1").arg(path)
                             : QString::fromStdString(why));
}

}  // namespace ulvo
