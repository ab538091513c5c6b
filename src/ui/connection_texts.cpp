#include "ui/connection_texts.h"

#include "net/ftp_exceptions.h"

namespace ravelo {

TConnectionPanel ConnectedPanel(bool encrypted, TFtpTlsMode mode, bool tls_offered) {
  if (encrypted) return {"Connected (TLS)", "Encrypted: FTP over TLS"};
  if (mode == tmPlain)
    return {"Connected (plain FTP)", "Not encrypted: the project uses plain FTP"};
  if (tls_offered)
    return {"Connected (plain data)",
            "Data connections not encrypted: the server refuses to encrypt them"};
  return {"Connected (plain FTP)", "Not encrypted: the server does not offer TLS"};
}

std::string GroupedFingerprint(std::string_view fingerprint) {
  constexpr std::size_t kDigits = 64, kGroup = 4, kLine = 32;
  if (fingerprint.size() != kDigits) return std::string(fingerprint);
  std::string text;
  for (std::size_t at = 0; at < kDigits; at += kGroup) {
    if (at != 0) text += at % kLine == 0 ? '\n' : ' ';
    text += fingerprint.substr(at, kGroup);
  }
  return text;
}

std::optional<TCertificateQuestion> CertificateQuestion(const std::exception& error,
                                                        std::string_view host) {
  const auto* refused = dynamic_cast<const EFtpCertificateRejected*>(&error);
  // A data connection with another certificate than the control one is
  // an attack or a broken server, never a certificate to accept.
  if (refused == nullptr || refused->Reason() == EFtpCertificateRejected::crDataDiffers)
    return std::nullopt;
  // The message ends with the fingerprint, shown below in groups instead.
  std::string reason = refused->what();
  if (const auto at = reason.rfind(" SHA-256 Fingerprint: "); at != std::string::npos)
    reason.resize(at);
  return TCertificateQuestion{
      "The server " + std::string(host) + " presents a certificate that cannot be trusted:\n" +
          reason + "\n\nSHA-256 fingerprint:\n" + GroupedFingerprint(refused->Fingerprint()) +
          "\n\nCompare it with the one your host gives. Accept this certificate for this "
          "project and connect?",
      refused->Fingerprint()};
}

}  // namespace ravelo
