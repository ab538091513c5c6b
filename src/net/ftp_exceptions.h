#pragma once

#include <stdexcept>
#include <string>

namespace ravelo {

// The FTP client's failures. Every one derives from EFtp and carries a fixed
// message, except the reply and socket errors, whose text comes from the peer
// or the system.
class EFtp : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A reply code outside the accepted ones. The message is the reply's text,
// each line followed by a line break.
class EFtpReplyError : public EFtp {
 public:
  EFtpReplyError(const std::string& message, int reply_error_code)
      : EFtp(message), reply_error_code_(reply_error_code) {}
  int ReplyErrorCode() const { return reply_error_code_; }

 private:
  int reply_error_code_;
};

// The server closed the control connection while a reply was awaited. The
// server object takes it (and its descendants) for a lost connection.
class EFtpConnClosed : public EFtp {
 public:
  EFtpConnClosed() : EFtp("Connection Closed Gracefully.") {}

 protected:
  explicit EFtpConnClosed(const std::string& message) : EFtp(message) {}
};

// A bounded wait on the network ran out: connecting, a reply, the server's
// data connection, or a transfer with no byte moving. Counts as a lost
// connection, hence the base.
class EFtpTimeout : public EFtpConnClosed {
 public:
  EFtpTimeout() : EFtpConnClosed("Connection Timed Out.") {}
};

class EFtpNotConnected : public EFtp {
 public:
  EFtpNotConnected() : EFtp("Not Connected") {}
};

class EFtpAlreadyConnected : public EFtp {
 public:
  EFtpAlreadyConnected() : EFtp("Already connected.") {}
};

// The operating system refused a socket operation or a name lookup.
class EFtpSocketError : public EFtp {
 public:
  // error: the errno value; the message carries it and the system's text.
  explicit EFtpSocketError(int error);
  // A failed name lookup: a getaddrinfo code and its text.
  static EFtpSocketError HostNotFound(int lookup_error);
  int ErrorCode() const { return error_code_; }

 private:
  EFtpSocketError(int code, const std::string& text);
  int error_code_;
};

class EFtpLineTooLong : public EFtp {
 public:
  EFtpLineTooLong() : EFtp("Max line length exceeded.") {}
};

// A reply of more lines than the client accepts; the connection is closed,
// since the rest of the reply is left unread.
class EFtpReplyTooLong : public EFtp {
 public:
  EFtpReplyTooLong() : EFtp("Reply Too Long.") {}
};

// A listing of more bytes or lines than the client accepts; the transfer is
// broken off and the connection stays in step.
class EFtpListingTooLong : public EFtp {
 public:
  EFtpListingTooLong() : EFtp("Listing Too Long.") {}
};

// A listing line that gives no entry: the listing fails whole rather than
// read as empty or partial.
class EFtpInvalidListingFormat : public EFtp {
 public:
  EFtpInvalidListingFormat() : EFtp("Unknown FTP listing format") {}
};

// In active mode only the control connection's peer may open the data
// connection; the server's reply after one from elsewhere was refused tells
// nothing of what happened.
class EFtpForeignDataConnection : public EFtp {
 public:
  EFtpForeignDataConnection() : EFtp("Data Connection From Another Address Refused.") {}
};

// A command argument holding CR, LF or NUL: sent as it is, it would smuggle
// a second command onto the control connection.
class EFtpInvalidName : public EFtp {
 public:
  EFtpInvalidName() : EFtp("Invalid Character In Name.") {}
};

// The caller's stream failed to take or give bytes during a transfer (a full
// disk, a read error): the transfer is not reported as done.
class EFtpStreamError : public EFtp {
 public:
  EFtpStreamError() : EFtp("Local Stream Error.") {}
};

// TLS failed: the handshake, or a record on an encrypted connection. The
// message names what OpenSSL reports.
class EFtpTlsError : public EFtp {
 public:
  explicit EFtpTlsError(const std::string& reason) : EFtp("TLS Error: " + reason + ".") {}

 protected:
  struct TWholeMessage {};
  EFtpTlsError(TWholeMessage, const std::string& message) : EFtp(message) {}
};

// The server's certificate does not verify (trust store, host name) and is
// not the one the user accepted, or a data connection presented another
// certificate than the control connection. The message ends with the
// certificate's SHA-256 fingerprint, 64 hex digits, which the user may
// accept (TFtpSettings::AcceptedFingerprint).
class EFtpCertificateRejected : public EFtpTlsError {
 public:
  enum TReason { crNotTrusted, crChanged, crDataDiffers };
  EFtpCertificateRejected(TReason reason, const std::string& detail,
                          const std::string& fingerprint);
  TReason Reason() const { return reason_; }
  const std::string& Fingerprint() const { return fingerprint_; }

 private:
  TReason reason_;
  std::string fingerprint_;
};

// "Require TLS" and the server does not encrypt the control connection
// (AUTH TLS refused) or the data connections (PBSZ or PROT P refused); or
// "Use TLS if offered" and the server refuses AUTH TLS, which it accepted
// before (TFtpSettings::TlsOfferedBefore).
class EFtpTlsRequired : public EFtp {
 public:
  enum TReason { trNotOffered, trDataRefused, trNoLongerOffered };
  explicit EFtpTlsRequired(TReason reason);
  TReason Reason() const { return reason_; }

 private:
  TReason reason_;
};

// The server offers neither MLST nor MDTM and SIZE: one file's information
// needs a listing of its folder.
class EFtpNotSupported : public EFtp {
 public:
  EFtpNotSupported() : EFtp("Not Supported By The Server.") {}
};

}  // namespace ravelo
