#include "ui/file_icons.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>

namespace ravelo {

namespace {

QStringList IconFolders() {
  QStringList folders;
  const QString data_home = qEnvironmentVariable("XDG_DATA_HOME");
  folders << (data_home.startsWith(QLatin1Char('/'))
                  ? data_home
                  : QDir::homePath() + QLatin1String("/.local/share")) +
                 QLatin1String("/icons");
  folders << QDir::homePath() + QLatin1String("/.icons");
  QString data_dirs = qEnvironmentVariable("XDG_DATA_DIRS");
  if (data_dirs.isEmpty()) data_dirs = QStringLiteral("/usr/local/share:/usr/share");
  for (const QString& dir : data_dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
    folders << dir + QLatin1String("/icons");
  return folders;
}

// The disc behind a sign: the lower left of the square, a little over half
// its side.
QRectF DiscRect(int size) {
  const qreal side = size * 0.6;
  return {0.5, size - side - 0.5, side, side};
}

void DrawDiscWithSign(QPainter& painter, int size, const QColor& colour, TStateOverlay overlay) {
  const QRectF disc = DiscRect(size);
  painter.setPen(QPen(colour.darker(140), size / 16.0));
  painter.setBrush(colour);
  painter.drawEllipse(disc);
  const QPointF c = disc.center();
  const qreal r = disc.width() / 2;
  QPen white(Qt::white, qMax(1.2, r / 3.2), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  painter.setPen(white);
  painter.setBrush(Qt::NoBrush);
  const qreal arm = r * 0.55;
  if (overlay == soFresh) {  // asterisk: three strokes through the centre
    for (const qreal angle : {90.0, 30.0, -30.0}) {
      QLineF stroke = QLineF::fromPolar(arm, angle).translated(c);
      painter.drawLine(QLineF(c * 2 - stroke.p2(), stroke.p2()));
    }
  } else if (overlay == soExpired) {  // exclamation mark
    painter.drawLine(QPointF(c.x(), c.y() - arm), QPointF(c.x(), c.y() + arm * 0.25));
    painter.drawPoint(QPointF(c.x(), c.y() + arm * 0.8));
  } else {  // question mark
    QPainterPath hook;
    const QRectF bow(c.x() - arm * 0.6, c.y() - arm, arm * 1.2, arm * 1.0);
    hook.arcMoveTo(bow, 180);
    hook.arcTo(bow, 180, -250);
    hook.lineTo(c.x(), c.y() + arm * 0.25);
    painter.drawPath(hook);
    painter.drawPoint(QPointF(c.x(), c.y() + arm * 0.8));
  }
}

void DrawHourglass(QPainter& painter, int size) {
  const QRectF box = DiscRect(size);
  const qreal w = box.width() * 0.8;
  const qreal left = box.center().x() - w / 2;
  const qreal right = left + w;
  const qreal top = box.top() + box.height() * 0.05;
  const qreal bottom = box.bottom() - box.height() * 0.05;
  const qreal middle = (top + bottom) / 2;
  QPainterPath glass;
  glass.moveTo(left, top);
  glass.lineTo(right, top);
  glass.lineTo(box.center().x() + w * 0.08, middle);
  glass.lineTo(right, bottom);
  glass.lineTo(left, bottom);
  glass.lineTo(box.center().x() - w * 0.08, middle);
  glass.closeSubpath();
  painter.setPen(QPen(QColor(60, 40, 20), qMax(1.0, size / 20.0)));
  painter.setBrush(QColor(255, 250, 235));
  painter.drawPath(glass);
  // Sand: a little left above, a heap below.
  QPainterPath sand;
  sand.moveTo(box.center().x() - w * 0.25, top + (middle - top) * 0.55);
  sand.lineTo(box.center().x() + w * 0.25, top + (middle - top) * 0.55);
  sand.lineTo(box.center().x(), middle);
  sand.closeSubpath();
  sand.moveTo(left + w * 0.12, bottom);
  sand.lineTo(right - w * 0.12, bottom);
  sand.lineTo(box.center().x(), bottom - (bottom - middle) * 0.6);
  sand.closeSubpath();
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(230, 160, 30));
  painter.drawPath(sand);
}

}  // namespace

void EnsureIconTheme() {
  const QString current = QIcon::themeName();
  if (!current.isEmpty() && current != QLatin1String("hicolor")) return;
  QStringList paths = QIcon::themeSearchPaths();
  for (const QString& folder : IconFolders())
    if (!paths.contains(folder) && QFileInfo(folder).isDir()) paths << folder;
  QIcon::setThemeSearchPaths(paths);
  for (const QString& theme : {QStringLiteral("breeze"), QStringLiteral("Adwaita")}) {
    for (const QString& folder : paths) {
      if (QFileInfo::exists(folder + QLatin1Char('/') + theme + QLatin1String("/index.theme"))) {
        QIcon::setThemeName(theme);
        QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
        return;
      }
    }
  }
  QIcon::setThemeName(QStringLiteral("hicolor"));
}

QPixmap OverlayPixmap(TStateOverlay overlay, int size) {
  if (overlay == soNone) return {};
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  switch (overlay) {
    case soFresh:
      DrawDiscWithSign(painter, size, QColor(40, 160, 60), overlay);
      break;
    case soExpired:
      DrawDiscWithSign(painter, size, QColor(210, 40, 40), overlay);
      break;
    case soUnknown:
      DrawDiscWithSign(painter, size, QColor(40, 100, 210), overlay);
      break;
    case soInProcess:
    case soNone:
      DrawHourglass(painter, size);
      break;
  }
  return pixmap;
}

QIcon DecoratedIcon(const QIcon& base, TStateOverlay overlay, bool cut) {
  // Drawn for a selected item as for any other: the style's tint for a
  // selected picture would hide a blue file icon on the blue selection.
  QIcon icon;
  for (const int size : {kSmallIconSize, kLargeIconSize}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    if (cut) painter.setOpacity(0.45);
    painter.drawPixmap(0, 0, base.pixmap(size, size));
    painter.setOpacity(1.0);
    if (overlay != soNone) painter.drawPixmap(0, 0, OverlayPixmap(overlay, size));
    painter.end();
    icon.addPixmap(pixmap, QIcon::Normal);
    icon.addPixmap(pixmap, QIcon::Selected);
  }
  return icon;
}

QIcon TFileIcons::FolderIcon() {
  return BaseIcon(std::string(kFolderIconKey), {});
}

QIcon TFileIcons::FileIcon(const QString& file_name) {
  const QMimeType type = mime_.mimeTypeForFile(file_name, QMimeDatabase::MatchExtension);
  QIcon icon = QIcon::fromTheme(type.iconName());
  if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
  if (icon.isNull()) icon = fallback_.icon(QAbstractFileIconProvider::File);
  return icon;
}

QIcon TFileIcons::BaseIcon(const std::string& key, const std::string& name) {
  const auto known = base_.find(key);
  if (known != base_.end()) return known->second;
  QIcon icon;
  if (key == kFolderIconKey) {
    icon = QIcon::fromTheme(QStringLiteral("folder"));
    if (icon.isNull()) icon = fallback_.icon(QAbstractFileIconProvider::Folder);
  } else {
    icon = FileIcon(QString::fromStdString(name));
  }
  base_.emplace(key, icon);
  return icon;
}

QIcon TFileIcons::ItemIcon(const TNodeView& view, const std::string& name) {
  const auto key = std::make_tuple(view.IconKey, static_cast<int>(view.Overlay), view.Cut);
  const auto known = decorated_.find(key);
  if (known != decorated_.end()) return known->second;
  QIcon icon = DecoratedIcon(BaseIcon(view.IconKey, name), view.Overlay, view.Cut);
  decorated_.emplace(key, icon);
  return icon;
}

}  // namespace ravelo
