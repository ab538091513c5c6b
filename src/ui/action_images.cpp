#include "ui/action_images.h"

#include <QApplication>
#include <QStyle>

#include <array>

namespace ravelo {

namespace {

struct TImageSource {
  const char* theme_name;
  QStyle::StandardPixmap fallback;
};

QIcon ThemeIcon(const TImageSource& source) {
  const QIcon icon = QIcon::fromTheme(QLatin1String(source.theme_name));
  return icon.isNull() ? QApplication::style()->standardIcon(source.fallback) : icon;
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
