#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ravelo {

enum TFtpListFormat {
  flfNone,
  flfDos,
  flfUnix,
  flfVax,
  flfNoDetails,
  flfUnknown,
  flfCustom,
  // Machine listing (MLSD): facts and a name, times in universal time.
  flfMlsd,
};

// How the time of a listing item was read: to the minute in the server's
// local time (LIST), or to the second in universal time, converted to local
// time (MLSD, MLST, MDTM).
enum TFtpTimePrecision : std::uint8_t {
  tpMinute = 0,
  tpExact = 1,
};

// The ItemType byte of a listing entry.
enum TFtpItemType : std::uint8_t {
  itDirectory = 0,
  itFile = 1,
  itSymbolicLink = 2,
  // A device, pipe, socket or door: listed, but neither a file nor a folder.
  itOther = 3,
};

// One parsed listing line.
struct TFtpListItem {
  std::string Data;  // the line as listed
  std::string FileName;
  std::uint8_t ItemType = itFile;
  std::int64_t Size = 0;
  // Days since 30 December 1899 (see ftp_date_time.h): the server's local
  // time for tpMinute, the program's local time for tpExact.
  double ModifiedDate = 0;
  TFtpTimePrecision TimePrecision = tpMinute;
  int LinkCount = 0;
  std::string OwnerName = "????????";
  std::string GroupName = "????????";
  std::string OwnerPermissions = "???";
  std::string GroupPermissions = "???";
  std::string OtherPermissions = "???";
  std::string LinkedItemName;
};

// The parsed items of a listing, in listed order.
class TFtpListItems {
 public:
  // The format of the first entry; flfNone for a listing without one;
  // flfMlsd for every machine listing.
  TFtpListFormat ListFormat() const { return list_format_; }
  void SetListFormat(TFtpListFormat format) { list_format_ = format; }

  std::size_t Count() const { return items_.size(); }
  const TFtpListItem& Items(std::size_t index) const { return items_.at(index); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  TFtpListItem& Add() { return items_.emplace_back(); }
  void Clear() { items_.clear(); }
  void Reserve(std::size_t count) { items_.reserve(count); }

 private:
  TFtpListFormat list_format_ = flfNone;
  std::vector<TFtpListItem> items_;
};

}  // namespace ravelo
