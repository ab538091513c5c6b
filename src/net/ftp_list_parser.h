#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/ftp_date_time.h"
#include "net/ftp_list_item.h"

namespace ravelo {

// The format of one listing line.
TFtpListFormat CheckListFormat(std::string_view line);

// Unix permission column: a type ("-", "d", "l", or "b", "c", "p", "s" for
// special entries), then nine of "-", "r", "w", "x" and the set-id, sticky
// and locking letters "s", "t", "l" (any letter case). An ACL marker may
// follow.
bool IsValidUnixPerms(std::string_view line);

// Parses one line into item; raise EFtpInvalidListingFormat on a line that
// gives no entry (no date, an impossible date, no name). today fills in what
// Unix lines leave out (the year of recent entries, a missing day). Names are
// taken as listed, blanks and all.
void ParseUnixItem(std::string_view line, const TFtpDateTimeParts& today, TFtpListItem& item);
void ParseDosItem(std::string_view line, TFtpListItem& item);

// Builds the items of a listing: every line that is neither blank nor a
// "total" line gives one item, read in its own format. A line that gives
// none fails the whole listing with EFtpInvalidListingFormat: read as empty
// or partial, it would clear the remote side of the entries missing.
TFtpListItems LoadFtpList(const std::vector<std::string>& lines, const TFtpDateTimeParts& today);
// The same with today's date from the local clock.
TFtpListItems LoadFtpList(const std::vector<std::string>& lines);

// Today's date from the local clock (time of day zero).
TFtpDateTimeParts FtpToday();

}  // namespace ravelo
