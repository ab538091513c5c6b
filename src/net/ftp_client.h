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

#include "net/ftp_list_item.h"
#include "net/ftp_reply.h"
#include "net/ftp_transfer_type.h"
#include "net/socket.h"

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
};

// An FTP client with one control connection (RFC 959) and active-mode data
// connections: PORT, or EPRT (RFC 2428) when the control connection is IPv6.
// Every operation blocks until the server's final reply has been read and
// reports failures as EFtp exceptions (net/ftp_exceptions.h).
//
// Threads: one thread at a time calls the operations (the owner serialises
// them). Abort, Quit, Disconnect and Connected may also come from another
// thread while an operation runs; they wake it up and it fails. lock_ guards
// control_ and data_ only.
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

  // Opens the control connection, reads the greeting (220), logs in
  // (USER, PASS on 331), sends TYPE and SYST. Any failure closes the
  // connection again.
  void Connect();
  bool Connected() const;

  void ChangeDir(const std::string& path);
  void MakeDir(const std::string& name);
  void RemoveDir(const std::string& name);
  void Delete(const std::string& name);
  void Rename(const std::string& old_name, const std::string& new_name);

  // LIST of the working directory; lines receives the listing lines.
  void List(std::vector<std::string>& lines);
  // The raw lines of the last listing.
  const std::vector<std::string>& ListResult() const { return list_result_; }
  // The parsed items of the last listing, built on first access; raises
  // EFtpInvalidListingFormat for a listing with a line it cannot read.
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

  template <typename Mover>
  void Transfer(const std::string& command, std::initializer_list<int> accepted, Mover&& mover);
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
  std::optional<TFtpListItems> directory_listing_;

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
