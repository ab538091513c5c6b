#include "settings/settings_tree.h"

#include <algorithm>

#include "settings/settings_error.h"

namespace ravelo {

namespace {

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

const TSettingsKey* FindKey(const TSettingsKey& root, std::string_view path) {
  std::vector<std::string_view> names;
  if (!SplitKeyPath(path, names)) return nullptr;
  const TSettingsKey* key = &root;
  for (const auto name : names) {
    const auto it =
        std::find_if(key->Subkeys.begin(), key->Subkeys.end(),
                     [&](const TSettingsKey& k) { return SameSettingsName(k.Name, name); });
    if (it == key->Subkeys.end()) return nullptr;
    key = &*it;
  }
  return key;
}

TSettingsKey* FindKey(TSettingsKey& root, std::string_view path) {
  return const_cast<TSettingsKey*>(FindKey(static_cast<const TSettingsKey&>(root), path));
}

TSettingsKey* CreateKey(TSettingsKey& root, std::string_view path) {
  std::vector<std::string_view> names;
  if (!SplitKeyPath(path, names)) return nullptr;
  TSettingsKey* key = &root;
  for (const auto name : names) {
    auto it = std::find_if(key->Subkeys.begin(), key->Subkeys.end(),
                           [&](const TSettingsKey& k) { return SameSettingsName(k.Name, name); });
    if (it == key->Subkeys.end()) {
      key->Subkeys.push_back(TSettingsKey{std::string(name), {}, {}});
      key = &key->Subkeys.back();
    } else {
      key = &*it;
    }
  }
  return key;
}

std::vector<TSettingsValue>::const_iterator FindValue(const TSettingsKey& key,
                                                      std::string_view name) {
  return std::find_if(key.Values.begin(), key.Values.end(),
                      [&](const TSettingsValue& v) { return SameSettingsName(v.Name, name); });
}

}  // namespace

bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& names) {
  names.clear();
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (path.empty()) return true;
  for (;;) {
    const auto end = path.find('\\');
    const auto name = path.substr(0, end);
    if (name.empty() || names.size() == kMaxSettingsKeyDepth) return false;
    names.push_back(name);
    if (end == std::string_view::npos) return true;
    path.remove_prefix(end + 1);
  }
}

bool SameSettingsName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

bool TSettingsTree::KeyExists(std::string_view path) const {
  return FindKey(root_, path) != nullptr;
}

bool TSettingsTree::OpenOrCreateKey(std::string_view path) {
  return CreateKey(root_, path) != nullptr;
}

bool TSettingsTree::DeleteKey(std::string_view path) {
  std::vector<std::string_view> names;
  if (!SplitKeyPath(path, names) || names.empty()) return false;
  const auto last = names.back();
  std::string parent_path;
  for (std::size_t i = 0; i + 1 < names.size(); ++i) (parent_path += names[i]) += '\\';
  TSettingsKey* parent = FindKey(root_, parent_path);
  if (parent == nullptr) return false;
  const auto it =
      std::find_if(parent->Subkeys.begin(), parent->Subkeys.end(),
                   [&](const TSettingsKey& k) { return SameSettingsName(k.Name, last); });
  if (it == parent->Subkeys.end()) return false;
  parent->Subkeys.erase(it);
  return true;
}

std::vector<std::string> TSettingsTree::GetKeyNames(std::string_view path) const {
  std::vector<std::string> names;
  if (const TSettingsKey* key = FindKey(root_, path)) {
    for (const auto& subkey : key->Subkeys) names.push_back(subkey.Name);
  }
  return names;
}

std::vector<std::string> TSettingsTree::GetValueNames(std::string_view path) const {
  std::vector<std::string> names;
  if (const TSettingsKey* key = FindKey(root_, path)) {
    for (const auto& value : key->Values) names.push_back(value.Name);
  }
  return names;
}

bool TSettingsTree::ValueExists(std::string_view path, std::string_view name) const {
  const TSettingsKey* key = FindKey(root_, path);
  return key != nullptr && FindValue(*key, name) != key->Values.end();
}

bool TSettingsTree::DeleteValue(std::string_view path, std::string_view name) {
  TSettingsKey* key = FindKey(root_, path);
  if (key == nullptr) return false;
  const auto it = FindValue(*key, name);
  if (it == key->Values.end()) return false;
  key->Values.erase(it);
  return true;
}

const TSettingsValue& TSettingsTree::Value(std::string_view path, std::string_view name) const {
  const TSettingsKey* key = FindKey(root_, path);
  if (key != nullptr) {
    const auto it = FindValue(*key, name);
    if (it != key->Values.end()) return *it;
  }
  throw ESettingsValueNotFound(std::string(path), std::string(name));
}

void TSettingsTree::Write(std::string_view path, std::string_view name, TSettingsValue value) {
  TSettingsKey* key = CreateKey(root_, path);
  if (key == nullptr) throw ESettingsInvalidKey(std::string(path));
  auto it = std::find_if(key->Values.begin(), key->Values.end(),
                         [&](const TSettingsValue& v) { return SameSettingsName(v.Name, name); });
  if (it == key->Values.end()) {
    key->Values.push_back(std::move(value));
  } else {
    it->Data = std::move(value.Data);  // the name keeps the case it was created with
  }
}

std::string TSettingsTree::ReadString(std::string_view path, std::string_view name) const {
  const auto& value = Value(path, name);
  if (const auto* text = std::get_if<std::string>(&value.Data)) return *text;
  throw ESettingsWrongKind(std::string(path), std::string(name), "A String");
}

void TSettingsTree::WriteString(std::string_view path, std::string_view name,
                                std::string_view value) {
  Write(path, name, TSettingsValue{std::string(name), std::string(value)});
}

std::uint8_t TSettingsTree::ReadByte(std::string_view path, std::string_view name) const {
  const auto& value = Value(path, name);
  if (const auto* byte = std::get_if<std::uint8_t>(&value.Data)) return *byte;
  throw ESettingsWrongKind(std::string(path), std::string(name), "One Byte Of Binary Data");
}

void TSettingsTree::WriteByte(std::string_view path, std::string_view name, std::uint8_t value) {
  Write(path, name, TSettingsValue{std::string(name), value});
}

bool TSettingsTree::ReadBool(std::string_view path, std::string_view name) const {
  const auto& value = Value(path, name);
  if (const auto* flag = std::get_if<bool>(&value.Data)) return *flag;
  throw ESettingsWrongKind(std::string(path), std::string(name), "A Boolean");
}

void TSettingsTree::WriteBool(std::string_view path, std::string_view name, bool value) {
  Write(path, name, TSettingsValue{std::string(name), value});
}

}  // namespace ravelo
