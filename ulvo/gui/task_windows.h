#pragma once

#include "ulvo/gui/task_context.h"
#include "ulvo/gui/transfer_runner.h"
#include "ulvo/transfer/check_port.h"

namespace ulvo {

class CMainFrame;
class CTransferView;

// Gives the frame the task windows and dialogs the program has: each registers its factory
// (CMainFrame::RegisterTask) or command handler (CMainFrame::SetCommandHandler) here.
void RegisterTaskWindows(CMainFrame& frame);

// What a task window is given by the application behind the frame.
TaskContext MakeTaskContext(CMainFrame& frame);
// A Transfer view on the given serial devices and ports (tests pass their own); a received
// file becomes the source of the next conversion.
CTransferView* NewTransferView(CMainFrame& frame, TransferRunner::DeviceFactory devices,
                               const PortProbe& ports);

}  // namespace ulvo
