#pragma once

#include <QIcon>
#include <QPixmap>

namespace ulvo {

// The picture of the splash window and the about box; null when it is missing.
QPixmap ProgramPicture();
QIcon ProgramIcon();

enum class ToolIcon { kTransfer, kConvert, kFormats, kHelpIndex, kPrint };
// 16 x 15 toolbar pictures.
QIcon ToolBarIcon(ToolIcon icon);

}  // namespace ulvo
