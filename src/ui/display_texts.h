#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/nullable.h"
#include "shell/replace_question.h"

namespace ravelo {

// Status panel 1: "Size: " and the size text when exactly one item is
// selected and it has one (a folder has none); empty otherwise.
std::string SizePanelText(int selected_count, std::string_view size_text);

// Status panel 2 after a node's operation failed.
std::string NodeErrorText(std::string_view message, std::string_view node_name);
// Status panel 2 after connecting failed.
std::string ConnectErrorText(std::string_view message);
// Asked before Clear Cache drops count local copies holding changes.
std::string ClearCacheQuestion(int count);

// A date-time as the dialogs show it: the date, a blank and the time, the
// time left out at exactly midnight (to the millisecond).
std::string DateTimeText(TDateTime time, const TTextFormat& format);

// The transfer progress bar: bytes moved since base over bytes queued since
// base, in percent rounded to the nearest (halves to even), 0 to 100; 0
// when nothing was queued.
int TransferPercent(std::int64_t position, std::int64_t total, std::int64_t base);

// The About box's version line: "Version " and the major and minor parts
// of version ("1.2.3" gives "Version 1.2").
std::string VersionText(std::string_view version);

}  // namespace ravelo
