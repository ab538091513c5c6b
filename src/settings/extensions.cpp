#include "settings/extensions.h"

#include <exception>
#include <stdexcept>

#include "settings/extension_error.h"
#include "settings/settings_error.h"
#include "settings/settings_store.h"

namespace ravelo {

namespace {

struct TBuiltIn {
  const char* Extension;
  TFtpTransferType TransferType;
  TOpenType OpenType;
};

constexpr TBuiltIn kBuiltIn[] = {
    {"TXT", ftASCII, otDefault}, {"HTM", ftASCII, otDefault}, {"HTML", ftASCII, otDefault},
    {"CSS", ftASCII, otDefault}, {"XML", ftASCII, otDefault}, {"XHTML", ftASCII, otDefault},
    {"PHP", ftASCII, otDefault}, {"CPP", ftASCII, otDefault}, {"HPP", ftASCII, otDefault},
    {"C", ftASCII, otDefault},   {"H", ftASCII, otDefault},   {"PAS", ftASCII, otDefault},
    {"DFM", ftASCII, otDefault}, {"LOG", ftASCII, otDefault}, {"EXE", ftBinary, otNone},
    {"PIF", ftBinary, otNone},   {"BAT", ftBinary, otNone},   {"COM", ftBinary, otNone},
    {"SCR", ftBinary, otNone},   {"DLL", ftBinary, otNone},
};

constexpr const char* kTransferTypeValue = "TransferType";
constexpr const char* kOpenTypeValue = "OpenType";
constexpr const char* kCommandValue = "Command";

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameExtension(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::int32_t IndexIn(const std::vector<TExtension>& items, std::string_view extension) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (SameExtension(items[i].Extension, extension)) return static_cast<std::int32_t>(i);
  }
  return -1;
}

std::string SubkeyPath(std::string_view extension) {
  std::string path(TExtensions::kExtensionsKey);
  path += '\\';
  path += extension;
  return path;
}

}  // namespace

TExtensions::TExtensions() {
  SetDefaults();
}

void TExtensions::SetDefaults() {
  std::vector<TExtension> items;
  for (const auto& entry : kBuiltIn) {
    items.push_back(TExtension{entry.OpenType, entry.TransferType, {}, entry.Extension});
  }
  const std::lock_guard lock(mutex_);
  items_ = std::move(items);
}

void TExtensions::Clear() {
  const std::lock_guard lock(mutex_);
  items_.clear();
}

void TExtensions::Add(std::string_view extension, TFtpTransferType transfer_type,
                      std::string_view command, TOpenType open_type) {
  const std::lock_guard lock(mutex_);
  if (IndexOfLocked(extension) >= 0) throw EDuplicateExtension(std::string(extension));
  items_.push_back(
      TExtension{open_type, transfer_type, std::string(command), std::string(extension)});
}

void TExtensions::Remove(std::string_view extension) {
  const std::lock_guard lock(mutex_);
  const auto index = IndexOfLocked(extension);
  if (index < 0) throw ENoExtension(std::string(extension));
  items_.erase(items_.begin() + index);
}

std::int32_t TExtensions::IndexOf(std::string_view extension) const {
  const std::lock_guard lock(mutex_);
  return IndexOfLocked(extension);
}

std::int32_t TExtensions::IndexOfLocked(std::string_view extension) const {
  return IndexIn(items_, extension);
}

TExtension& TExtensions::FindLocked(std::string_view extension) {
  const auto index = IndexOfLocked(extension);
  if (index < 0) throw ENoExtension(std::string(extension));
  return items_[static_cast<std::size_t>(index)];
}

TExtension TExtensions::Find(std::string_view extension) const {
  const std::lock_guard lock(mutex_);
  const auto index = IndexOfLocked(extension);
  if (index < 0) throw ENoExtension(std::string(extension));
  return items_[static_cast<std::size_t>(index)];
}

std::int32_t TExtensions::Count() const {
  const std::lock_guard lock(mutex_);
  return static_cast<std::int32_t>(items_.size());
}

TExtension TExtensions::Items(std::int32_t index) const {
  const std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
    throw std::out_of_range("Extension Index " + std::to_string(index) + " Out Of Range");
  }
  return items_[static_cast<std::size_t>(index)];
}

std::vector<TExtension> TExtensions::ItemList() const {
  const std::lock_guard lock(mutex_);
  return items_;
}

void TExtensions::SetTransferType(std::string_view extension, TFtpTransferType transfer_type) {
  const std::lock_guard lock(mutex_);
  FindLocked(extension).TransferType = transfer_type;
}

void TExtensions::SetOpenType(std::string_view extension, TOpenType open_type) {
  const std::lock_guard lock(mutex_);
  FindLocked(extension).OpenType = open_type;
}

void TExtensions::SetCommand(std::string_view extension, std::string_view command) {
  const std::lock_guard lock(mutex_);
  FindLocked(extension).Command = command;
}

void TExtensions::Load(TSettingsStore& store) {
  // One version of the file for the whole list, even if another instance
  // saves meanwhile.
  const TSettingsTree& tree = store.Read();
  if (!tree.KeyExists(kExtensionsKey)) throw EExtensionsNotFound();
  std::vector<TExtension> loaded;
  for (const auto& name : tree.GetKeyNames(kExtensionsKey)) {
    const auto path = SubkeyPath(name);
    TExtension item;
    try {
      const auto transfer_type = tree.ReadByte(path, kTransferTypeValue);
      const auto open_type = tree.ReadByte(path, kOpenTypeValue);
      item.Command = tree.ReadString(path, kCommandValue);
      if (transfer_type > ftBinary || open_type > otNone) continue;
      item.TransferType = static_cast<TFtpTransferType>(transfer_type);
      item.OpenType = static_cast<TOpenType>(open_type);
    } catch (const ESettings&) {
      continue;  // a value is missing or of another kind
    }
    if (IndexIn(loaded, name) >= 0) continue;
    item.Extension = name;
    loaded.push_back(std::move(item));
  }
  const std::lock_guard lock(mutex_);
  items_ = std::move(loaded);
}

void TExtensions::Save(TSettingsStore& store) const {
  const auto items = ItemList();
  try {
    store.Update([&](TSettingsTree& tree) {
      tree.DeleteKey(kExtensionsKey);
      tree.OpenOrCreateKey(kExtensionsKey);
      for (const auto& item : items) {
        if (item.Extension.empty() || item.Extension.find('\\') != std::string::npos) continue;
        const auto path = SubkeyPath(item.Extension);
        if (!tree.OpenOrCreateKey(path)) continue;
        tree.WriteByte(path, kTransferTypeValue, item.TransferType);
        tree.WriteByte(path, kOpenTypeValue, item.OpenType);
        tree.WriteString(path, kCommandValue, item.Command);
      }
      return true;
    });
  } catch (const ESettings&) {
    std::throw_with_nested(ECantAccessRegistry());
  }
}

}  // namespace ravelo
