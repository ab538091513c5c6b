#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/ftp_transfer_type.h"

namespace ravelo {

// What opening a local copy does; one byte in the settings.
enum TOpenType : std::uint8_t {
  otDefault = 0,  // the program the desktop associates with the file
  otCustom = 1,   // the program in TExtension::Command
  otNone = 2,     // nothing
};

// The settings of one file name extension.
struct TExtension {
  TOpenType OpenType = otDefault;
  TFtpTransferType TransferType = ftBinary;
  std::string Command;    // the program for otCustom; may be empty otherwise
  std::string Extension;  // without the dot, letter case as entered

  bool operator==(const TExtension&) const = default;
};

// The characters after the last "." of the last path component of text
// ("gz" for "archive.tar.gz", "profile" for ".profile"); empty when that
// component holds no ".". "/" and "\" both end a component, so a dot in a
// folder name never counts.
std::string ExtractExtension(std::string_view text);

}  // namespace ravelo
