#include "ui/qt/ProgramPictures.h"

#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kestrun::ui::qt {

namespace {

const QColor kTileTop(0x1F, 0x7A, 0x8C);
const QColor kTileBottom(0x0B, 0x4F, 0x6C);
const QColor kTray(0xE8, 0xF1, 0xF2);

// The tile with the arrow and the tray, filling `r`.
void PaintEmblem(QPainter& p, const QRectF& r) {
  const qreal u = r.width() / 32.0;  // drawn on a 32-unit grid
  QLinearGradient tile(r.topLeft(), r.bottomLeft());
  tile.setColorAt(0, kTileTop);
  tile.setColorAt(1, kTileBottom);
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(r, 6 * u, 6 * u);

  auto at = [&](qreal x, qreal y) { return QPointF(r.left() + x * u, r.top() + y * u); };
  QPainterPath arrow;
  arrow.moveTo(at(13, 5));
  arrow.lineTo(at(19, 5));
  arrow.lineTo(at(19, 14));
  arrow.lineTo(at(24, 14));
  arrow.lineTo(at(16, 22));
  arrow.lineTo(at(8, 14));
  arrow.lineTo(at(13, 14));
  arrow.closeSubpath();
  p.setBrush(Qt::white);
  p.drawPath(arrow);

  QPen tray(kTray, 2.5 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(tray);
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({at(6, 20), at(6, 26), at(26, 26), at(26, 20)}));
}

QPixmap EmblemPicture(int size) {
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  PaintEmblem(p, QRectF(0, 0, size, size));
  return picture;
}

}  // namespace

QIcon ProgramIcon() {
  // The icon the program was installed with (its desktop entry shows the same), once the front end has
  // set it; the drawn one where there is none, as in a test.
  if (const QIcon installed = QGuiApplication::windowIcon(); !installed.isNull()) return installed;
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(EmblemPicture(size));
  return icon;
}

QPixmap LogoPicture(QSize size, qreal devicePixelRatio) {
  QPixmap picture(size * devicePixelRatio);
  picture.setDevicePixelRatio(devicePixelRatio);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QRectF all(0, 0, size.width(), size.height());

  QLinearGradient banner(all.topLeft(), all.topRight());
  banner.setColorAt(0, kTileBottom);
  banner.setColorAt(1, kTileTop);
  p.setPen(Qt::NoPen);
  p.setBrush(banner);
  p.drawRoundedRect(all, 4, 4);

  const qreal pad = all.height() * 0.12;
  const qreal emblem = all.height() - 2 * pad;
  // A light frame lets the tile stand out from the banner of the same colours.
  p.setBrush(QColor(255, 255, 255, 60));
  p.drawRoundedRect(QRectF(pad - 1, pad - 1, emblem + 2, emblem + 2), emblem * 0.2, emblem * 0.2);
  const QRectF emblemRect(pad, pad, emblem, emblem);
  if (const QIcon installed = QGuiApplication::windowIcon(); !installed.isNull())
    installed.paint(&p, emblemRect.toRect());
  else
    PaintEmblem(p, emblemRect);

  const QRectF words(2 * pad + emblem, pad, all.width() - 3 * pad - emblem, emblem);
  QFont name = p.font();
  name.setBold(true);
  name.setPixelSize(std::max(8, static_cast<int>(emblem * 0.58)));
  p.setFont(name);
  p.setPen(Qt::white);
  p.drawText(words, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Kestrun"));
  QFont line = p.font();
  line.setBold(false);
  line.setPixelSize(std::max(6, static_cast<int>(emblem * 0.27)));
  p.setFont(line);
  p.setPen(kTray);
  p.drawText(words, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("SuperDAT updates"));
  return picture;
}

}  // namespace kestrun::ui::qt
