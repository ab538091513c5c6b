#pragma once

#include <cstdint>

namespace ravelo {

// How a file travels to and from the FTP server: text or binary transfer.
// The values are those kept in the settings, one byte each.
enum TFtpTransferType : std::uint8_t { ftASCII = 0, ftBinary = 1 };

}  // namespace ravelo
