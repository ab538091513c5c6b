#pragma once

#include <chrono>
#include <cstddef>
#include <exception>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/ftp_connection_modes.h"
#include "net/ftp_features.h"
#include "net/ftp_list_item.h"
#include "net/ftp_reply.h"
#include "net/ftp_transfer_type.h"
#include "net/socket.h"
#include "net/tls.h"

namespace ravelo {

// Settings of a client, all set before Connect. Zero time limits wait without
// limit.
struct TFtpSettings {
  // "host", "host:port", "[v6address]:port"; a port given here wins over Port.
  std::string Host;
  int Port = 21;
  std::string Username;
  std::string Password;  // sent unchanged
  // Pieces in which data connections are read and written.
  std::size_t RecvBufferSize = 32768;
  std::size_t SendBufferSize = 32768;
  std::size_t MaxLineLength = 16384;
  // A server is not trusted to end what it sends: longer replies fail with
  // EFtpReplyTooLong, longer listings with EFtpListingTooLong.
  std::size_t MaxReplyLines = 1000;
  std::size_t MaxListingSize = 64 * 1024 * 1024;  // bytes
  std::size_t MaxListingLines = 1000000;
  std::chrono::milliseconds ConnectTimeout{30000};
  // Waiting for a reply.
  std::chrono::milliseconds ReadTimeout{60000};
  // Waiting for the server to open the data connection.
  std::chrono::milliseconds AcceptTimeout{30000};
  // A transfer during which no byte moves.
  std::chrono::milliseconds TransferTimeout{60000};
  // Waiting for a reply that may follow a 426 or 450 (servers send one only
  // after an ABOR).
  std::chrono::milliseconds FollowUpTimeout{1000};
  // The defaults keep what callers had before these settings came: active
  // data connections, plain FTP, LIST.
  TFtpDataMode DataMode = dmActive;
  TFtpTlsMode TlsMode = tmPlain;
  // A server certificate the user accepted although it does not verify: its
  // SHA-256 fingerprint, 64 hex digits (either case, colons allowed). Any
  // other certificate that does not verify is refused.
  std::string AcceptedFingerprint;
  // Under tmIfOffered: the server accepted AUTH TLS before, so one that
  // refuses it now is refused (EFtpTlsRequired) before the login goes out
  // in plain text. Data connections may still be clear when PROT P is
  // refused, as before.
  bool TlsOfferedBefore = false;
  // List with MLSD when the server offers MLST: exact times (seconds, in
  // universal time) and sizes. Off: always LIST.
  bool PreciseTimes = false;
};

// An FTP client with one control connection (RFC 959), data connections in
// active or passive mode (RFC 2428: EPRT, EPSV) and explicit TLS (RFC 4217).
// Every operation blocks until the server's final reply has been read and
// reports failures as EFtp exceptions (net/ftp_exceptions.h).
//
// Threads: one thread at a time calls the operations (the owner serialises
// them). Abort, Quit, Disconnect and Connected may also come from another
// thread while an operation runs; they wake it up and it fails. lock_ guards
// control_, data_ and abort_requested_; every other field belongs to the
// operating thread.
class TFtpClient {
 public:
  TFtpClient();
  ~TFtpClient();
  TFtpClient(const TFtpClient&) = delete;
  TFtpClient& operator=(const TFtpClient&) = delete;

  TFtpSettings& Settings() { return settings_; }
  const TFtpSettings& Settings() const { return settings_; }

  TFtpTransferType TransferType() const { return transfer_type_; }
  // Sends TYPE at once when connected and the value changes; a change asked
  // for while a data connection exists is dropped.
  void SetTransferType(TFtpTransferType type);

  // Opens the control connection, reads the greeting (220), sets up TLS
  // (unless TlsMode is tmPlain: AUTH TLS and the certificate check), logs in
  // (USER, PASS on 331), asks for encrypted data connections (PBSZ 0, PROT P)
  // over TLS, sends TYPE and SYST. Any failure closes the connection again.
  void Connect();
  bool Connected() const;

  // Of the connection made by the last Connect. Encrypted: the control and
  // the data connections are. TlsOffered: the server accepted AUTH TLS
  // (always false under tmPlain, which does not ask).
  bool Encrypted() const { return data_protected_; }
  bool TlsOffered() const { return tls_offered_; }
  // The SHA-256 fingerprint of the server's certificate (64 upper-case hex
  // digits); "" on a plain connection.
  const std::string& CertificateFingerprint() const { return fingerprint_; }
  // Whether the last encrypted data connection resumed the control
  // connection's TLS session (which many servers require).
  bool DataSessionReused() const { return data_session_reused_; }

  // What the server lists for FEAT, asked once a connection on first need.
  const TFtpFeatures& Features();
  // The time and size of one entry without listing its folder: MLST, or
  // MDTM and SIZE. The times are exact (tpExact); FileName is the entry's
  // last name. Nothing when the server has no such entry (550); raises
  // EFtpNotSupported when the server offers neither way (SupportsFileInfo).
  std::optional<TFtpListItem> FileInfo(const std::string& name);
  bool SupportsFileInfo();
  // NOOP: keeps an idle connection from the server's idle limit.
  void Noop();

  void ChangeDir(const std::string& path);
  void MakeDir(const std::string& name);
  void RemoveDir(const std::string& name);
  void Delete(const std::string& name);
  void Rename(const std::string& old_name, const std::string& new_name);

  // Whether List uses MLSD: PreciseTimes is set and the server offers MLST
  // with the facts type, size and modify.
  bool ListsExactTimes();
  // LIST of the working directory (MLSD when ListsExactTimes); lines
  // receives the listing lines.
  void List(std::vector<std::string>& lines);
  // The raw lines of the last listing.
  const std::vector<std::string>& ListResult() const { return list_result_; }
  // The parsed items of the last listing, built on first access; raises
  // EFtpInvalidListingFormat for a listing with a line it cannot read. Each
  // item tells how its time was read (TimePrecision).
  const TFtpListItems& DirectoryListing();

  // RETR: every byte received goes to destination from its position on, in
  // pieces of at most RecvBufferSize.
  void Get(const std::string& name, std::ostream& destination);
  // STOR: source is sent whole from its beginning.
  void Put(std::istream& source, const std::string& name);

  // Sends ABOR (no reply awaited) and closes any data connection.
  void Abort();
  // Sends QUIT (no reply awaited), then disconnects.
  void Quit();
  // Closes the control connection; unread replies are dropped.
  void Disconnect();

  const TFtpReply& LastCmdResult() const { return last_cmd_result_; }
  const TFtpReply& Greeting() const { return greeting_; }
  const std::string& SystemDesc() const { return system_desc_; }
  // True while a transfer's data connection is open.
  bool HasDataConnection() const;

 private:
  std::shared_ptr<TSocket> Control() const;
  void CloseControl();
  void SendLine(const std::string& line);
  // ABOR and QUIT: sent from any thread, no reply awaited; a send failure is
  // handed back so that the caller can finish its work first.
  std::exception_ptr SendWithoutReply(std::string_view line);
  const TFtpReply& ReadReply();
  int Check(std::initializer_list<int> accepted);
  int SendCmd(const std::string& command, std::initializer_list<int> accepted);
  void SendTransferType();
  // The last reply, as the failure of the command it answers.
  [[noreturn]] void ThrowLastReply() const;
  // A reply code: 5xx, the server does not do it.
  static bool Refused(int code) { return code >= 500 && code <= 599; }
  void StartTls(const std::string& host, TSocket& control);
  void CheckCertificate(const TTlsLayer& tls);
  void ProtectData();
  // True when MLSD and MLST give type, size and modify (asked for with OPTS
  // MLST when the server has them off).
  bool MachineListing();

  template <typename Mover>
  void Transfer(const std::string& command, std::initializer_list<int> accepted, Mover&& mover);
  // The address to connect to for a passive data connection; nothing for
  // an active one.
  std::optional<TSocketAddress> PassiveAddress(const TSocket& control);
  TSocket AcceptFromPeer(TSocket& listener, TSocket& control);
  void FinishTransfer();
  void ReceiveInto(TSocket& data, std::ostream& destination, bool ascii);
  void SendFrom(TSocket& data, std::istream& source, bool ascii);

  TFtpSettings settings_;
  TFtpTransferType transfer_type_ = ftBinary;
  TFtpLineReader reader_;
  TFtpReply last_cmd_result_;
  TFtpReply greeting_;
  std::string system_desc_;
  std::vector<std::string> list_result_;
  bool list_result_mlsd_ = false;
  std::optional<TFtpListItems> directory_listing_;

  // Made for the first TLS connection, kept for the next ones.
  std::unique_ptr<TTlsContext> tls_context_;
  // Of the current connection, reset by Connect.
  std::string tls_host_;
  std::string fingerprint_;
  bool tls_offered_ = false;
  bool data_protected_ = false;
  bool data_session_reused_ = false;
  std::optional<TFtpFeatures> features_;
  std::optional<bool> machine_listing_;
  bool epsv_refused_ = false;
  bool passive_refused_ = false;

  mutable std::mutex lock_;
  // Shared with the operation running in the owner's thread: a Disconnect or
  // Abort from another thread shuts the socket down to wake that operation,
  // and the descriptor closes only when both have let go, so it is never
  // reused under a blocked read. Guarded by lock_; the socket in data_ is
  // shut down only under lock_, since its thread closes it once it has taken
  // it out of data_.
  std::shared_ptr<TSocket> control_;
  std::shared_ptr<TSocket> data_;
  // Set by Abort and Disconnect, cleared when a transfer starts: the running
  // transfer fails even when its data connection seemed to end normally.
  // Guarded by lock_.
  bool abort_requested_ = false;
};

// The argument of PORT for an IPv4 address: "192,168,1,5,19,137".
std::string FormatPortArgument(const TSocketAddress& address);
// The argument of EPRT: "|2|::1|5001|" (or "|1|...|" for IPv4).
std::string FormatEprtArgument(const TSocketAddress& address);

}  // namespace ravelo
