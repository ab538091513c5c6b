#pragma once

#include <cstdint>

namespace ravelo {

// How data connections are opened. The values are those kept in project
// files, one byte each.
enum TFtpDataMode : std::uint8_t {
  // The server connects to us: PORT, or EPRT over IPv6.
  dmActive = 0,
  // We connect to the server: EPSV, then PASV when EPSV is refused.
  dmPassive = 1,
  // Passive, and active for the rest of the connection once the server
  // refuses both EPSV and PASV.
  dmAutomatic = 2,
};

// Explicit FTP over TLS (AUTH TLS, PBSZ 0, PROT P). The values are those
// kept in project files, one byte each.
enum TFtpTlsMode : std::uint8_t {
  // "Plain FTP": AUTH TLS is never sent.
  tmPlain = 0,
  // "Use TLS if offered": plain when the server refuses AUTH TLS, clear
  // data connections when it refuses PROT P.
  tmIfOffered = 1,
  // "Require TLS": a server that does not encrypt both is refused.
  tmRequire = 2,
};

}  // namespace ravelo
