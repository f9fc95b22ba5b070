#include "kavex/gui/program_icon.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kavex {
namespace {

// A tripod under a theodolite head: the instrument the program talks to.
void DrawInstrument(QPainter& p, const QRectF& r) {
  const qreal w = r.width();
  const qreal h = r.height();
  p.setPen(QPen(QColor(40, 40, 40), w * 0.05, Qt::SolidLine, Qt::RoundCap));
  const QPointF top(r.left() + w / 2, r.top() + h * 0.55);
  p.drawLine(top, QPointF(r.left() + w * 0.15, r.bottom() - h * 0.05));
  p.drawLine(top, QPointF(r.left() + w / 2, r.bottom() - h * 0.05));
  p.drawLine(top, QPointF(r.right() - w * 0.15, r.bottom() - h * 0.05));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(240, 190, 30));
  p.drawRoundedRect(QRectF(r.left() + w * 0.3, r.top() + h * 0.12, w * 0.4, h * 0.4), w * 0.06,
                    w * 0.06);
  p.setBrush(QColor(30, 60, 110));
  p.drawEllipse(QPointF(r.left() + w / 2, r.top() + h * 0.3), w * 0.1, w * 0.1);
}

}  // namespace

QPixmap ProgramPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(70, 130, 180));
  p.drawRoundedRect(QRectF(0, 0, size, size), size * 0.15, size * 0.15);
  DrawInstrument(p, QRectF(size * 0.1, size * 0.05, size * 0.8, size * 0.9));
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) icon.addPixmap(ProgramPixmap(size));
  return icon;
}

QPixmap SplashPixmap() {
  QPixmap pixmap(400, 240);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 240);
  sky.setColorAt(0, QColor(70, 130, 180));
  sky.setColorAt(1, QColor(20, 50, 90));
  p.fillRect(pixmap.rect(), sky);
  DrawInstrument(p, QRectF(20, 40, 150, 180));
  p.setPen(Qt::white);
  QFont title = p.font();
  title.setPointSize(32);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRectF(180, 60, 210, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kavex"));
  QFont small = p.font();
  small.setPointSize(12);
  small.setBold(false);
  p.setFont(small);
  p.drawText(QRectF(182, 120, 210, 30), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Version " KAVEX_VERSION));
  return pixmap;
}

}  // namespace kavex
