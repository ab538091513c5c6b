#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/ftp_date_time.h"
#include "net/ftp_list_item.h"

namespace ravelo {

// The format of a listing, judged from its first line.
TFtpListFormat CheckListFormat(std::string_view line);

// Unix permission column: "-", "d" or "l", then nine of "-", "r", "w", "x"
// (any letter case). Set-id and sticky letters fail.
bool IsValidUnixPerms(std::string_view line);

// Parses one line into item; raise on a line that cannot be read (an
// impossible date, an unknown format). today fills in what Unix lines leave
// out (the year of recent entries, a missing day).
void ParseUnixItem(std::string_view line, const TFtpDateTimeParts& today, TFtpListItem& item);
void ParseDosItem(std::string_view line, TFtpListItem& item);

// Builds the items of a listing. A line that fails to parse clears every item
// gathered so far and the loading goes on with the next line; nothing raises.
TFtpListItems LoadFtpList(const std::vector<std::string>& lines, const TFtpDateTimeParts& today);
// The same with today's date from the local clock.
TFtpListItems LoadFtpList(const std::vector<std::string>& lines);

// Today's date from the local clock (time of day zero).
TFtpDateTimeParts FtpToday();

}  // namespace ravelo
