#pragma once

namespace ulvo {

class CMainFrame;

// Gives the frame the task windows and dialogs the program has: each registers its factory
// (CMainFrame::RegisterTask) or command handler (CMainFrame::SetCommandHandler) here.
void RegisterTaskWindows(CMainFrame& frame);

}  // namespace ulvo
