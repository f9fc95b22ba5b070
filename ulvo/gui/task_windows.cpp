#include "ulvo/gui/task_windows.h"

#include "ulvo/gui/main_frame.h"

namespace ulvo {

void RegisterTaskWindows(CMainFrame& frame) {
  // Transfer, Convert and Merge windows.

  // Format design window and the Types, Groups and Elements dialogs.

  static_cast<void>(frame);
}

}  // namespace ulvo
