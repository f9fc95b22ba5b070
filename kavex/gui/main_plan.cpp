#include "kavex/gui/main_plan.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QToolButton>
#include <algorithm>

#include "kavex/gui/data_memo.h"
#include "kavex/gui/main_form.h"
#include "kavex/gui/plan_pane.h"
#include "kavex/gui/tcode_edit_dlg.h"
#include "kavex/platform/config_paths.h"

namespace kavex {
namespace {

QString WindowStateFile() {
  return QString::fromStdString(
      (KavexSettingsPaths().settingsFile.parent_path() / "KavexWindows.ini").string());
}

// Scattered points under a north arrow.
QIcon PlanIcon() {
  QPixmap pixmap(48, 48);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(2, 2);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(16, 48, 112));
  for (const QPointF& at :
       {QPointF(4, 19), QPointF(9, 14), QPointF(7, 8), QPointF(14, 17), QPointF(12, 11)})
    p.drawEllipse(at, 1.8, 1.8);
  p.setBrush(QColor(208, 16, 16));
  p.drawEllipse(QPointF(20, 20), 2.2, 2.2);
  p.setBrush(Qt::black);
  const QPointF arrow[] = {{19, 2}, {22, 10}, {19, 8}, {16, 10}};
  p.drawPolygon(arrow, 4);
  return QIcon(pixmap);
}

}  // namespace

MainPlan::MainPlan(TMainForm& form, TCodeEditDlg& edit)
    : QObject(&form), form_(form), edit_(edit), baseWidth_(form.width()) {
  pane_ = new PlanPane(*form.DataMemo1, &form);
  // The window's own content stays as it is; the pane stands to its right.
  QWidget* content = form.takeCentralWidget();
  auto* host = new QWidget(&form);
  auto* row = new QHBoxLayout(host);
  row->setContentsMargins(0, 0, 4, 4);
  row->setSpacing(0);
  row->addWidget(content, 1);
  row->addWidget(pane_);
  content->setFixedWidth(baseWidth_);
  form.setCentralWidget(host);

  planItem_ = new QAction(PlanIcon(), QStringLiteral("&Plan"), &form);
  planItem_->setObjectName(QStringLiteral("PlanItem"));
  planItem_->setToolTip(QStringLiteral("Plan of the points"));
  planItem_->setCheckable(true);
  viewMenu_ = new QMenu(QStringLiteral("Vie&w"), form.menuBar());
  viewMenu_->setObjectName(QStringLiteral("ViewMenu"));
  viewMenu_->addAction(planItem_);
  form.menuBar()->insertMenu(form.HelpMenu->menuAction(), viewMenu_);

  // After the tool bar's own buttons, before its closing stretch.
  button_ = new QToolButton(content);
  button_->setObjectName(QStringLiteral("PlanItemButton"));
  button_->setDefaultAction(planItem_);
  button_->setIconSize(QSize(24, 24));
  button_->setAutoRaise(true);
  if (auto* tools = qobject_cast<QHBoxLayout*>(content->layout()->itemAt(0)->layout())) {
    tools->insertSpacing(tools->count() - 1, 14);
    tools->insertWidget(tools->count() - 1, button_);
  }

  connect(planItem_, &QAction::toggled, this, [this](bool on) { Show(on); });
  pane_->title = [this] { return form_.CurrFilePass->text(); };
  pane_->onMessage = [this](const std::string& text) { form_.Logic().ShowMessage(text); };
  pane_->onOpenChanged = [](bool open) {
    QSettings(WindowStateFile(), QSettings::IniFormat).setValue("PlanPane/open", open);
  };

  // Data Edit: it opens on the plan's point; its current row is the plan's point.
  edit_.installEventFilter(this);
  connect(edit_.EditStringGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            // Filling the table before it is shown puts row 0 current: that is no choice.
            if (!pane_->IsOpen() || !edit_.isVisible() || !current.isValid()) return;
            if (const std::optional<size_t> point = pane_->PointOfRow(current.row()))
              pane_->Canvas()->Select(point, true);
          });

  const bool open =
      QSettings(WindowStateFile(), QSettings::IniFormat).value("PlanPane/open", false).toBool();
  planItem_->setChecked(open);
  Show(open);
}

void MainPlan::Show(bool open) {
  pane_->SetOpen(open);
  if (planItem_->isChecked() != open) planItem_->setChecked(open);
  const int width = open ? baseWidth_ + PlanPane::kWidth + 4 : baseWidth_;
  form_.setFixedSize(width, form_.height());
  // A window that grew past the screen's right edge moves left, so the plan is not cut off.
  if (QScreen* screen = form_.screen(); screen && form_.isVisible()) {
    const QRect area = screen->availableGeometry();
    const int frameWidth = width + form_.frameGeometry().width() - form_.geometry().width();
    if (form_.x() + frameWidth - 1 > area.right())
      form_.move(std::max(area.left(), area.right() + 1 - frameWidth), form_.y());
  }
}

bool MainPlan::eventFilter(QObject* watched, QEvent* event) {
  // After the dialog's own showing, which puts its first row current.
  if (watched == &edit_ && event->type() == QEvent::Show && pane_->IsOpen())
    QMetaObject::invokeMethod(
        this,
        [this] {
          const std::optional<size_t> point = pane_->Canvas()->Selected();
          const std::optional<int> row = point ? pane_->RowOf(*point) : std::nullopt;
          QTableView* grid = edit_.EditStringGrid;
          if (!row || *row >= grid->model()->rowCount()) return;
          grid->selectRow(*row);
          grid->scrollTo(grid->model()->index(*row, 0));
        },
        Qt::QueuedConnection);
  return QObject::eventFilter(watched, event);
}

}  // namespace kavex
