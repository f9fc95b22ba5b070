#include "ulvo/gui/id_name_combo.h"

#include <algorithm>
#include <numeric>

namespace ulvo {

IdNameCombo::IdNameCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
}

void IdNameCombo::Fill(const std::vector<IdName>& entries) {
  clear();
  ids_.clear();
  std::vector<size_t> order(entries.size());
  std::iota(order.begin(), order.end(), size_t{0});
  if (sorted_) {
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      return QString::fromUtf8(entries[a].name)
                 .compare(QString::fromUtf8(entries[b].name), Qt::CaseInsensitive) < 0;
    });
  }
  for (const IdName& e : entries) ids_.push_back(e.id);
  for (size_t i : order) addItem(QString::fromUtf8(entries[i].name), static_cast<qulonglong>(i));
  setCurrentIndex(-1);
}

std::string IdNameCombo::SelectedId() const {
  if (currentIndex() < 0) return {};
  const size_t i = currentData().toULongLong();
  return i < ids_.size() ? ids_[i] : std::string();
}

bool IdNameCombo::SelectId(const std::string& id) {
  if (id.empty()) {
    setCurrentIndex(-1);
    return true;
  }
  for (int row = 0; row < count(); ++row) {
    const size_t i = itemData(row).toULongLong();
    if (i < ids_.size() && ids_[i] == id) {
      setCurrentIndex(row);
      return true;
    }
  }
  return false;
}

}  // namespace ulvo
