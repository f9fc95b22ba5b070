#pragma once

#include <QIcon>
#include <QPixmap>

namespace kavex {

// The program's icon and the splash picture, drawn rather than shipped.
QPixmap ProgramPixmap(int size);
QIcon ProgramIcon();
QPixmap SplashPixmap();

}  // namespace kavex
