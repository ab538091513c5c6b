#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ravelo {

// One named value of a key; the empty name is the key's default value.
struct TSettingsValue {
  std::string Name;
  // A string, one byte of binary data, or a boolean.
  std::variant<std::string, std::uint8_t, bool> Data;

  bool operator==(const TSettingsValue&) const = default;
};

struct TSettingsKey {
  std::string Name;
  std::vector<TSettingsValue> Values;  // in the order they were first written
  std::vector<TSettingsKey> Subkeys;   // in the order they were created

  bool operator==(const TSettingsKey&) const = default;
};

// The key tree of one settings root, held in memory. Keys are named by paths
// of key names joined by "\" ("\Software\Ravelo"; the leading "\" may be left
// out, the empty path is the root). Key and value names compare ignoring the
// case of the ASCII letters and keep the case they were created with.
// A plain value: the store reads and writes whole trees.
class TSettingsTree {
 public:
  bool KeyExists(std::string_view path) const;
  // Opens or creates the key with its missing parents; false when the path
  // cannot name a key (an empty name inside it).
  bool OpenOrCreateKey(std::string_view path);
  // Deletes the key with all its subkeys; false when it does not exist (the
  // root cannot be deleted).
  bool DeleteKey(std::string_view path);
  // The names of the key's subkeys in creation order; empty for a missing key.
  std::vector<std::string> GetKeyNames(std::string_view path) const;
  std::vector<std::string> GetValueNames(std::string_view path) const;

  bool ValueExists(std::string_view path, std::string_view name) const;
  bool DeleteValue(std::string_view path, std::string_view name);

  // Reads raise ESettingsValueNotFound for a missing key or value and
  // ESettingsWrongKind for a value of another kind. Writes create the key
  // with its missing parents and raise ESettingsInvalidKey for a bad path.
  std::string ReadString(std::string_view path, std::string_view name) const;
  void WriteString(std::string_view path, std::string_view name, std::string_view value);
  std::uint8_t ReadByte(std::string_view path, std::string_view name) const;
  void WriteByte(std::string_view path, std::string_view name, std::uint8_t value);
  bool ReadBool(std::string_view path, std::string_view name) const;
  void WriteBool(std::string_view path, std::string_view name, bool value);

  const TSettingsKey& Root() const { return root_; }
  TSettingsKey& Root() { return root_; }

  bool operator==(const TSettingsTree&) const = default;

 private:
  const TSettingsValue& Value(std::string_view path, std::string_view name) const;
  void Write(std::string_view path, std::string_view name, TSettingsValue value);

  TSettingsKey root_;
};

// Deeper key paths are refused: the tree is walked recursively.
inline constexpr std::size_t kMaxSettingsKeyDepth = 512;

// Splits a key path into its names; false when it holds an empty name or is
// deeper than kMaxSettingsKeyDepth.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& names);
// True when the two names are equal ignoring the case of the ASCII letters.
bool SameSettingsName(std::string_view a, std::string_view b);

}  // namespace ravelo
