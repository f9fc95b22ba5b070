#pragma once

#include "kavex/comm/capture_file.h"
#include "kavex/shell/main_logic.h"

namespace kavex {

// Restores a capture into the current data as if its download had ended there: unsaved,
// modified, belonging to no file. Asks "Current DATA will be lost." first when the data is
// modified, as a download does; false when the user cancels.
bool RestoreCaptureIntoCurrentData(MainLogic& logic, const CaptureContents& capture);

}  // namespace kavex
