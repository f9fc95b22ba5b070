#include "ulvo/gui/task_context.h"

#include "ulvo/gui/main_frame.h"

namespace ulvo {

void SetHelpIdsByName(QWidget* form) {
  for (QWidget* control : form->findChildren<QWidget*>()) {
    bool numeric = false;
    const int id = control->objectName().toInt(&numeric);
    if (numeric) SetHelpId(control, id);
  }
}

}  // namespace ulvo
