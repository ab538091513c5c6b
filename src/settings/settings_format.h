#pragma once

#include <string>
#include <string_view>

#include "settings/settings_tree.h"

namespace ravelo {

// The text form of a settings tree, meant to be read (and, with care, edited)
// by a person:
//
//   # comment
//   [Software\Ravelo]
//   "Project Panel" = bool 1
//   [Software\Ravelo\Projects]
//   @ = string "/home/me/site\n/home/me/other"
//   [Software\Ravelo\Extensions\TXT]
//   "TransferType" = byte 0
//
// Each key has a header line with its path; its values follow, one per line:
// a quoted name or @ for the default value, "=", the kind (string, byte,
// bool) and the data (a quoted string, 0 to 255, 0 or 1). Values before the
// first header belong to the root. Subkeys are listed in creation order, so
// the order of first appearance is the order of the keys.
//
// Quoted strings escape \ " and control bytes (\n \r \t \xHH) and every byte
// that is not part of valid UTF-8 (\xHH), so any byte string survives. Key
// names escape the bytes %, [, ], space, control bytes and bytes outside
// valid UTF-8 as %HH. Blank lines and lines starting with # or ; are ignored;
// blanks around a line and around "=" too.

// Raises ESettingsDamaged naming file_name and the line of the first fault.
TSettingsTree ParseSettings(std::string_view text, const std::string& file_name);
std::string FormatSettings(const TSettingsTree& tree);

}  // namespace ravelo
