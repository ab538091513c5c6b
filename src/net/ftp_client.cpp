#include "net/ftp_client.h"

#include <netinet/in.h>

#include <algorithm>
#include <charconv>
#include <exception>
#include <istream>
#include <ostream>

#include "net/ftp_exceptions.h"
#include "net/ftp_line_ends.h"
#include "net/ftp_list_parser.h"
#include "net/ftp_mlsd_parser.h"

namespace ravelo {

namespace {

bool Accepts(std::initializer_list<int> accepted, int code) {
  return std::find(accepted.begin(), accepted.end(), code) != accepted.end();
}

// Splits listing text at CR LF, LF or CR; a final line break adds no line.
void SplitListing(const std::string& text, std::vector<std::string>& lines) {
  lines.clear();
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.emplace_back(text, start);
      break;
    }
    lines.emplace_back(text, start, end - start);
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
}

// Collects a listing and measures it as it arrives: a server sending one
// endless line or an endless listing must not fill memory before it ends.
// Lines are counted as SplitListing cuts them.
class TListingSink : public std::streambuf {
 public:
  enum TFailure { kNone, kLineTooLong, kListingTooLong };

  TListingSink(std::string& text, const TFtpSettings& settings)
      : text_(text),
        max_line_(settings.MaxLineLength),
        max_size_(settings.MaxListingSize),
        max_lines_(settings.MaxListingLines) {}
  TFailure Failure() const { return failure_; }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const auto size = static_cast<std::size_t>(n);
    if (size > max_size_ - std::min(max_size_, text_.size())) return Fail(kListingTooLong);
    for (std::size_t i = 0; i < size; ++i) {
      const char c = s[i];
      const bool second_half = c == '\n' && after_cr_;
      after_cr_ = c == '\r';
      if (second_half) continue;
      // Every other byte belongs to the line after the ones ended so far.
      if (lines_ >= max_lines_) return Fail(kListingTooLong);
      if (c == '\r' || c == '\n') {
        ++lines_;
        line_ = 0;
      } else if (++line_ > max_line_) {
        return Fail(kLineTooLong);
      }
    }
    text_.append(s, size);
    return n;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char one = traits_type::to_char_type(c);
    return xsputn(&one, 1) == 1 ? c : traits_type::eof();
  }

 private:
  std::streamsize Fail(TFailure failure) {
    failure_ = failure;
    return 0;
  }

  std::string& text_;
  std::size_t max_line_;
  std::size_t max_size_;
  std::size_t max_lines_;
  std::size_t line_ = 0;   // bytes of the unfinished line
  std::size_t lines_ = 0;  // lines ended
  bool after_cr_ = false;
  TFailure failure_ = kNone;
};

}  // namespace

std::string FormatPortArgument(const TSocketAddress& address) {
  std::string argument = address.Host();
  std::replace(argument.begin(), argument.end(), '.', ',');
  const int port = address.Port();
  return argument + "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

std::string FormatEprtArgument(const TSocketAddress& address) {
  const char* protocol = address.Family() == AF_INET6 ? "2" : "1";
  return std::string("|") + protocol + "|" + address.Host() + "|" + std::to_string(address.Port()) +
         "|";
}

TFtpClient::TFtpClient()
    : reader_(
          [this](char* buffer, std::size_t size) {
            return Control()->Receive(buffer, size, settings_.ReadTimeout);
          },
          16384) {}

TFtpClient::~TFtpClient() {
  Disconnect();
}

std::shared_ptr<TSocket> TFtpClient::Control() const {
  std::lock_guard guard(lock_);
  if (!control_) throw EFtpNotConnected();
  return control_;
}

bool TFtpClient::Connected() const {
  std::lock_guard guard(lock_);
  return control_ != nullptr;
}

bool TFtpClient::HasDataConnection() const {
  std::lock_guard guard(lock_);
  return data_ != nullptr;
}

void TFtpClient::CloseControl() {
  std::shared_ptr<TSocket> control;
  {
    std::lock_guard guard(lock_);
    control = std::move(control_);
  }
  if (control) control->Shutdown();
}

void TFtpClient::SendLine(const std::string& line) {
  if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
    throw EFtpInvalidName();
  }
  const auto control = Control();
  try {
    control->SendAll((line + "\r\n").data(), line.size() + 2, settings_.ReadTimeout);
  } catch (const EFtp&) {
    CloseControl();
    throw;
  }
}

const TFtpReply& TFtpClient::ReadReply() {
  reader_.SetMaxLineLength(settings_.MaxLineLength);
  try {
    last_cmd_result_ = ReadFtpReply(reader_, settings_.MaxReplyLines);
  } catch (const EFtpNotConnected&) {
    throw;
  } catch (const EFtp&) {
    // Lost, timed out or out of step: nothing more can be read reliably.
    CloseControl();
    throw;
  }
  return last_cmd_result_;
}

int TFtpClient::Check(std::initializer_list<int> accepted) {
  const TFtpReply& reply = ReadReply();
  if (accepted.size() > 0 && !Accepts(accepted, reply.NumericCode)) {
    throw EFtpReplyError(reply.JoinedText(), reply.NumericCode);
  }
  return reply.NumericCode;
}

int TFtpClient::SendCmd(const std::string& command, std::initializer_list<int> accepted) {
  SendLine(command);
  return Check(accepted);
}

void TFtpClient::ThrowLastReply() const {
  throw EFtpReplyError(last_cmd_result_.JoinedText(), last_cmd_result_.NumericCode);
}

void TFtpClient::SendTransferType() {
  SendCmd(transfer_type_ == ftASCII ? "TYPE A" : "TYPE I", {200});
}

void TFtpClient::SetTransferType(TFtpTransferType type) {
  if (type == transfer_type_ || HasDataConnection()) return;
  transfer_type_ = type;
  if (Connected()) SendTransferType();
}

void TFtpClient::Connect() {
  if (Connected()) throw EFtpAlreadyConnected();
  tls_host_.clear();
  fingerprint_.clear();
  tls_offered_ = data_protected_ = false;
  features_.reset();
  machine_listing_.reset();
  epsv_refused_ = passive_refused_ = false;
  try {
    const THostPort target = SplitHostPort(settings_.Host, settings_.Port);
    auto control = std::make_shared<TSocket>(
        TSocket::Connect(target.Host, target.Port, settings_.ConnectTimeout));
    {
      std::lock_guard guard(lock_);
      control_ = control;
    }
    reader_.Reset();
    Check({220});
    greeting_ = last_cmd_result_;
    if (settings_.TlsMode != tmPlain) StartTls(target.Host, *control);
    if (SendCmd("USER " + settings_.Username, {230, 331}) == 331) {
      SendLine("PASS " + settings_.Password);
      const TFtpReply& reply = ReadReply();
      if (reply.NumericCode != 230) {
        // A server may echo what it was sent; the password never goes into
        // a message, so such a reply is replaced, not masked letter by letter.
        const std::string text = reply.JoinedText();
        const bool echoes =
            !settings_.Password.empty() && text.find(settings_.Password) != std::string::npos;
        throw EFtpReplyError(echoes ? std::string("Login incorrect.\n") : text, reply.NumericCode);
      }
    }
    if (control->Tls() != nullptr) ProtectData();
    SendTransferType();
    if (SendCmd("SYST", {200, 215, 500}) == 500) {
      system_desc_ = "Unknown";
    } else {
      system_desc_ = last_cmd_result_.Text.empty() ? std::string() : last_cmd_result_.Text.front();
    }
  } catch (...) {
    CloseControl();
    throw;
  }
}

void TFtpClient::StartTls(const std::string& host, TSocket& control) {
  if (!tls_context_) tls_context_ = std::make_unique<TTlsContext>();
  const int code = SendCmd("AUTH TLS", {});
  if (code != 234) {
    if (code == 421) ThrowLastReply();
    if (settings_.TlsMode == tmRequire) throw EFtpTlsRequired(EFtpTlsRequired::trNotOffered);
    if (settings_.TlsOfferedBefore) throw EFtpTlsRequired(EFtpTlsRequired::trNoLongerOffered);
    return;
  }
  tls_offered_ = true;
  // Whatever came after the 234 in plain text is not the server's.
  reader_.Reset();
  control.StartTls(*tls_context_, host, {}, settings_.ConnectTimeout);
  CheckCertificate(*control.Tls());
  tls_host_ = host;
}

void TFtpClient::CheckCertificate(const TTlsLayer& tls) {
  const std::string fingerprint = tls.PeerFingerprint();
  if (fingerprint.empty()) throw EFtpTlsError("no server certificate");
  if (!tls.Verified()) {
    const std::string accepted = NormalizeFingerprint(settings_.AcceptedFingerprint);
    if (fingerprint != accepted) {
      throw EFtpCertificateRejected(accepted.empty() ? EFtpCertificateRejected::crNotTrusted
                                                     : EFtpCertificateRejected::crChanged,
                                    tls.VerifyText(), fingerprint);
    }
  }
  fingerprint_ = fingerprint;
}

void TFtpClient::ProtectData() {
  int code = SendCmd("PBSZ 0", {});
  if (code == 200) code = SendCmd("PROT P", {});
  if (code == 200) {
    data_protected_ = true;
    return;
  }
  if (code == 421) ThrowLastReply();
  if (settings_.TlsMode == tmRequire) throw EFtpTlsRequired(EFtpTlsRequired::trDataRefused);
}

const TFtpFeatures& TFtpClient::Features() {
  if (!features_) {
    const int code = SendCmd("FEAT", {});
    if (code == 421) ThrowLastReply();
    features_ = TFtpFeatures(last_cmd_result_);
  }
  return *features_;
}

bool TFtpClient::MachineListing() {
  if (machine_listing_) return *machine_listing_;
  machine_listing_ = false;
  if (!Features().Has("MLST")) return false;
  // "type*;size*;modify*;": the facts offered, a star on those sent.
  std::vector<std::string> offered;
  const std::string facts = features_->Parameters("MLST");
  for (std::size_t start = 0; start < facts.size();) {
    const std::size_t end = std::min(facts.find(';', start), facts.size());
    offered.push_back(facts.substr(start, end - start));
    start = end + 1;
  }
  const auto listed = [&](const std::string& fact) {
    return std::any_of(offered.begin(), offered.end(),
                       [&](const std::string& one) { return EqualIgnoringCase(one, fact); });
  };
  bool all_on = true;
  for (const std::string fact : {"type", "size", "modify"}) {
    if (!listed(fact) && !listed(fact + "*")) return false;
    all_on = all_on && listed(fact + "*");
  }
  if (!all_on && SendCmd("OPTS MLST type;size;modify;", {}) != 200) return false;
  machine_listing_ = true;
  return true;
}

std::optional<TFtpListItem> TFtpClient::FileInfo(const std::string& name) {
  TFtpListItem item;
  if (MachineListing()) {
    const int code = SendCmd("MLST " + name, {250, 550});
    if (code == 550) return std::nullopt;
    // The entry is the line between the first and the last.
    const auto& lines = last_cmd_result_.Lines;
    if (lines.size() < 3 || !ParseMlsdItem(lines[1], item)) throw EFtpInvalidListingFormat();
    const std::size_t slash = item.FileName.find_last_of('/');
    if (slash != std::string::npos && slash + 1 < item.FileName.size()) {
      item.FileName.erase(0, slash + 1);
    }
    return item;
  }
  if (!SupportsFileInfo()) throw EFtpNotSupported();
  if (SendCmd("MDTM " + name, {213, 550}) == 550) return std::nullopt;
  const auto modified =
      ParseFtpTimeVal(last_cmd_result_.Text.empty() ? "" : last_cmd_result_.Text.front());
  if (!modified) throw EFtpInvalidListingFormat();
  // SIZE counts bytes as a binary transfer would move them.
  const TFtpTransferType type = transfer_type_;
  if (type == ftASCII) SendCmd("TYPE I", {200});
  int code = 0;
  try {
    code = SendCmd("SIZE " + name, {213, 550});
  } catch (const EFtpReplyError&) {
    if (type == ftASCII) SendTransferType();
    throw;
  }
  const TFtpReply size_reply = last_cmd_result_;
  if (type == ftASCII) SendTransferType();
  if (code == 550) return std::nullopt;
  const std::string size = size_reply.Text.empty() ? "" : size_reply.Text.front();
  const auto [end, error] = std::from_chars(size.data(), size.data() + size.size(), item.Size);
  if (size.empty() || error != std::errc() || end != size.data() + size.size()) {
    throw EFtpInvalidListingFormat();
  }
  item.FileName = name.substr(name.find_last_of('/') + 1);
  item.ItemType = itFile;
  item.ModifiedDate = *modified;
  item.TimePrecision = tpExact;
  return item;
}

bool TFtpClient::ListsExactTimes() {
  return settings_.PreciseTimes && MachineListing();
}

bool TFtpClient::SupportsFileInfo() {
  return MachineListing() || (Features().Has("MDTM") && Features().Has("SIZE"));
}

void TFtpClient::Noop() {
  SendCmd("NOOP", {200});
}

void TFtpClient::ChangeDir(const std::string& path) {
  SendCmd("CWD " + path, {200, 250});
}

void TFtpClient::MakeDir(const std::string& name) {
  SendCmd("MKD " + name, {257});
}

void TFtpClient::RemoveDir(const std::string& name) {
  SendCmd("RMD " + name, {250});
}

void TFtpClient::Delete(const std::string& name) {
  SendCmd("DELE " + name, {250});
}

void TFtpClient::Rename(const std::string& old_name, const std::string& new_name) {
  SendCmd("RNFR " + old_name, {350});
  SendCmd("RNTO " + new_name, {250});
}

TSocket TFtpClient::AcceptFromPeer(TSocket& listener, TSocket& control) {
  using Clock = std::chrono::steady_clock;
  const TSocketAddress peer = control.PeerAddress();
  const auto limit = settings_.AcceptTimeout;
  const auto deadline = Clock::now() + limit;
  bool refused_foreign = false;
  for (;;) {
    auto left = limit;
    if (limit.count() > 0) {
      left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) throw EFtpTimeout();
    }
    // A fast server may have sent the data and its final reply already; its
    // connection is then waiting. A reply with no connection waiting (425,
    // say) means none is coming.
    if (!listener.Readable() &&
        (reader_.HasBuffered() || WaitReadable(listener, control, left) == 1)) {
      const TFtpReply& reply = ReadReply();
      if (refused_foreign) throw EFtpForeignDataConnection();
      throw EFtpReplyError(reply.JoinedText(), reply.NumericCode);
    }
    TSocket data = listener.Accept(left);
    // Only the server we talk to may deliver or take the data.
    if (data.PeerAddress().SameHost(peer)) return data;
    refused_foreign = true;
  }
}

std::optional<TSocketAddress> TFtpClient::PassiveAddress(const TSocket& control) {
  if (settings_.DataMode == dmActive || passive_refused_) return std::nullopt;
  // The server's own address, whatever a reply names: a server must not
  // send our data connection elsewhere.
  TSocketAddress address = control.PeerAddress();
  const auto at_port = [&](std::optional<int> port) {
    if (!port) ThrowLastReply();
    address.SetPort(*port);
    return address;
  };
  if (!epsv_refused_) {
    const int code = SendCmd("EPSV", {});
    if (code == 229) return at_port(ParseEpsvPort(last_cmd_result_.JoinedText()));
    if (!Refused(code)) ThrowLastReply();
    epsv_refused_ = true;
  }
  if (address.Family() == AF_INET) {
    const int code = SendCmd("PASV", {});
    if (code == 227) return at_port(ParsePasvPort(last_cmd_result_.JoinedText()));
    if (!Refused(code)) ThrowLastReply();
  }
  if (settings_.DataMode == dmPassive) {
    ThrowLastReply();
  }
  passive_refused_ = true;
  return std::nullopt;
}

template <typename Mover>
void TFtpClient::Transfer(const std::string& command, std::initializer_list<int> accepted,
                          Mover&& mover) {
  {
    std::lock_guard guard(lock_);
    abort_requested_ = false;
  }
  std::shared_ptr<TSocket> data;
  TTlsSession session;  // the control connection's, offered for resumption
  const auto publish = [&](TSocket socket) {
    data = std::make_shared<TSocket>(std::move(socket));
    std::lock_guard guard(lock_);
    data_ = data;
    // An abort that came while the connection was being made found no
    // data connection to shut down.
    if (abort_requested_) data_->Shutdown();
  };
  const auto discard_data = [&](bool reset) {
    {
      std::lock_guard guard(lock_);
      data_.reset();
    }
    if (reset) {
      data->CloseWithReset();
    } else {
      data->Close();
    }
  };
  try {
    const auto control = Control();
    if (data_protected_) session = control->Tls()->Session();
    if (const auto passive = PassiveAddress(*control)) {
      publish(TSocket::Connect(*passive, settings_.ConnectTimeout));
      SendCmd(command, accepted);
    } else {
      TSocketAddress local = control->LocalAddress();
      local.SetPort(0);
      TSocket listener = TSocket::Listen(local);
      const TSocketAddress listening = listener.LocalAddress();
      if (listening.Family() == AF_INET6) {
        SendCmd("EPRT " + FormatEprtArgument(listening), {200});
      } else {
        SendCmd("PORT " + FormatPortArgument(listening), {200});
      }
      SendCmd(command, accepted);
      publish(AcceptFromPeer(listener, *control));
    }
  } catch (const EFtpTimeout&) {
    if (data) discard_data(true);
    CloseControl();
    throw;
  } catch (...) {
    if (data) discard_data(true);
    throw;
  }
  try {
    if (data_protected_) {
      // After the server's preliminary reply, as servers expect it.
      data->StartTls(*tls_context_, tls_host_, session, settings_.TransferTimeout);
      // The data connection must come from the server we checked.
      data_session_reused_ = data->Tls()->SessionReused();
      const std::string fingerprint = data->Tls()->PeerFingerprint();
      if (fingerprint != fingerprint_) {
        throw EFtpCertificateRejected(EFtpCertificateRejected::crDataDiffers, "", fingerprint);
      }
    }
    mover(*data);
  } catch (const EFtpTimeout&) {
    discard_data(true);
    CloseControl();
    throw;
  } catch (const EFtpSocketError&) {
    discard_data(true);
    // The server tells what went wrong with the data connection; without a
    // complaint from it, the local error stands.
    FinishTransfer();
    throw;
  } catch (...) {
    // The caller's stream failed (or threw): the reset tells the server the
    // data is incomplete, and its final reply keeps the connection in step.
    discard_data(true);
    try {
      FinishTransfer();
    } catch (const EFtpReplyError&) {
      // The server's view of the broken-off transfer; ours is reported.
    }
    throw;
  }
  discard_data(false);
  FinishTransfer();
  // The shut-down data connection looked like a complete one; a server may
  // even have said 226 before the last bytes arrived. Aborted is not done.
  std::lock_guard guard(lock_);
  if (abort_requested_) throw EFtpConnClosed();
}

void TFtpClient::FinishTransfer() {
  const int code = Check({225, 226, 250, 426, 450});
  if (code != 426 && code != 450) return;
  // The transfer broke off and the data is not reported as complete. After
  // an ABOR a 226 follows at once; most servers send nothing more otherwise,
  // so the follow-up is read only when it comes in a moment.
  const TFtpReply broken_off = last_cmd_result_;
  const auto grace = settings_.ReadTimeout.count() > 0
                         ? std::min(settings_.ReadTimeout, settings_.FollowUpTimeout)
                         : settings_.FollowUpTimeout;
  if (reader_.HasBuffered() || Control()->ReadableWithin(grace)) Check({226, 225});
  last_cmd_result_ = broken_off;
  throw EFtpReplyError(broken_off.JoinedText(), broken_off.NumericCode);
}

void TFtpClient::ReceiveInto(TSocket& data, std::ostream& destination, bool ascii) {
  std::string buffer(std::max<std::size_t>(settings_.RecvBufferSize, 1), '\0');
  std::string converted;
  TFtpAsciiDecoder decoder;
  for (;;) {
    const std::size_t got = data.Receive(buffer.data(), buffer.size(), settings_.TransferTimeout);
    if (got == 0) break;
    if (ascii) {
      converted.clear();
      decoder.Decode(std::string_view(buffer.data(), got), converted);
      destination.write(converted.data(), static_cast<std::streamsize>(converted.size()));
    } else {
      destination.write(buffer.data(), static_cast<std::streamsize>(got));
    }
    if (!destination) throw EFtpStreamError();
  }
  if (ascii) {
    converted.clear();
    decoder.Finish(converted);
    destination.write(converted.data(), static_cast<std::streamsize>(converted.size()));
  }
  destination.flush();
  if (!destination) throw EFtpStreamError();
}

void TFtpClient::SendFrom(TSocket& data, std::istream& source, bool ascii) {
  const std::size_t piece = std::max<std::size_t>(settings_.SendBufferSize, 1);
  // Line ends may double the size of a piece; it goes out in halves then.
  std::string buffer(ascii ? (piece + 1) / 2 : piece, '\0');
  std::string converted;
  for (;;) {
    source.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto got = static_cast<std::size_t>(source.gcount());
    if (got > 0) {
      if (ascii) {
        converted.clear();
        EncodeFtpAscii(std::string_view(buffer.data(), got), converted);
        data.SendAll(converted.data(), converted.size(), settings_.TransferTimeout);
      } else {
        data.SendAll(buffer.data(), got, settings_.TransferTimeout);
      }
    }
    if (source.bad()) throw EFtpStreamError();
    if (source.eof()) return;
  }
}

void TFtpClient::List(std::vector<std::string>& lines) {
  directory_listing_.reset();
  list_result_.clear();
  list_result_mlsd_ = ListsExactTimes();
  std::string text;
  TListingSink sink(text, settings_);
  std::ostream destination(&sink);
  try {
    Transfer(list_result_mlsd_ ? "MLSD" : "LIST", {125, 150, 154},
             [&](TSocket& data) { ReceiveInto(data, destination, false); });
  } catch (const EFtpStreamError&) {
    if (sink.Failure() == TListingSink::kLineTooLong) throw EFtpLineTooLong();
    if (sink.Failure() == TListingSink::kListingTooLong) throw EFtpListingTooLong();
    throw;
  }
  SplitListing(text, list_result_);
  lines = list_result_;
}

const TFtpListItems& TFtpClient::DirectoryListing() {
  if (!directory_listing_) {
    directory_listing_ = list_result_mlsd_ ? LoadMlsdList(list_result_) : LoadFtpList(list_result_);
  }
  return *directory_listing_;
}

void TFtpClient::Get(const std::string& name, std::ostream& destination) {
  const bool ascii = transfer_type_ == ftASCII;
  Transfer("RETR " + name, {125, 150, 154},
           [&](TSocket& data) { ReceiveInto(data, destination, ascii); });
}

void TFtpClient::Put(std::istream& source, const std::string& name) {
  // Rewind first: a stream that cannot be read must not leave an empty file
  // on the server.
  source.clear();
  source.seekg(0);
  if (!source) throw EFtpStreamError();
  const bool ascii = transfer_type_ == ftASCII;
  Transfer("STOR " + name, {125, 150}, [&](TSocket& data) { SendFrom(data, source, ascii); });
}

std::exception_ptr TFtpClient::SendWithoutReply(std::string_view line) {
  std::shared_ptr<TSocket> control;
  {
    std::lock_guard guard(lock_);
    control = control_;
  }
  if (!control) return {};
  try {
    control->SendNoWait(line.data(), line.size());
  } catch (const EFtp&) {
    return std::current_exception();
  }
  return {};
}

void TFtpClient::Abort() {
  const std::exception_ptr failure = SendWithoutReply("ABOR\r\n");
  {
    // Under the lock: the transfer's own thread closes the descriptor only
    // after taking it out of data_.
    std::lock_guard guard(lock_);
    abort_requested_ = true;
    if (data_) data_->Shutdown();
  }
  if (failure) std::rethrow_exception(failure);
}

void TFtpClient::Quit() {
  const std::exception_ptr failure = SendWithoutReply("QUIT\r\n");
  Disconnect();
  if (failure) std::rethrow_exception(failure);
}

void TFtpClient::Disconnect() {
  std::shared_ptr<TSocket> control;
  {
    std::lock_guard guard(lock_);
    control = std::move(control_);
    abort_requested_ = true;
    // The transfer's thread closes the data connection when it wakes up.
    if (data_) data_->Shutdown();
  }
  if (control) control->Shutdown();
}

}  // namespace ravelo
