#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "net/ftp_connection_modes.h"

namespace ravelo {

// Status panel 0 while connected, and its tool tip: whether the connection
// is encrypted, so that a plain one the user did not choose is seen.
struct TConnectionPanel {
  std::string Text;
  std::string ToolTip;
};
// encrypted: control and data connections (the device's Encrypted);
// tls_offered: the server accepted AUTH TLS (then refused to protect data).
TConnectionPanel ConnectedPanel(bool encrypted, TFtpTlsMode mode, bool tls_offered);

// A SHA-256 fingerprint (64 hex digits) for reading aloud: groups of four,
// eight groups a line. Other text is returned as it is.
std::string GroupedFingerprint(std::string_view fingerprint);

// The window's question after a failed connect to host: asked when the
// error is a server certificate the user may accept (one that does not
// verify or changed since it was accepted); none for any other error.
struct TCertificateQuestion {
  std::string Text;
  std::string Fingerprint;  // as the error gives it, for the project
};
std::optional<TCertificateQuestion> CertificateQuestion(const std::exception& error,
                                                        std::string_view host);

}  // namespace ravelo
