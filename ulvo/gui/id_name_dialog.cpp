#include "ulvo/gui/id_name_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "ulvo/engine/text_codec.h"
#include "ulvo/gui/main_frame.h"

namespace ulvo {

IdNameDialog::IdNameDialog(pugi::xml_node listNode, std::string tag, const QString& title,
                           TranslateText translate, QWidget* parent, bool xmlNames)
    : QDialog(parent),
      listNode_(listNode),
      tag_(std::move(tag)),
      translate_(std::move(translate)),
      xmlNames_(xmlNames) {
  if (!translate_) translate_ = UntranslatedText;
  setWindowTitle(title);
  list_ = new QTreeWidget(this);
  list_->setObjectName("IDC_IDNAME_LIST");
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setColumnCount(2);
  list_->setHeaderLabels(
      {translate_("IDS_IDNAME_ID", "ID"), translate_("IDS_IDNAME_NAME", "Name")});
  list_->header()->setSectionsClickable(true);
  list_->header()->setStretchLastSection(true);
  list_->setColumnWidth(0, 140);
  idEdit_ = new QLineEdit(this);
  idEdit_->setObjectName("IDC_IDNAME_ID");
  nameEdit_ = new QLineEdit(this);
  nameEdit_->setObjectName("IDC_IDNAME_NAME");
  auto* idLabel = new QLabel(translate_("IDC_IDNAME_ID_LBL", "&ID:"), this);
  idLabel->setObjectName("IDC_IDNAME_ID_LBL");
  idLabel->setBuddy(idEdit_);
  auto* nameLabel = new QLabel(translate_("IDC_IDNAME_NAME_LBL", "&Name:"), this);
  nameLabel->setObjectName("IDC_IDNAME_NAME_LBL");
  nameLabel->setBuddy(nameEdit_);
  message_ = new QLabel(this);
  message_->setObjectName("IDC_IDNAME_MESSAGE");
  message_->setWordWrap(true);
  message_->setMinimumHeight(message_->fontMetrics().lineSpacing());
  addButton_ = new QPushButton(translate_("IDC_IDNAME_ADD_BTN", "Add"), this);
  addButton_->setObjectName("IDC_IDNAME_ADD_BTN");
  removeButton_ = new QPushButton(translate_("IDC_IDNAME_REMOVE_BTN", "Remove"), this);
  removeButton_->setObjectName("IDC_IDNAME_REMOVE_BTN");
  removeButton_->setEnabled(false);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(translate_("IDOK", "OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName("IDOK");
  QPushButton* cancel =
      buttons->addButton(translate_("IDCANCEL", "Cancel"), QDialogButtonBox::RejectRole);
  cancel->setObjectName("IDCANCEL");

  auto* layout = new QGridLayout(this);
  layout->addWidget(list_, 0, 0, 1, 3);
  layout->addWidget(idLabel, 1, 0);
  layout->addWidget(nameLabel, 1, 1, 1, 2);
  layout->addWidget(idEdit_, 2, 0);
  layout->addWidget(nameEdit_, 2, 1, 1, 2);
  layout->addWidget(message_, 3, 0, 1, 3);
  layout->addWidget(addButton_, 4, 0);
  layout->addWidget(removeButton_, 4, 1);
  layout->addWidget(buttons, 5, 0, 1, 3);
  layout->setColumnStretch(1, 1);
  resize(420, 360);

  connect(buttons, &QDialogButtonBox::accepted, this, &IdNameDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &IdNameDialog::reject);
  connect(addButton_, &QPushButton::clicked, this, &IdNameDialog::OnAdd);
  connect(removeButton_, &QPushButton::clicked, this, &IdNameDialog::OnRemove);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &IdNameDialog::OnSelectionChanged);
  connect(idEdit_, &QLineEdit::textEdited, this, &IdNameDialog::OnIdEdited);
  connect(nameEdit_, &QLineEdit::textEdited, this, &IdNameDialog::OnNameEdited);
  connect(list_->header(), &QHeaderView::sectionClicked, this, &IdNameDialog::OnSort);

  SetHelpId(list_, 2503);
  SetHelpId(idEdit_, 2504);
  SetHelpId(nameEdit_, 2505);
  SetHelpId(addButton_, 2501);
  SetHelpId(removeButton_, 2502);

  rows_.Read(listNode_, tag_);
  Fill(-1);
}

void IdNameDialog::Fill(int selected) {
  {
    const QSignalBlocker blocker(list_);
    list_->clear();
    for (const IdName& row : rows_.Rows()) {
      list_->addTopLevelItem(new QTreeWidgetItem(
          QStringList{QString::fromStdString(row.id), QString::fromStdString(row.name)}));
    }
  }
  Select(selected);
}

int IdNameDialog::Selected() const {
  const QList<QTreeWidgetItem*> items = list_->selectedItems();
  return items.isEmpty() ? -1 : list_->indexOfTopLevelItem(items.first());
}

void IdNameDialog::Select(int row) {
  list_->clearSelection();
  if (row >= 0 && row < list_->topLevelItemCount()) {
    list_->setCurrentItem(list_->topLevelItem(row));
    list_->scrollToItem(list_->topLevelItem(row));
  }
  OnSelectionChanged();
}

void IdNameDialog::OnSelectionChanged() {
  const int row = Selected();
  removeButton_->setEnabled(row >= 0);
  idEdit_->setEnabled(row >= 0);
  nameEdit_->setEnabled(row >= 0);
  if (row < 0) {
    idEdit_->clear();
    nameEdit_->clear();
    return;
  }
  const IdName& entry = rows_.Row(static_cast<size_t>(row));
  idEdit_->setText(QString::fromStdString(entry.id));
  nameEdit_->setText(QString::fromStdString(entry.name));
}

void IdNameDialog::OnAdd() {
  const size_t row = rows_.Add(translate_("IDS_IDNAME_ID", "ID").toStdString(),
                               translate_("IDS_IDNAME_NAME", "Name").toStdString());
  Fill(static_cast<int>(row));
  idEdit_->setFocus();
  idEdit_->selectAll();
}

void IdNameDialog::OnRemove() {
  const int row = Selected();
  if (row < 0) return;
  Fill(rows_.Remove(static_cast<size_t>(row)));
}

QString IdNameDialog::Storable(QLineEdit* edit, const QString& text, bool removeSpaces) {
  // Each character goes or stays on its own, so the caret keeps its place among those kept.
  QString kept;
  int caret = edit->cursorPosition();
  std::string refused;
  for (int i = 0; i < text.size();) {
    const int length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QString piece = text.mid(i, length);
    const std::string character = FirstUnstorableCharacter(piece.toStdString());
    const bool space = removeSpaces && piece == " ";
    if (character.empty() && !space) {
      kept += piece;
    } else {
      if (refused.empty() && !character.empty()) refused = character;
      if (i < edit->cursorPosition()) caret -= length;
    }
    i += length;
  }
  ShowMessage(refused.empty() ? QString()
                              : translate_("IDS_IDNAME_CHAR_ERR",
                                           "The character %s cannot be stored in the list; it "
                                           "was left out.")
                                    .replace("%s", QString::fromStdString(refused)));
  if (kept != text) {
    edit->setText(kept);
    edit->setCursorPosition(caret);
  }
  return kept;
}

void IdNameDialog::OnIdEdited(const QString& text) {
  const int row = Selected();
  const std::string id = Storable(idEdit_, text, true).toStdString();
  if (row < 0) return;
  rows_.SetId(static_cast<size_t>(row), id);
  list_->topLevelItem(row)->setText(0, QString::fromStdString(id));
}

void IdNameDialog::OnNameEdited(const QString& text) {
  const int row = Selected();
  const QString name = Storable(nameEdit_, text, false);
  if (row < 0) return;
  rows_.SetName(static_cast<size_t>(row), name.toStdString());
  list_->topLevelItem(row)->setText(1, name);
}

void IdNameDialog::ShowMessage(const QString& text) {
  message_->setText(text);
}

void IdNameDialog::Warn(const QString& text) {
  if (warn_) {
    warn_(text);
  } else {
    QMessageBox::warning(this, windowTitle(), text);
  }
}

void IdNameDialog::OnSort(int column) {
  Fill(rows_.Sort(column, Selected()));
}

void IdNameDialog::accept() {
  // Rows read from a hand-edited file are checked as typed ones are.
  for (size_t row = 0; row < rows_.Count(); ++row) {
    const IdName& entry = rows_.Row(row);
    std::string character = FirstUnstorableCharacter(entry.id);
    if (character.empty()) character = FirstUnstorableCharacter(entry.name);
    QString text;
    if (!character.empty()) {
      text = translate_("IDS_IDNAME_STORE_ERR",
                        "The character %s cannot be stored in the list: remove it from the "
                        "selected row.")
                 .replace("%s", QString::fromStdString(character));
    } else if (xmlNames_ && !IsXmlName(entry.id)) {
      text = IdentifierRefusal(translate_, entry.id);
    } else {
      continue;
    }
    Select(static_cast<int>(row));
    Warn(text);
    return;
  }
  rows_.Write(listNode_, tag_);
  QDialog::accept();
}

}  // namespace ulvo
