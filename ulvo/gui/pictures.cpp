#include "ulvo/gui/pictures.h"

#include <QPainter>
#include <QPainterPath>

// Resources of a static library are registered by hand, outside any namespace.
static void RegisterPictures() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(pictures);
    return true;
  }();
  static_cast<void>(registered);
}

namespace ulvo {

QPixmap ProgramPicture() {
  RegisterPictures();
  return QPixmap(QStringLiteral(":/ulvo/ulvo.png"));
}

QIcon ProgramIcon() {
  RegisterPictures();
  return QIcon(QStringLiteral(":/ulvo/ulvo-icon.png"));
}

QIcon ToolBarIcon(ToolIcon icon) {
  QPixmap pixmap(16, 15);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink(30, 60, 110);
  p.setPen(QPen(ink, 1.4));
  switch (icon) {
    case ToolIcon::kTransfer:  // a cable between instrument and computer
      p.setBrush(QColor(240, 190, 30));
      p.drawRect(QRectF(1.5, 4.5, 4, 6));
      p.setBrush(QColor(170, 200, 230));
      p.drawRect(QRectF(10.5, 3.5, 4.5, 5));
      p.drawLine(QPointF(6, 7.5), QPointF(10, 7.5));
      p.drawLine(QPointF(11, 12.5), QPointF(15, 12.5));
      break;
    case ToolIcon::kConvert: {  // one page becomes another
      p.setBrush(Qt::white);
      p.drawRect(QRectF(1.5, 1.5, 6, 8));
      p.drawRect(QRectF(8.5, 5.5, 6, 8));
      QPainterPath arrow;
      arrow.moveTo(4.5, 11);
      arrow.quadTo(4.5, 13.5, 7, 13.5);
      p.setBrush(Qt::NoBrush);
      p.drawPath(arrow);
      break;
    }
    case ToolIcon::kFormats:  // a record layout: fields of a line
      p.setBrush(QColor(170, 200, 230));
      for (int row = 0; row < 3; ++row) {
        p.drawRect(QRectF(1.5, 2.5 + row * 4, 5, 3));
        p.drawRect(QRectF(7.5, 2.5 + row * 4, 7, 3));
      }
      break;
    case ToolIcon::kHelpIndex: {
      p.setBrush(QColor(240, 190, 30));
      p.drawEllipse(QRectF(1, 0.5, 14, 14));
      QFont font = p.font();
      font.setPixelSize(11);
      font.setBold(true);
      p.setFont(font);
      p.drawText(QRectF(1, 0.5, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
    case ToolIcon::kPrint:
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 1.5, 7, 5));
      p.setBrush(QColor(170, 170, 170));
      p.drawRect(QRectF(1.5, 6.5, 13, 5));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 9.5, 7, 4));
      break;
  }
  return QIcon(pixmap);
}

}  // namespace ulvo
