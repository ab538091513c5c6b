#include "ui/files_mime.h"

#include <QMimeData>

#include "shell/file_list_block.h"
#include "shell/uri_list.h"

namespace ravelo {

namespace {

QString MimeType(std::string_view type) {
  return QString::fromLatin1(type.data(), static_cast<qsizetype>(type.size()));
}

QByteArray Bytes(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::unique_ptr<QMimeData> FilesMimeData(const std::vector<std::string>& paths) {
  auto data = std::make_unique<QMimeData>();
  data->setData(MimeType(kFileListMimeType), Bytes(EncodeFileList(paths)));
  data->setData(MimeType(kUriListMimeType), Bytes(EncodeUriList(paths)));
  return data;
}

std::optional<std::vector<std::string>> DraggedFiles(const QMimeData& data) {
  if (data.hasFormat(MimeType(kFileListMimeType))) {
    const QByteArray block = data.data(MimeType(kFileListMimeType));
    return DecodeFileList(std::string_view(block.constData(), block.size()));
  }
  if (data.hasFormat(MimeType(kUriListMimeType))) {
    const QByteArray list = data.data(MimeType(kUriListMimeType));
    return DecodeUriList(std::string_view(list.constData(), list.size()));
  }
  return std::nullopt;
}

int KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  return ((buttons & Qt::LeftButton) != 0 ? kLeftButton : 0) |
         ((buttons & Qt::RightButton) != 0 ? kRightButton : 0) |
         ((modifiers & Qt::ShiftModifier) != 0 ? kShiftKey : 0) |
         ((modifiers & Qt::ControlModifier) != 0 ? kControlKey : 0);
}

int AllowedEffects(Qt::DropActions actions) {
  return ((actions & Qt::CopyAction) != 0 ? deCopy : 0) |
         ((actions & Qt::MoveAction) != 0 ? deMove : 0);
}

Qt::DropAction DropAction(TDropEffect effect) {
  switch (effect) {
    case deCopy:
      return Qt::CopyAction;
    case deMove:
      return Qt::MoveAction;
    case deNone:
      break;
  }
  return Qt::IgnoreAction;
}

}  // namespace ravelo
