#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "net/ftp_exceptions.h"

namespace ravelo {

// A failure of the command line front end itself: bad arguments, a local
// file that cannot be read or written.
class EFtpCommand : public EFtp {
 public:
  using EFtp::EFtp;
};

// Looks up an environment variable; nullptr when it is not set.
using TFtpEnvLookup = std::function<const char*(const char* name)>;

// The ravelo-ftp command:
//   ravelo-ftp [-u USER] [-a] [-C DIR] [--auto|--passive|--active]
//              [--tls=try|require|off] [--tls-fingerprint HEX] HOST[:PORT] COMMAND [ARGS...]
// arguments excludes the program name. The password comes from the
// environment variable RAVELO_FTP_PASSWORD. Listings and help go to out;
// errors to err. Answers the exit status: 0 on success, 1 on failure.
int RunFtpCommand(const std::vector<std::string>& arguments, const TFtpEnvLookup& environment,
                  std::ostream& out, std::ostream& err);

// The help text.
const char* FtpCommandUsage();

}  // namespace ravelo
