#include "kavex/gui/tcode_edit_dlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "kavex/gui/tinput_data_dlg.h"
#include "kavex/gui/tloading_data_dlg.h"

namespace kavex {

void DataEditModel::SetTable(DataEditTable* table) {
  beginResetModel();
  table_ = table;
  titles_ = table ? EditColumnTitles(table->Kind()) : std::vector<std::string>{};
  endResetModel();
}

void DataEditModel::Refresh() {
  beginResetModel();
  endResetModel();
}

int DataEditModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !table_ ? 0 : static_cast<int>(table_->ShownRowCount());
}

int DataEditModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || !table_ ? 0 : static_cast<int>(table_->ColumnCount());
}

QVariant DataEditModel::data(const QModelIndex& index, int role) const {
  if (!table_ || !index.isValid()) return {};
  // Coordinates are read as "%11.3lf" and typed ones stored as "%9.3lf" or "%10.3lf": shown
  // without their blanks and to the right, every row lines up whichever way it came.
  const bool coordinate = table_->Kind() == EditKind::kCoordinates && index.column() > 0;
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::AlignVCenter | (coordinate ? Qt::AlignRight : Qt::AlignLeft));
  if (role != Qt::DisplayRole) return {};
  const std::string cell =
      table_->Cell(static_cast<size_t>(index.row()), static_cast<size_t>(index.column()));
  const QString text = QString::fromLatin1(cell.data(), static_cast<qsizetype>(cell.size()));
  return coordinate ? text.trimmed() : text;
}

QVariant DataEditModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      static_cast<size_t>(section) >= titles_.size())
    return {};
  return QString::fromLatin1(titles_[static_cast<size_t>(section)].c_str());
}

TCodeEditDlg::TCodeEditDlg(MainLogic& logic, DataEditPrompts& prompts, TInputDataDlg& input,
                           UpdateConfirmation& confirmation, TLoadingDataDlg& loading,
                           QWidget* parent)
    : QDialog(parent),
      logic_(logic),
      prompts_(prompts),
      input_(input),
      confirmation_(confirmation),
      loading_(loading),
      table_(std::make_unique<DataEditTable>(EditKind::kCoordinates)),
      model_(new DataEditModel(this)) {
  setObjectName(QStringLiteral("TCodeEditDlg"));
  setWindowTitle(QStringLiteral("Data Edit"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  EditStringGrid = new QTableView(this);
  EditStringGrid->setObjectName(QStringLiteral("EditStringGrid"));
  EditStringGrid->setModel(model_);
  EditStringGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  EditStringGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
  EditStringGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  EditStringGrid->verticalHeader()->hide();
  EditStringGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  EditStringGrid->verticalHeader()->setDefaultSectionSize(kEditRowHeight + 4);
  EditStringGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  EditStringGrid->setFont(QFont(QStringLiteral("monospace")));
  EditStringGrid->setMinimumSize(420, 300);
  connect(EditStringGrid, &QTableView::doubleClicked, this, [this] { EditClicked(); });
  // Tab goes on to the buttons; the arrow keys move between the rows.
  EditStringGrid->setTabKeyNavigation(false);
  EditStringGrid->installEventFilter(this);

  NewButton = new QPushButton(QStringLiteral("&New"), this);
  EditButton = new QPushButton(QStringLiteral("&Edit"), this);
  DeleteButton = new QPushButton(QStringLiteral("&Delete"), this);
  OkButton = new QPushButton(QStringLiteral("OK"), this);
  CancelButton = new QPushButton(QStringLiteral("CANCEL"), this);
  for (QPushButton* b : {NewButton, EditButton, DeleteButton, OkButton, CancelButton})
    b->setAutoDefault(false);
  connect(NewButton, &QPushButton::clicked, this, &TCodeEditDlg::NewClicked);
  connect(EditButton, &QPushButton::clicked, this, &TCodeEditDlg::EditClicked);
  connect(DeleteButton, &QPushButton::clicked, this, &TCodeEditDlg::DeleteClicked);
  connect(OkButton, &QPushButton::clicked, this, &TCodeEditDlg::OkClicked);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {NewButton, EditButton, DeleteButton}) buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(EditStringGrid, 1);
  layout->addLayout(buttons);
}

TCodeEditDlg::~TCodeEditDlg() = default;

bool TCodeEditDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched != EditStringGrid || event->type() != QEvent::KeyPress)
    return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->modifiers() & ~Qt::KeypadModifier) return false;
  // The keys of a list: Return edits the selected row, Delete deletes it, Insert adds one.
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (EditButton->isEnabled()) EditClicked();
      return true;
    case Qt::Key_Delete:
      if (DeleteButton->isEnabled()) DeleteClicked();
      return true;
    case Qt::Key_Insert:
      NewClicked();
      return true;
    default:
      return false;
  }
}

void TCodeEditDlg::Open(EditKind kind) {
  loading_.show();
  QApplication::processEvents();
  model_->SetTable(nullptr);
  table_ = std::make_unique<DataEditTable>(kind);
  table_->Load(logic_.View().Lines());
  model_->SetTable(table_.get());
  const int width = EditColumnWidth(kind);
  for (int c = 0; c < model_->columnCount(); ++c) EditStringGrid->setColumnWidth(c, width);
  // The titles are wider than the stated column widths in most fonts: never cut them.
  EditStringGrid->horizontalHeader()->resizeSections(QHeaderView::ResizeToContents);
  for (int c = 0; c < model_->columnCount(); ++c)
    EditStringGrid->setColumnWidth(c, std::max(width, EditStringGrid->columnWidth(c)));
  EditStringGrid->clearSelection();
  EditStringGrid->setCurrentIndex(model_->index(0, 0));
  UpdateButtons();
  loading_.hide();
}

std::optional<std::pair<size_t, size_t>> TCodeEditDlg::Selection() const {
  const QModelIndexList rows = EditStringGrid->selectionModel()->selectedRows();
  if (rows.isEmpty()) return std::nullopt;
  int first = rows.front().row();
  int last = first;
  for (const QModelIndex& i : rows) {
    first = std::min(first, i.row());
    last = std::max(last, i.row());
  }
  return std::make_pair(static_cast<size_t>(first), static_cast<size_t>(last));
}

void TCodeEditDlg::UpdateButtons() {
  EditButton->setEnabled(table_->EditDeleteEnabled());
  DeleteButton->setEnabled(table_->EditDeleteEnabled());
}

void TCodeEditDlg::NewClicked() {
  if (input_.Run(*table_, std::nullopt, std::nullopt)) model_->Refresh();
  UpdateButtons();
}

void TCodeEditDlg::EditClicked() {
  const auto selected = Selection();
  // No selection counts as a selection that is not one row.
  const auto values = selected ? table_->EditValues(selected->first, selected->second, prompts_)
                               : table_->EditValues(1, 0, prompts_);
  if (!values) return;
  if (input_.Run(*table_, selected->first, values)) model_->Refresh();
  EditStringGrid->selectRow(static_cast<int>(selected->first));
}

void TCodeEditDlg::DeleteClicked() {
  const auto selected = Selection();
  if (!selected || !table_->Delete(selected->first, selected->second, prompts_)) return;
  model_->Refresh();
  UpdateButtons();
}

void TCodeEditDlg::OkClicked() {
  if (DataEditOk(logic_, *table_, confirmation_)) accept();
}

}  // namespace kavex
