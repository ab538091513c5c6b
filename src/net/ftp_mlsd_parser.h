#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "net/ftp_list_item.h"

namespace ravelo {

// A time value as MLSD, MLST and MDTM give it: "YYYYMMDDHHMMSS", optionally
// with a fraction of a second (".sss"), in universal time. Answers the local
// date-time, or nothing when the text is not such a time.
std::optional<double> ParseFtpTimeVal(std::string_view text);

// One machine listing line (MLSD), or the entry line of an MLST reply:
// "fact=value;fact=value; name", fact names in any letter case. Fills item
// and answers true; answers false for the entries that stand for the folder
// itself and its parent (type cdir and pdir). Raises
// EFtpInvalidListingFormat for a line that gives no entry: no name, no type,
// no modify fact, or a file without its size.
bool ParseMlsdItem(std::string_view line, TFtpListItem& item);

// The items of a machine listing, in listed order; blank lines and the
// cdir and pdir entries give none. A line that gives no entry fails the
// whole listing with EFtpInvalidListingFormat.
TFtpListItems LoadMlsdList(const std::vector<std::string>& lines);

}  // namespace ravelo
