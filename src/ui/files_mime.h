#pragma once

#include <Qt>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/drop_effect.h"

class QMimeData;

namespace ravelo {

// Dragged files as Qt carries them: the file-list block for drops onto our
// own window and a text/uri-list for every other program.
std::unique_ptr<QMimeData> FilesMimeData(const std::vector<std::string>& paths);

// The local paths a drag carries: the file-list block when it is ours, else
// the URI list. Nullopt when it carries neither, or a URI that is no local
// file: such a drag is refused whole.
std::optional<std::vector<std::string>> DraggedFiles(const QMimeData& data);

// Qt's buttons and modifiers as the key-state bits of the effect rule, and
// its drop actions as effects.
int KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
int AllowedEffects(Qt::DropActions actions);
Qt::DropAction DropAction(TDropEffect effect);

}  // namespace ravelo
