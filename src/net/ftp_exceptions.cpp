#include "net/ftp_exceptions.h"

#include <netdb.h>

#include <cstring>

namespace ravelo {

namespace {

std::string SocketMessage(int code, const std::string& text) {
  return "Socket Error # " + std::to_string(code) + "\n" + text + ".";
}

}  // namespace

EFtpSocketError::EFtpSocketError(int error)
    : EFtp(SocketMessage(error, std::strerror(error))), error_code_(error) {}

EFtpSocketError::EFtpSocketError(int code, const std::string& text)
    : EFtp(SocketMessage(code, text)), error_code_(code) {}

namespace {

std::string CertificateMessage(EFtpCertificateRejected::TReason reason, const std::string& detail,
                               const std::string& fingerprint) {
  std::string message;
  switch (reason) {
    case EFtpCertificateRejected::crNotTrusted:
      message = "Server Certificate Not Trusted";
      break;
    case EFtpCertificateRejected::crChanged:
      message = "Server Certificate Changed Since It Was Accepted";
      break;
    case EFtpCertificateRejected::crDataDiffers:
      message = "Data Connection Certificate Differs From The Server's";
      break;
  }
  if (!detail.empty()) message += " (" + detail + ")";
  return message + ". SHA-256 Fingerprint: " + fingerprint;
}

}  // namespace

EFtpCertificateRejected::EFtpCertificateRejected(TReason reason, const std::string& detail,
                                                 const std::string& fingerprint)
    : EFtpTlsError(TWholeMessage{}, CertificateMessage(reason, detail, fingerprint)),
      reason_(reason),
      fingerprint_(fingerprint) {}

namespace {

const char* TlsRequiredMessage(EFtpTlsRequired::TReason reason) {
  switch (reason) {
    case EFtpTlsRequired::trNotOffered:
      return "TLS Required, But The Server Does Not Offer It.";
    case EFtpTlsRequired::trDataRefused:
      return "TLS Required, But The Server Refuses Encrypted Data Connections.";
    case EFtpTlsRequired::trNoLongerOffered:
      break;
  }
  return "The Server Offered TLS Before, But No Longer Does: Connection Refused.";
}

}  // namespace

EFtpTlsRequired::EFtpTlsRequired(TReason reason)
    : EFtp(TlsRequiredMessage(reason)), reason_(reason) {}

EFtpSocketError EFtpSocketError::HostNotFound(int lookup_error) {
  if (lookup_error == EAI_SYSTEM) return EFtpSocketError(errno);
  return EFtpSocketError(lookup_error, gai_strerror(lookup_error));
}

}  // namespace ravelo
