#pragma once

#include <QFileIconProvider>
#include <QIcon>
#include <QMimeDatabase>
#include <QPixmap>

#include <map>
#include <string>
#include <tuple>

#include "ui/node_view.h"

namespace ravelo {

// When the platform names no icon theme (a bare X server, the offscreen
// platform) or only the nearly empty "hicolor", adds the usual icon folders
// to the theme search path and picks the first installed of breeze, Adwaita
// and hicolor, so that file icons appear. Call once after the QApplication.
void EnsureIconTheme();

// The two icon sizes: the list and details views use the small one, the
// icons view the large one.
inline constexpr int kSmallIconSize = 16;
inline constexpr int kLargeIconSize = 32;

// A state picture on a transparent square of the given side, in its lower
// left corner: what is drawn over a file's icon. Null for soNone.
QPixmap OverlayPixmap(TStateOverlay overlay, int size);

// base in both sizes with the state picture over it, faded when cut; the
// same when its item is selected.
QIcon DecoratedIcon(const QIcon& base, TStateOverlay overlay, bool cut);

// The icons of the file list. A file's icon comes from its MIME type, told
// by its name alone (no file is needed, so remote-only files get theirs
// too), through the icon theme, falling back to Qt's generic file icon.
// Icons are kept by icon key, decorated ones by key, state and cut mark.
// GUI thread only.
class TFileIcons {
 public:
  QIcon FolderIcon();
  QIcon FileIcon(const QString& file_name);
  // The icon for a list item as a strategy decided it; name is the node's.
  QIcon ItemIcon(const TNodeView& view, const std::string& name);

 private:
  QIcon BaseIcon(const std::string& key, const std::string& name);

  QMimeDatabase mime_;
  QFileIconProvider fallback_;
  std::map<std::string, QIcon> base_;
  std::map<std::tuple<std::string, int, bool>, QIcon> decorated_;
};

}  // namespace ravelo
