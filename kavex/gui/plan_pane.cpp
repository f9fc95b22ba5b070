#include "kavex/gui/plan_pane.h"

#include <QComboBox>
#include <QDate>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "kavex/exports/dxf_export.h"
#include "kavex/formats/replace_file.h"
#include "kavex/gui/data_memo.h"
#include "kavex/platform/plan_painter.h"

namespace kavex {
namespace {

constexpr double kZoomStep = 1.25;
constexpr double kPickRadius = 8.0;
constexpr int kDragStart = 4;
constexpr int kScales[] = {100, 200, 250, 500, 1000, 2000, 2500, 5000, 10000, 25000, 50000};

}  // namespace

PlanCanvas::PlanCanvas(const PlanModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("PlanCanvas"));
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(200, 200);
  const QFontMetrics fm(font());
  style_ = ScreenStyle();
  style_.charHeight = fm.height();
  style_.charWidth = std::max(fm.averageCharWidth(), fm.horizontalAdvance(QLatin1Char('0')));
  style_.labelGap = 3;
  style_.markRadius = 2.5;
  style_.northSize = 34;
}

void PlanCanvas::SetView(const PlanView& view) {
  view_ = view;
  view_.width = width();
  view_.height = height();
  autoFit_ = false;
  update();
}

void PlanCanvas::Fit() {
  view_ = FitView(model_.MainExtent(), width(), height(), 3 * style_.margin);
  autoFit_ = true;
  update();
}

void PlanCanvas::ModelChanged() {
  if (autoFit_) {
    Fit();
  } else {
    update();
  }
}

void PlanCanvas::Select(std::optional<size_t> point, bool bringIntoView) {
  selected_ = point;
  if (point && bringIntoView && *point < model_.Points().size()) {
    const SurveyPoint& p = model_.Points()[*point];
    const PlanPoint at = ToArea(view_, p.northing, p.easting);
    if (at.x < style_.margin || at.y < style_.margin || at.x > view_.width - style_.margin ||
        at.y > view_.height - style_.margin) {
      view_.centreNorthing = p.northing;
      view_.centreEasting = p.easting;
      autoFit_ = false;
    }
  }
  update();
}

void PlanCanvas::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  if (model_.Points().empty()) {
    p.setPen(QColor(128, 128, 128));
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("No points"));
  } else {
    PaintPlanArea(p, model_, DrawPlan(model_, view_, style_), style_, 1.0, QPointF(0, 0),
                  selected_);
  }
  if (hasFocus()) {
    p.setPen(QPen(palette().highlight().color(), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void PlanCanvas::resizeEvent(QResizeEvent*) {
  view_.width = width();
  view_.height = height();
  if (autoFit_) Fit();
}

void PlanCanvas::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) return;
  const QPointF at = event->position();
  view_ = Zoomed(view_, std::pow(kZoomStep, steps), {at.x(), at.y()});
  autoFit_ = false;
  update();
  event->accept();
}

void PlanCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  pressed_ = true;
  dragging_ = false;
  pressAt_ = event->position().toPoint();
  pressView_ = view_;
}

void PlanCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_) return;
  const QPoint d = event->position().toPoint() - pressAt_;
  if (!dragging_ && d.manhattanLength() < kDragStart) return;
  dragging_ = true;
  view_ = Panned(pressView_, d.x(), d.y());
  autoFit_ = false;
  update();
}

void PlanCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  if (dragging_) return;
  const QPointF at = event->position();
  const std::optional<size_t> point = PointAt(model_, view_, {at.x(), at.y()}, kPickRadius);
  if (!point) return;
  Select(point, false);
  if (onPicked) onPicked(*point);
}

void PlanCanvas::keyPressEvent(QKeyEvent* event) {
  const PlanPoint centre{view_.width / 2, view_.height / 2};
  const double step = std::min(view_.width, view_.height) / 8;
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      view_ = Zoomed(view_, kZoomStep, centre);
      break;
    case Qt::Key_Minus:
      view_ = Zoomed(view_, 1 / kZoomStep, centre);
      break;
    case Qt::Key_Left:
      view_ = Panned(view_, step, 0);
      break;
    case Qt::Key_Right:
      view_ = Panned(view_, -step, 0);
      break;
    case Qt::Key_Up:
      view_ = Panned(view_, 0, step);
      break;
    case Qt::Key_Down:
      view_ = Panned(view_, 0, -step);
      break;
    case Qt::Key_Home:
      Fit();
      return;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  autoFit_ = false;
  update();
}

PlanPane::PlanPane(DataMemo& view, QWidget* parent)
    : QWidget(parent), text_(view), reader_(std::make_unique<SurveyPointReader>()) {
  setObjectName(QStringLiteral("PlanPane"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 0, 0, 0);
  header_ = new QLabel(this);
  header_->setObjectName(QStringLiteral("PlanHeader"));
  header_->setTextFormat(Qt::PlainText);
  header_->setWordWrap(true);
  layout->addWidget(header_);
  canvas_ = new PlanCanvas(model_, this);
  layout->addWidget(canvas_, 1);
  auto* row = new QHBoxLayout;
  fit_ = new QPushButton(QStringLiteral("Fit"), this);
  fit_->setObjectName(QStringLiteral("PlanFit"));
  fit_->setToolTip(QStringLiteral("Show every point (Home)"));
  row->addWidget(fit_);
  sheet_ = new QComboBox(this);
  sheet_->setObjectName(QStringLiteral("PlanSheet"));
  sheet_->addItems({QStringLiteral("Present view"), QStringLiteral("A4"), QStringLiteral("A3")});
  row->addWidget(sheet_);
  scale_ = new QComboBox(this);
  scale_->setObjectName(QStringLiteral("PlanScale"));
  scale_->addItem(QStringLiteral("Fitted scale"), 0);
  for (int s : kScales) scale_->addItem(QStringLiteral("1:%1").arg(s), s);
  scale_->setEnabled(false);
  row->addWidget(scale_);
  row->addStretch();
  save_ = new QPushButton(QStringLiteral("Save plan as..."), this);
  save_->setObjectName(QStringLiteral("SavePlan"));
  row->addWidget(save_);
  layout->addLayout(row);
  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("PlanNote"));
  note_->setTextFormat(Qt::PlainText);
  layout->addWidget(note_);
  setFixedWidth(kWidth);
  setVisible(false);

  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  timer_->setInterval(kSettleMs);
  connect(timer_, &QTimer::timeout, this, [this] { Refresh(); });
  connect(&text_, &DataMemo::linesChanged, this,
          [this](int first, int removed, int) { LinesChanged(first, removed); });
  connect(&text_, &DataMemo::cursorLineChanged, this, [this](int line) {
    if (open_ && !following_) SelectLine(line);
  });
  connect(fit_, &QPushButton::clicked, this, [this] { canvas_->Fit(); });
  connect(sheet_, &QComboBox::currentIndexChanged, this,
          [this](int index) { scale_->setEnabled(index > 0); });
  canvas_->onPicked = [this](size_t point) {
    SelectPoint(point);
    if (onPicked) onPicked(point);
  };
  choosePath = [this] {
    QStringList filters;
    for (const PlanFileFormat& f : PlanFileFormats()) filters << QString::fromLatin1(f.filter);
    return QFileDialog::getSaveFileName(this, QStringLiteral("Save plan as"), QString(),
                                        filters.join(QStringLiteral(";;")));
  };
  connect(save_, &QPushButton::clicked, this, [this] {
    const QString path = choosePath ? choosePath() : QString();
    if (!path.isEmpty()) SaveTo(path);
  });
  UpdateHeader();
}

PlanPane::~PlanPane() = default;

void PlanPane::SetOpen(bool open) {
  if (open == open_) return;
  open_ = open;
  setVisible(open);
  if (open) {
    Refresh();  // a closed pane reads nothing: it catches up now
  } else {
    timer_->stop();
  }
  if (onOpenChanged) onOpenChanged(open);
}

void PlanPane::LinesChanged(int first, int removed) {
  if (!open_) {
    stale_ = true;  // read when the pane opens
    return;
  }
  if (stale_) {
    Wait(true);
    return;
  }
  const auto read = static_cast<int>(reader_->LineCount());
  // New lines after the last one read leave every line read as it was.
  if (first >= read) {
    appended_ = true;
  } else {
    stale_ = true;
    // The whole text replaced (Open, a conversion, Data Edit's OK): a new picture.
    if (first == 0 && removed >= read) canvas_->FitNext();
    Wait(true);
    return;
  }
  Wait(false);
}

void PlanPane::Wait(bool untilQuiet) {
  // Typing waits until it pauses, since reading everything again at each key would lag; but
  // never longer than kMaxWaitMs, so that a fast download still shows its points as they
  // come.
  if (!timer_->isActive()) {
    pending_.start();
    timer_->start();
  } else if (untilQuiet && pending_.elapsed() < kMaxWaitMs) {
    timer_->start();
  }
}

void PlanPane::Refresh() {
  if (!open_) return;
  timer_->stop();
  if (stale_) {
    Rebuild();
  } else if (appended_) {
    ReadNewLines();
  }
}

void PlanPane::Rebuild() {
  reader_ = std::make_unique<SurveyPointReader>();
  stale_ = false;
  const std::optional<size_t> selected = canvas_->Selected();
  ReadNewLines();
  model_.SetPoints(reader_->Points());
  if (selected && *selected >= model_.Points().size()) canvas_->Select(std::nullopt, false);
  canvas_->ModelChanged();
  UpdateHeader();
}

void PlanPane::ReadNewLines() {
  appended_ = false;
  const size_t before = reader_->Points().size();
  for (size_t line = reader_->LineCount(); line < text_.LineCount(); ++line)
    reader_->AddLine(text_.LineAt(line));
  const std::vector<SurveyPoint>& points = reader_->Points();
  if (points.size() == before) return;
  model_.AddPoints(
      std::vector<SurveyPoint>(points.begin() + static_cast<std::ptrdiff_t>(before), points.end()));
  canvas_->ModelChanged();
  UpdateHeader();
}

void PlanPane::UpdateHeader() {
  std::string text =
      PlanHeaderText(model_.Points().size(), model_.SameNameCount(), model_.FarCount());
  if (reader_->Misaligned()) text += std::string("; ") + kPointsMisalignedNote;
  header_->setText(QString::fromStdString(text));
  save_->setEnabled(!model_.Points().empty());
}

void PlanPane::SelectLine(int line) {
  const std::vector<SurveyPoint>& points = model_.Points();
  const auto it =
      std::lower_bound(points.begin(), points.end(), static_cast<size_t>(std::max(0, line)),
                       [](const SurveyPoint& p, size_t l) { return p.sourceLine < l; });
  if (it == points.end() || it->sourceLine != static_cast<size_t>(line)) {
    canvas_->Select(std::nullopt, false);
    return;
  }
  canvas_->Select(static_cast<size_t>(it - points.begin()), true);
}

void PlanPane::SelectPoint(size_t point) {
  if (point >= model_.Points().size()) return;
  canvas_->Select(point, true);
  following_ = true;
  text_.SelectLine(static_cast<int>(model_.Points()[point].sourceLine));
  following_ = false;
}

std::optional<int> PlanPane::RowOf(size_t point) const {
  if (point >= model_.Points().size() || reader_->Unreadable() || !CoordinateTable())
    return std::nullopt;
  return static_cast<int>(point);
}

std::optional<size_t> PlanPane::PointOfRow(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= model_.Points().size() || reader_->Unreadable() ||
      !CoordinateTable())
    return std::nullopt;
  return static_cast<size_t>(row);
}

bool PlanPane::CoordinateTable() const {
  // EDIT MODE's own test of the first line.
  return IsCoordinateLine(text_.LineAt(0));
}

bool PlanPane::SaveTo(const QString& chosen) {
  QString path = chosen;
  const PlanFileFormat* format = PlanFileFormatOf(QFile::encodeName(path).toStdString());
  if (!format) {
    format = &PlanFileFormats().front();
    path += QString::fromLatin1(format->extension);
  }
  const std::string date = QDate::currentDate().toString(Qt::ISODate).toStdString();
  const std::string name = title ? title().toStdString() : std::string();
  std::string bytes;
  if (sheet_->currentIndex() == 0) {
    bytes = PlanFileBytes(format->type, model_, ScreenSheet(model_, canvas_->View(), name, date),
                          canvas_->Style());
  } else {
    const PlanPaper paper = sheet_->currentIndex() == 1 ? PlanPaper::kA4 : PlanPaper::kA3;
    bytes = PlanFileBytes(format->type, model_,
                          PaperSheet(model_, paper, scale_->currentData().toInt(), name, date),
                          PaperStyle());
  }
  const std::string file = QFile::encodeName(path).toStdString();
  std::string why =
      bytes.empty() ? std::string("the plan could not be drawn") : ReplaceFileWith(file, bytes);
  if (!why.empty()) {
    note_->clear();
    if (onMessage) onMessage(std::string(kPlanNotSavedMessage) + " " + file + ": " + why);
    return false;
  }
  note_->setText(QStringLiteral("Saved ") + QFileInfo(path).fileName());
  return true;
}

}  // namespace kavex
