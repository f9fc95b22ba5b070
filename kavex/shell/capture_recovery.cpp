#include "kavex/shell/capture_recovery.h"

namespace kavex {

bool RestoreCaptureIntoCurrentData(MainLogic& logic, const CaptureContents& capture) {
  DataView& view = logic.View();
  if (view.Modified() &&
      logic.ShowMessage("Current DATA will be lost.", kModeConfirmation) != kResultOk)
    return false;
  logic.ClearCurrentData();
  logic.hasFile = false;
  view.SetLines(capture.lines);
  view.SetModified(true);
  return true;
}

}  // namespace kavex
