// Replies from a hostile or broken server: every byte sequence either reads
// as replies or fails with an FTP exception.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/ftp_exceptions.h"
#include "net/ftp_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t position = 0;
  // The first byte picks the size of the reads, so replies split anywhere.
  const std::size_t piece = size > 0 ? 1 + data[0] % 64 : 1;
  ravelo::TFtpLineReader reader(
      [&](char* buffer, std::size_t count) {
        const std::size_t taken = std::min({count, piece, input.size() - position});
        std::copy_n(input.data() + position, taken, buffer);
        position += taken;
        return taken;
      },
      256);
  try {
    for (;;) {
      const ravelo::TFtpReply reply = ravelo::ReadFtpReply(reader, 64);
      if (reply.Text.empty()) __builtin_trap();
      (void)reply.JoinedText();
    }
  } catch (const ravelo::EFtp&) {
    // The end of the input, or a line or reply over the limit.
  }
  return 0;
}
