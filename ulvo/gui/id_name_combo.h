#pragma once

#include <QComboBox>
#include <string>
#include <vector>

#include "ulvo/convert/convert_settings.h"

namespace ulvo {

// A drop-down list of an identifier list: shows the names, hands back the identifiers. Each
// entry's item data is its index in the identifier array, so a sorted list still maps back.
class IdNameCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit IdNameCombo(QWidget* parent = nullptr);

  // Sorted lists order their entries by name without regard to letter case.
  void SetSorted(bool sorted) { sorted_ = sorted; }
  bool IsSorted() const { return sorted_; }

  // Replaces the entries with the list, in document order unless sorted; nothing is selected.
  void Fill(const std::vector<IdName>& entries);
  // The identifier of the selected entry; empty when nothing is selected.
  std::string SelectedId() const;
  // Empty identifier: no selection. An unknown identifier keeps the selection and gives false.
  // Identifiers are compared exactly.
  bool SelectId(const std::string& id);

  const std::vector<std::string>& Ids() const { return ids_; }

 private:
  std::vector<std::string> ids_;
  bool sorted_ = false;
};

}  // namespace ulvo
