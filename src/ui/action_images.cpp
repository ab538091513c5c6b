#include "ui/action_images.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

#include <array>

namespace ravelo {

namespace {

struct TImageSource {
  const char* theme_name;
  QStyle::StandardPixmap fallback;
};

// Qt greys a disabled picture by its brightness, which leaves the theme's
// dark one-colour pictures almost as they were; a faded copy reads as off.
QIcon WithFadedDisabled(const QIcon& icon) {
  QIcon result;
  for (const int size : {16, 22, 32}) {
    const QPixmap normal = icon.pixmap(size, size);
    if (normal.isNull()) continue;
    QPixmap faded(normal.size());
    faded.setDevicePixelRatio(normal.devicePixelRatio());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(0.3);
    painter.drawPixmap(0, 0, normal);
    painter.end();
    result.addPixmap(normal, QIcon::Normal);
    result.addPixmap(faded, QIcon::Disabled);
  }
  return result;
}

QIcon ThemeIcon(const TImageSource& source) {
  const QIcon icon = QIcon::fromTheme(QLatin1String(source.theme_name));
  return WithFadedDisabled(icon.isNull() ? QApplication::style()->standardIcon(source.fallback)
                                         : icon);
}

}  // namespace

QIcon ActionImage(int image) {
  static const std::array<TImageSource, 9> kImages{{
      {"go-up", QStyle::SP_FileDialogToParent},
      {"folder-sync", QStyle::SP_BrowserReload},
      {"cloud-upload", QStyle::SP_ArrowUp},
      {"document-new", QStyle::SP_FileIcon},
      {"folder-new", QStyle::SP_FileDialogNewFolder},
      {"edit-delete", QStyle::SP_TrashIcon},
      {"edit-clear", QStyle::SP_DialogDiscardButton},
      {"view-list-icons", QStyle::SP_FileDialogListView},
      {"document-edit", QStyle::SP_FileDialogDetailedView},
  }};
  if (image < 0 || image >= static_cast<int>(kImages.size())) return {};
  return ThemeIcon(kImages[static_cast<std::size_t>(image)]);
}

QIcon ConnectionImage(bool connected) {
  return connected ? ThemeIcon({"network-connect", QStyle::SP_DialogYesButton})
                   : ThemeIcon({"network-disconnect", QStyle::SP_DialogNoButton});
}

}  // namespace ravelo
