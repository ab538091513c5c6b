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

EFtpSocketError EFtpSocketError::HostNotFound(int lookup_error) {
  if (lookup_error == EAI_SYSTEM) return EFtpSocketError(errno);
  return EFtpSocketError(lookup_error, gai_strerror(lookup_error));
}

}  // namespace ravelo
