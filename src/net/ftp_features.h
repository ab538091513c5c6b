#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/ftp_reply.h"

namespace ravelo {

// What a server lists in its reply to FEAT (RFC 2389): one feature a line, a
// name and its parameters ("MLST type*;size*;modify*;", "AUTH TLS").
class TFtpFeatures {
 public:
  TFtpFeatures() = default;
  // The features of a FEAT reply (211); any other reply lists none.
  explicit TFtpFeatures(const TFtpReply& reply);

  // Names compare ignoring case.
  bool Has(std::string_view name) const;
  // The parameters as listed; "" for a feature without any or not listed.
  std::string Parameters(std::string_view name) const;

 private:
  std::vector<std::pair<std::string, std::string>> features_;  // name as listed
};

// The port of a PASV reply (227): the last two of the first six numbers
// "h1,h2,h3,h4,p1,p2" in its text. The address is not read: a data
// connection goes to the control connection's peer. Nothing when the text
// holds no such numbers or the port is 0.
std::optional<int> ParsePasvPort(std::string_view text);

// The port of an EPSV reply (229): "(|||port|)", any one printable
// character standing for "|". Nothing when the text holds none.
std::optional<int> ParseEpsvPort(std::string_view text);

}  // namespace ravelo
