#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <pugixml.hpp>
#include <vector>

#include "ulvo/engine/format_design.h"
#include "ulvo/gui/design_texts.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace ulvo {

class ElementDialog;
class IdNameCombo;
class LiteralDialog;

// What the format design view is given by the application.
struct FormatDesignContext {
  std::filesystem::path programFolder;
  pugi::xml_node settings;  // the settings element, holding "conversion"
  TranslateText translate;
  // Called after OK has saved everything: the application reads its format list again.
  std::function<void()> formatsSaved;
  std::function<void(const std::filesystem::path& page)> showHelp;
  // Shows a failure in an exclamation box; a message box when not set.
  std::function<void(const QString& text)> warn;
};

// The format design form: formats, their groups and the groups' items, edited in the view's
// own format list; OK writes them, Cancel drops them.
class FormatDesignView : public QWidget {
  Q_OBJECT

 public:
  explicit FormatDesignView(FormatDesignContext context, QWidget* parent = nullptr);

  const FormatDesign& Design() const { return design_; }
  QListWidget* FormatList() const { return formatList_; }
  QListWidget* GroupList() const { return groupList_; }
  QListWidget* ItemList() const { return itemList_; }
  IdNameCombo* FormatType() const { return formatType_; }
  IdNameCombo* GroupType() const { return groupType_; }
  ElementDialog* ElementPanel() const { return elementPanel_; }
  LiteralDialog* LiteralPanel() const { return literalPanel_; }
  QPushButton* Button(const char* key) const;

  // The item menu's two commands, as the Add button's menu runs them.
  void AddElementItem();
  void AddLiteralItem();
  // OK: false when a file could not be deleted or a format not saved (the view stays).
  bool Save();

 signals:
  // OK succeeded or Cancel was pressed: the design window closes.
  void Finished();

 private:
  QString Text(const char* key, const char* defaultText) const;
  FormatDefinition* SelectedFormat() const;
  GroupDefinition* SelectedGroup() const;
  int SelectedItem() const;
  void ListFormats();
  void OnFormatSelected();
  void OnGroupSelected();
  void OnItemSelected();
  void OnAddFormat();
  void OnRemoveFormat();
  void OnAddGroup();
  void OnRemoveGroup();
  void OnAddItem();
  void OnRemoveItem();
  void OnFormatRenamed(QListWidgetItem* item);
  void OnGroupRenamed(QListWidgetItem* item);
  void AppendItemRow(const ItemDefinition& item, const QString& text);
  void Warn(const QString& text);

  FormatDesignContext context_;
  FormatDesign design_;
  std::vector<IdName> types_;
  std::vector<IdName> groups_;
  std::vector<IdName> elements_;
  QListWidget* formatList_ = nullptr;
  QListWidget* groupList_ = nullptr;
  QListWidget* itemList_ = nullptr;
  IdNameCombo* formatType_ = nullptr;
  IdNameCombo* groupType_ = nullptr;
  ElementDialog* elementPanel_ = nullptr;
  LiteralDialog* literalPanel_ = nullptr;
};

}  // namespace ulvo
