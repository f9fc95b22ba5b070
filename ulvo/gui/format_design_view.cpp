#include "ulvo/gui/format_design_view.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>

#include "ulvo/engine/identifier_list.h"
#include "ulvo/engine/text_codec.h"
#include "ulvo/gui/element_dialog.h"
#include "ulvo/gui/id_name_combo.h"
#include "ulvo/gui/literal_dialog.h"
#include "ulvo/gui/main_frame.h"

namespace ulvo {
namespace {

enum IconIndex { kFormatIcon, kGroupIcon, kLiteralIcon, kElementIcon };

// The four small list icons, drawn once: a coloured tile with the kind's initial.
const QIcon& ListIcon(IconIndex index) {
  static const std::vector<QIcon> icons = [] {
    const struct {
      QColor colour;
      const char* letter;
    } kinds[] = {{QColor(40, 90, 160), "F"},
                 {QColor(40, 130, 60), "G"},
                 {QColor(170, 110, 20), "L"},
                 {QColor(140, 40, 120), "E"}};
    std::vector<QIcon> made;
    for (const auto& kind : kinds) {
      QPixmap pixmap(16, 16);
      pixmap.fill(Qt::transparent);
      QPainter painter(&pixmap);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setBrush(kind.colour);
      painter.setPen(Qt::NoPen);
      painter.drawRoundedRect(QRectF(1, 1, 14, 14), 3, 3);
      QFont font = painter.font();
      font.setPixelSize(11);
      font.setBold(true);
      painter.setFont(font);
      painter.setPen(Qt::white);
      painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, kind.letter);
      painter.end();
      made.emplace_back(pixmap);
    }
    return made;
  }();
  return icons[static_cast<size_t>(index)];
}

QListWidget* NewList(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(name);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setMinimumSize(140, 240);
  list->setIconSize(QSize(16, 16));
  return list;
}

template <typename T>
T* Data(const QListWidgetItem* item) {
  return item ? reinterpret_cast<T*>(item->data(Qt::UserRole).value<quintptr>()) : nullptr;
}

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

// A row of the formats or groups list: its label can be edited, its data is the object.
QListWidgetItem* NewNamedRow(IconIndex icon, const std::string& name, const void* object) {
  auto* row = new QListWidgetItem(ListIcon(icon), Utf8(name));
  row->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(object)));
  row->setFlags(row->flags() | Qt::ItemIsEditable);
  return row;
}

// A new row is appended, selected and its label opened for editing.
void AppendAndEdit(QListWidget* list, QListWidgetItem* row) {
  {
    const QSignalBlocker blocker(list);
    list->addItem(row);
  }
  list->setCurrentItem(row);
  list->scrollToItem(row);
  list->editItem(row);
}

// Deletes the selected row, leaving nothing selected; returns its object.
template <typename T>
T* TakeSelectedRow(QListWidget* list) {
  const QList<QListWidgetItem*> rows = list->selectedItems();
  if (rows.isEmpty()) return nullptr;
  T* object = Data<T>(rows.first());
  const QSignalBlocker blocker(list);
  delete rows.first();
  list->clearSelection();
  list->setCurrentItem(nullptr);
  return object;
}

}  // namespace

FormatDesignView::FormatDesignView(FormatDesignContext context, QWidget* parent)
    : QWidget(parent), context_(std::move(context)), design_(context_.programFolder) {
  if (!context_.translate) context_.translate = UntranslatedText;
  design_.SetChunkWriter(context_.write);
  setObjectName("FormatDesignView");
  setWindowTitle(Text("IDS_DESIGN_TITLE", "Format Design"));
  const pugi::xml_node conversion = context_.settings.child("conversion");
  IdNameList list;
  list.Read(conversion.child("types"), "type");
  types_ = list.Rows();
  list.Read(conversion.child("groups"), "group");
  groups_ = list.Rows();
  list.Read(conversion.child("elements"), "element");
  elements_ = list.Rows();

  auto button = [this](const char* key, const char* text) {
    auto* b = new QPushButton(Text(key, text), this);
    b->setObjectName(key);
    return b;
  };
  auto label = [this](const char* key, const char* text, QWidget* buddy) {
    auto* l = new QLabel(Text(key, text), this);
    l->setObjectName(key);
    l->setBuddy(buddy);
    return l;
  };

  formatList_ = NewList(this, "IDC_DESIGN_FORMAT_LIST");
  formatList_->setSortingEnabled(true);
  groupList_ = NewList(this, "IDC_DESIGN_GROUP_LIST");
  itemList_ = NewList(this, "IDC_DESIGN_ITEM_LIST");
  formatType_ = new IdNameCombo(this);
  formatType_->setObjectName("IDC_DESIGN_FORMAT_TYPE_LIST");
  formatType_->Fill(types_);
  groupType_ = new IdNameCombo(this);
  groupType_->setObjectName("IDC_DESIGN_GROUP_TYPE_LIST");
  groupType_->Fill(groups_);
  elementPanel_ = new ElementDialog(elements_, context_.translate, this);
  literalPanel_ = new LiteralDialog(context_.translate, this);
  elementPanel_->hide();
  literalPanel_->hide();
  const ShowRefusal refuse = [this](const QString& text) { Refuse(text); };
  elementPanel_->SetRefusalSink(refuse);
  literalPanel_->SetRefusalSink(refuse);
  // A format the editor cannot change group by group says why in place of its groups.
  notSimple_ = new QLabel(this);
  notSimple_->setObjectName("IDC_DESIGN_NOT_SIMPLE");
  notSimple_->setWordWrap(true);
  notSimple_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  notSimple_->setFrameShape(QFrame::StyledPanel);
  notSimple_->setMargin(6);
  notSimple_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  groupArea_ = new QStackedWidget(this);
  groupArea_->addWidget(groupList_);
  groupArea_->addWidget(notSimple_);
  // Its line is kept free, so a refusal appearing does not move the lists.
  message_ = new QLabel(this);
  message_->setObjectName("IDC_DESIGN_MESSAGE");
  message_->setWordWrap(true);
  message_->setMinimumHeight(message_->fontMetrics().lineSpacing());

  auto* grid = new QGridLayout(this);
  grid->addWidget(label("IDC_DESIGN_FORMATS", "&Formats:", formatList_), 0, 0);
  grid->addWidget(label("IDC_DESIGN_GROUPS", "&Groups:", groupList_), 0, 1);
  grid->addWidget(label("IDC_DESIGN_ITEMS", "&Items:", itemList_), 0, 2);
  grid->addWidget(formatList_, 1, 0);
  grid->addWidget(groupArea_, 1, 1);
  grid->addWidget(itemList_, 1, 2);
  auto pair = [this](QPushButton* a, QPushButton* b) {
    auto* row = new QHBoxLayout;
    row->addWidget(a);
    row->addWidget(b);
    return row;
  };
  grid->addLayout(pair(button("IDC_DESIGN_FORMAT_ADD_BTN", "Add"),
                       button("IDC_DESIGN_FORMAT_REMOVE_BTN", "Remove")),
                  2, 0);
  grid->addLayout(pair(button("IDC_DESIGN_GROUP_ADD_BTN", "Add"),
                       button("IDC_DESIGN_GROUP_REMOVE_BTN", "Remove")),
                  2, 1);
  grid->addLayout(pair(button("IDC_DESIGN_ITEM_ADD_BTN", "Add"),
                       button("IDC_DESIGN_ITEM_REMOVE_BTN", "Remove")),
                  2, 2);
  grid->addWidget(label("IDC_DESIGN_FORMAT_TYPE", "Type:", formatType_), 3, 0);
  grid->addWidget(label("IDC_DESIGN_GROUP_TYPE", "Type:", groupType_), 3, 1);
  grid->addWidget(formatType_, 4, 0);
  grid->addWidget(groupType_, 4, 1);
  // Both panels share the place beside the items; one is shown at a time.
  grid->addWidget(elementPanel_, 1, 3, 4, 1, Qt::AlignTop);
  grid->addWidget(literalPanel_, 1, 3, 4, 1, Qt::AlignTop);
  // The item area keeps its width whichever panel shows, so the lists never jump.
  for (QWidget* panel :
       {static_cast<QWidget*>(elementPanel_), static_cast<QWidget*>(literalPanel_)}) {
    panel->setFixedWidth(250);
  }
  grid->setColumnMinimumWidth(3, 250);
  for (int column = 0; column < 3; ++column) grid->setColumnStretch(column, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(button("IDC_DESIGN_HELP_BTN", "&Help"));
  bottom->addStretch();
  bottom->addWidget(button("IDC_DESIGN_OK_BTN", "&OK"));
  bottom->addWidget(button("IDC_DESIGN_CANCEL_BTN", "&Cancel"));
  grid->addWidget(message_, 5, 0, 1, 4);
  grid->addLayout(bottom, 6, 0, 1, 4);
  grid->setRowStretch(1, 1);
  // Tab goes down each column (list, its buttons, its type), then to the item's panel.
  QWidget* chain[] = {formatList_,
                      Button("IDC_DESIGN_FORMAT_ADD_BTN"),
                      Button("IDC_DESIGN_FORMAT_REMOVE_BTN"),
                      formatType_,
                      groupList_,
                      Button("IDC_DESIGN_GROUP_ADD_BTN"),
                      Button("IDC_DESIGN_GROUP_REMOVE_BTN"),
                      groupType_,
                      itemList_,
                      Button("IDC_DESIGN_ITEM_ADD_BTN"),
                      Button("IDC_DESIGN_ITEM_REMOVE_BTN")};
  for (size_t n = 1; n < std::size(chain); ++n) setTabOrder(chain[n - 1], chain[n]);

  connect(formatList_, &QListWidget::itemSelectionChanged, this,
          &FormatDesignView::OnFormatSelected);
  connect(groupList_, &QListWidget::itemSelectionChanged, this, &FormatDesignView::OnGroupSelected);
  connect(itemList_, &QListWidget::itemSelectionChanged, this, &FormatDesignView::OnItemSelected);
  connect(formatList_, &QListWidget::itemChanged, this, &FormatDesignView::OnFormatRenamed);
  connect(groupList_, &QListWidget::itemChanged, this, &FormatDesignView::OnGroupRenamed);
  connect(Button("IDC_DESIGN_FORMAT_ADD_BTN"), &QPushButton::clicked, this,
          &FormatDesignView::OnAddFormat);
  connect(Button("IDC_DESIGN_FORMAT_REMOVE_BTN"), &QPushButton::clicked, this,
          &FormatDesignView::OnRemoveFormat);
  connect(Button("IDC_DESIGN_GROUP_ADD_BTN"), &QPushButton::clicked, this,
          &FormatDesignView::OnAddGroup);
  connect(Button("IDC_DESIGN_GROUP_REMOVE_BTN"), &QPushButton::clicked, this,
          &FormatDesignView::OnRemoveGroup);
  connect(Button("IDC_DESIGN_ITEM_ADD_BTN"), &QPushButton::clicked, this,
          &FormatDesignView::OnAddItem);
  connect(Button("IDC_DESIGN_ITEM_REMOVE_BTN"), &QPushButton::clicked, this,
          &FormatDesignView::OnRemoveItem);
  connect(Button("IDC_DESIGN_OK_BTN"), &QPushButton::clicked, this, &FormatDesignView::Save);
  connect(Button("IDC_DESIGN_CANCEL_BTN"), &QPushButton::clicked, this, &FormatDesignView::Cancel);
  connect(Button("IDC_DESIGN_HELP_BTN"), &QPushButton::clicked, this, [this] {
    if (context_.showHelp) context_.showHelp(context_.programFolder / "help" / "design.htm");
  });
  connect(formatType_, &QComboBox::activated, this, [this](int) {
    FormatDefinition* format = SelectedFormat();
    if (!format) return;
    const std::string type = formatType_->SelectedId();
    if (FormatDesign::SetFormatType(*format, type)) {
      Refuse({});
      return;
    }
    Refuse(CharacterRefusal(context_.translate, FirstUnstorableCharacter(type)));
    if (!formatType_->SelectId(format->Type())) formatType_->setCurrentIndex(-1);
  });
  connect(groupType_, &QComboBox::activated, this, [this](int) {
    GroupDefinition* group = SelectedGroup();
    if (!group) return;
    const std::string id = groupType_->SelectedId();
    if (FormatDesign::SetGroupId(*group, id)) {
      Refuse({});
      return;
    }
    Refuse(IdentifierRefusal(context_.translate, id));
    if (!groupType_->SelectId(group->Id())) groupType_->setCurrentIndex(-1);
  });
  connect(elementPanel_, &ElementDialog::IdChanged, this, [this](const QString& name) {
    if (QListWidgetItem* row = itemList_->currentItem()) row->setText(name);
  });
  connect(literalPanel_, &LiteralDialog::TextChanged, this, [this](const QString& text) {
    if (QListWidgetItem* row = itemList_->currentItem()) row->setText(text);
  });

  // F1 on a control shows the help page named after its identifier.
  const std::pair<const char*, int> kHelpIds[] = {{"IDC_DESIGN_FORMATS", 2608},
                                                  {"IDC_DESIGN_FORMAT_LIST", 2605},
                                                  {"IDC_DESIGN_FORMAT_ADD_BTN", 2606},
                                                  {"IDC_DESIGN_FORMAT_REMOVE_BTN", 2607},
                                                  {"IDC_DESIGN_FORMAT_TYPE", 2617},
                                                  {"IDC_DESIGN_FORMAT_TYPE_LIST", 2616},
                                                  {"IDC_DESIGN_GROUPS", 2609},
                                                  {"IDC_DESIGN_GROUP_LIST", 2604},
                                                  {"IDC_DESIGN_GROUP_ADD_BTN", 2611},
                                                  {"IDC_DESIGN_GROUP_REMOVE_BTN", 2612},
                                                  {"IDC_DESIGN_GROUP_TYPE", 2619},
                                                  {"IDC_DESIGN_GROUP_TYPE_LIST", 2618},
                                                  {"IDC_DESIGN_ITEMS", 2610},
                                                  {"IDC_DESIGN_ITEM_LIST", 2601},
                                                  {"IDC_DESIGN_ITEM_ADD_BTN", 2613},
                                                  {"IDC_DESIGN_ITEM_REMOVE_BTN", 2614},
                                                  {"IDC_DESIGN_HELP_BTN", 2602},
                                                  {"IDC_DESIGN_OK_BTN", 2615},
                                                  {"IDC_DESIGN_CANCEL_BTN", 2603},
                                                  {"ElementDialog", 2712},
                                                  {"IDC_ELEMENT_ID", 2704},
                                                  {"IDC_ELEMENT_WIDTH_EDIT", 2705},
                                                  {"IDC_ELEMENT_ALIGN_LIST", 2708},
                                                  {"IDC_ELEMENT_FILL_EDIT", 2715},
                                                  {"IDC_ELEMENT_OFFSET_EDIT", 2710},
                                                  {"IDC_ELEMENT_SIGN_CHK", 2709},
                                                  {"LiteralDialog", 2713},
                                                  {"IDC_LITERAL_TEXT", 2700},
                                                  {"IDC_DESIGN_NOT_SIMPLE", 2604},
                                                  {"IDC_LITERAL_HEX_CHK", 2702}};
  for (const auto& [name, id] : kHelpIds) {
    if (auto* control = findChild<QWidget*>(name)) SetHelpId(control, id);
  }

  design_.Refresh();
  ListFormats();
}

QString FormatDesignView::Text(const char* key, const char* defaultText) const {
  return context_.translate(key, QString::fromUtf8(defaultText));
}

QPushButton* FormatDesignView::Button(const char* key) const {
  return findChild<QPushButton*>(key);
}

FormatDefinition* FormatDesignView::SelectedFormat() const {
  const QList<QListWidgetItem*> rows = formatList_->selectedItems();
  return rows.isEmpty() ? nullptr : Data<FormatDefinition>(rows.first());
}

GroupDefinition* FormatDesignView::SelectedGroup() const {
  const QList<QListWidgetItem*> rows = groupList_->selectedItems();
  return rows.isEmpty() ? nullptr : Data<GroupDefinition>(rows.first());
}

int FormatDesignView::SelectedItem() const {
  const QList<QListWidgetItem*> rows = itemList_->selectedItems();
  return rows.isEmpty() ? -1 : itemList_->row(rows.first());
}

void FormatDesignView::ListFormats() {
  {
    const QSignalBlocker blocker(formatList_);
    formatList_->clear();
    for (size_t i = 0; i < design_.Formats().Count(); ++i) {
      const FormatDefinition* format = design_.Formats().At(i);
      QListWidgetItem* row = NewNamedRow(kFormatIcon, format->Name(), format);
      // What the file holds that the program reads past: the author hears of a misspelling.
      QStringList warnings;
      for (const std::string& warning : format->LoadWarnings())
        warnings << QString::fromStdString(warning);
      if (!warnings.isEmpty()) row->setToolTip(warnings.join(QLatin1Char('\n')));
      formatList_->addItem(row);
    }
  }
  OnFormatSelected();
}

void FormatDesignView::OnFormatSelected() {
  FormatDefinition* format = SelectedFormat();
  {
    const QSignalBlocker blocker(groupList_);
    groupList_->clear();
  }
  const bool editable = format && FormatDesign::CanAddGroups(*format);
  if (format) {
    // A type not in the list shows no type rather than the previous format's.
    if (!formatType_->SelectId(format->Type())) formatType_->setCurrentIndex(-1);
    const QSignalBlocker blocker(groupList_);
    for (size_t i = 0; format->Simple() && i < format->GroupCount(); ++i) {
      const GroupDefinition* group = format->Group(i);
      groupList_->addItem(NewNamedRow(kGroupIcon, group->Name(), group));
    }
  } else {
    formatType_->setCurrentIndex(-1);
  }
  if (format && !editable) {
    notSimple_->setText(NotSimpleReason(*format));
    groupArea_->setCurrentWidget(notSimple_);
  } else {
    groupArea_->setCurrentWidget(groupList_);
  }
  formatType_->setEnabled(format != nullptr);
  Button("IDC_DESIGN_FORMAT_REMOVE_BTN")
      ->setEnabled(format && FormatDesign::CanRemoveFormat(*format));
  Button("IDC_DESIGN_GROUP_ADD_BTN")->setEnabled(editable);
  OnGroupSelected();
}

void FormatDesignView::OnGroupSelected() {
  GroupDefinition* group = SelectedGroup();
  {
    const QSignalBlocker blocker(itemList_);
    itemList_->clear();
    if (group) {
      if (!groupType_->SelectId(group->Id())) groupType_->setCurrentIndex(-1);
      for (size_t i = 0; i < group->ItemCount(); ++i) {
        const ItemDefinition* item = group->Item(i);
        const auto* literal = dynamic_cast<const LiteralDefinition*>(item);
        AppendItemRow(*item, literal ? LiteralDialog::ListText(*literal)
                                     : Utf8(ItemListText(*item, elements_)));
      }
    } else {
      groupType_->setCurrentIndex(-1);
    }
  }
  groupType_->setEnabled(group != nullptr);
  Button("IDC_DESIGN_GROUP_REMOVE_BTN")->setEnabled(group != nullptr);
  Button("IDC_DESIGN_ITEM_ADD_BTN")->setEnabled(group != nullptr);
  OnItemSelected();
}

void FormatDesignView::AppendItemRow(const ItemDefinition& item, const QString& text) {
  const bool literal = dynamic_cast<const LiteralDefinition*>(&item) != nullptr;
  itemList_->addItem(new QListWidgetItem(ListIcon(literal ? kLiteralIcon : kElementIcon), text));
}

void FormatDesignView::OnItemSelected() {
  Refuse({});
  elementPanel_->hide();
  literalPanel_->hide();
  elementPanel_->Fill(nullptr);
  literalPanel_->Fill(nullptr);
  GroupDefinition* group = SelectedGroup();
  const int index = SelectedItem();
  const bool selected = group && index >= 0 && static_cast<size_t>(index) < group->ItemCount();
  Button("IDC_DESIGN_ITEM_REMOVE_BTN")->setEnabled(selected);
  if (!selected) return;
  ItemDefinition* item = group->Item(static_cast<size_t>(index));
  if (auto* element = dynamic_cast<ElementDefinition*>(item)) {
    elementPanel_->Fill(element);
    elementPanel_->show();
    elementPanel_->raise();
  } else if (auto* literal = dynamic_cast<LiteralDefinition*>(item)) {
    literalPanel_->Fill(literal);
    literalPanel_->show();
    literalPanel_->raise();
  }
}

void FormatDesignView::OnAddFormat() {
  FormatDefinition* format = design_.AddFormat(Text("IDS_DEFAULT_FORMAT", "Format").toStdString(),
                                               formatType_->SelectedId());
  AppendAndEdit(formatList_, NewNamedRow(kFormatIcon, format->Name(), format));
}

void FormatDesignView::OnRemoveFormat() {
  const FormatDefinition* selected = SelectedFormat();
  if (!selected || !FormatDesign::CanRemoveFormat(*selected)) return;
  if (FormatDefinition* format = TakeSelectedRow<FormatDefinition>(formatList_)) {
    design_.RemoveFormat(format);
  }
  OnFormatSelected();
}

void FormatDesignView::OnFormatRenamed(QListWidgetItem* row) {
  FormatDefinition* format = Data<FormatDefinition>(row);
  if (!format) return;
  const std::string text = row->text().toStdString();
  if (text == format->Name()) return;
  if (FormatDesign::RenameFormat(*format, text)) {
    Refuse({});
    return;
  }
  if (!text.empty()) Refuse(CharacterRefusal(context_.translate, FirstUnstorableCharacter(text)));
  const QSignalBlocker blocker(formatList_);
  row->setText(Utf8(format->Name()));
}

void FormatDesignView::OnAddGroup() {
  FormatDefinition* format = SelectedFormat();
  if (!format || !FormatDesign::CanAddGroups(*format)) return;
  GroupDefinition* group = FormatDesign::AddGroup(
      *format, Text("IDS_DEFAULT_GROUP", "Group").toStdString(), groupType_->SelectedId());
  AppendAndEdit(groupList_, NewNamedRow(kGroupIcon, group->Name(), group));
}

void FormatDesignView::OnRemoveGroup() {
  FormatDefinition* format = SelectedFormat();
  if (!format) return;
  if (GroupDefinition* group = TakeSelectedRow<GroupDefinition>(groupList_)) {
    format->RemoveGroup(group);
  }
  OnGroupSelected();
}

void FormatDesignView::OnGroupRenamed(QListWidgetItem* row) {
  GroupDefinition* group = Data<GroupDefinition>(row);
  if (!group) return;
  const std::string text = row->text().toStdString();
  if (text == group->Name()) return;
  if (FormatDesign::RenameGroup(*group, text)) {
    Refuse({});
    return;
  }
  if (!text.empty()) Refuse(CharacterRefusal(context_.translate, FirstUnstorableCharacter(text)));
  const QSignalBlocker blocker(groupList_);
  row->setText(Utf8(group->Name()));
}

void FormatDesignView::OnAddItem() {
  QMenu menu(this);
  menu.addAction(Text("IDS_DESIGN_ADD_ELEMENT", "Element"), this,
                 &FormatDesignView::AddElementItem);
  menu.addAction(Text("IDS_DESIGN_ADD_LITERAL", "Literal"), this,
                 &FormatDesignView::AddLiteralItem);
  menu.exec(itemList_->mapToGlobal(QPoint(0, itemList_->height())));
}

void FormatDesignView::AddElementItem() {
  GroupDefinition* group = SelectedGroup();
  if (!group) return;
  const ElementDefinition* element = AppendElement(*group);
  {
    const QSignalBlocker blocker(itemList_);
    AppendItemRow(*element, QString());
  }
  itemList_->setCurrentRow(itemList_->count() - 1);
  itemList_->scrollToItem(itemList_->currentItem());
}

void FormatDesignView::AddLiteralItem() {
  GroupDefinition* group = SelectedGroup();
  if (!group) return;
  const LiteralDefinition* literal = AppendLiteral(*group);
  {
    const QSignalBlocker blocker(itemList_);
    AppendItemRow(*literal, LiteralDialog::ListText(*literal));
  }
  itemList_->setCurrentRow(itemList_->count() - 1);
  itemList_->scrollToItem(itemList_->currentItem());
}

void FormatDesignView::OnRemoveItem() {
  GroupDefinition* group = SelectedGroup();
  const int index = SelectedItem();
  if (!group || index < 0) return;
  {
    const QSignalBlocker blocker(itemList_);
    delete itemList_->takeItem(index);
    itemList_->clearSelection();
    itemList_->setCurrentItem(nullptr);
  }
  group->RemoveItem(static_cast<size_t>(index));
  OnItemSelected();
}

bool FormatDesignView::SaveChanges() {
  const FormatDesign::SaveResult result = design_.Save();
  switch (result.kind) {
    case FormatDesign::SaveResult::kDeleteFailed:
      Warn(Utf8(
          FormatMessage(Text("IDS_DESIGN_DELETE_ERR", "Could not delete file\n%s").toStdString(),
                        result.argument) +
          "\n" + result.reason));
      return false;
    case FormatDesign::SaveResult::kSaveFailed:
      Warn(Utf8(
          FormatMessage(Text("IDS_DESIGN_SAVE_ERR", "Could not save format '%s'.").toStdString(),
                        result.argument) +
          "\n" + result.reason));
      return false;
    case FormatDesign::SaveResult::kSaved:
      break;
  }
  if (context_.formatsSaved) context_.formatsSaved();
  return true;
}

bool FormatDesignView::Save() {
  if (!SaveChanges()) return false;
  closing_ = true;
  emit Finished();
  return true;
}

bool FormatDesignView::ConfirmClose() {
  if (closing_ || !design_.HasUnsavedChanges()) return true;
  const QString text = Text("IDS_DESIGN_SAVE_ASK",
                            "The format definitions have changes that are not saved.\n"
                            "Save them before closing?");
  const QMessageBox::StandardButton answer =
      context_.askSave
          ? context_.askSave(text)
          : QMessageBox::question(this, windowTitle(), text,
                                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                  QMessageBox::Save);
  if (answer == QMessageBox::Save) return SaveChanges();
  return answer == QMessageBox::Discard;
}

bool FormatDesignView::Cancel() {
  if (!ConfirmClose()) return false;
  closing_ = true;
  emit Finished();
  return true;
}

void FormatDesignView::closeEvent(QCloseEvent* event) {
  if (ConfirmClose()) {
    closing_ = true;
    event->accept();
  } else {
    event->ignore();
  }
}

QString FormatDesignView::NotSimpleReason(const FormatDefinition& format) const {
  const std::string file = format.Path().filename().string();
  const QString text =
      format.Simple()
          ? Text("IDS_DESIGN_NO_SKELETON",
                 "The groups of this format cannot be edited here: its file %s is marked simple "
                 "but does not hold the format, repeat, node and radio elements the editor "
                 "works on. Edit the file with an XML editor.")
          : Text("IDS_DESIGN_NOT_SIMPLE",
                 "The groups of this format cannot be edited here: its file %s describes a "
                 "layout that is more than a list of record kinds. Edit the file with an XML "
                 "editor.");
  return Utf8(FormatMessage(text.toStdString(), file));
}

void FormatDesignView::Refuse(const QString& text) {
  message_->setText(text);
}

void FormatDesignView::Warn(const QString& text) {
  if (context_.warn) {
    context_.warn(text);
  } else {
    QMessageBox::warning(this, windowTitle(), text);
  }
}

}  // namespace ulvo
