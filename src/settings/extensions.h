#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "settings/extension.h"

namespace ravelo {

class TSettingsStore;

// The extension settings: one TExtension per file name extension, unique
// ignoring the case of the ASCII letters, in insertion order. Kept in the
// current user's settings under kExtensionsKey, one subkey per extension with
// the bytes "TransferType" and "OpenType" and the string "Command".
//
// Threads: IndexOf, Find, Count, Items and ItemList may be called from any
// thread (worker threads look up transfer types while the extensions dialog
// edits the list in the main thread); all other operations from the main
// thread. Lookups hand out copies, so no caller holds an item that another
// thread removes. mutex_ guards items_.
class TExtensions {
 public:
  static constexpr std::string_view kExtensionsKey = "\\Software\\Ravelo\\Extensions";

  // Starts with the built-in list.
  TExtensions();
  TExtensions(const TExtensions&) = delete;
  TExtensions& operator=(const TExtensions&) = delete;

  // Replaces the items with the built-in list of twenty.
  void SetDefaults();
  void Clear();
  // Raises EDuplicateExtension, changing nothing, when IndexOf finds the
  // extension.
  void Add(std::string_view extension, TFtpTransferType transfer_type, std::string_view command,
           TOpenType open_type);
  // Raises ENoExtension when there is no such extension.
  void Remove(std::string_view extension);
  // The position of the extension ignoring ASCII letter case, or -1.
  std::int32_t IndexOf(std::string_view extension) const;
  // A copy of the item; raises ENoExtension when there is none.
  TExtension Find(std::string_view extension) const;
  std::int32_t Count() const;
  // A copy of the item at index; raises std::out_of_range past the end.
  TExtension Items(std::int32_t index) const;
  std::vector<TExtension> ItemList() const;

  // The extensions dialog's edits of one item; raise ENoExtension.
  void SetTransferType(std::string_view extension, TFtpTransferType transfer_type);
  void SetOpenType(std::string_view extension, TOpenType open_type);
  void SetCommand(std::string_view extension, std::string_view command);

  // Replaces the items with those kept in the store, in the store's order.
  // Raises EExtensionsNotFound, keeping the items, when the store has no
  // extensions key; an empty key gives an empty list. A subkey that lacks a
  // value or holds one out of range is skipped: that extension counts as
  // unknown. The items change only when the whole list has been read.
  void Load(TSettingsStore& store);
  // Replaces the store's extensions key with the items, in one write: the
  // store holds the old list or the new one, never a part. Raises
  // ECantAccessRegistry (the store's error nested) when the write fails; the
  // store is then unchanged. An item whose name cannot be one subkey (empty,
  // or holding "\") is left out.
  void Save(TSettingsStore& store) const;

 private:
  std::int32_t IndexOfLocked(std::string_view extension) const;
  TExtension& FindLocked(std::string_view extension);

  mutable std::mutex mutex_;
  std::vector<TExtension> items_;  // guarded by mutex_
};

}  // namespace ravelo
