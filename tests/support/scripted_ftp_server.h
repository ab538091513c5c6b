#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ravelo::test {

// A loopback FTP server that follows a script, for what a real server will
// not do on demand: odd replies, silence, connections cut at a chosen step,
// data connections from another address. It serves one client connection
// at a time (AcceptNext moves on to the next).
//
// Build the script, then Start; the steps run in a thread of their own. A
// step that does not go as scripted ends the script and is reported by
// Finish. Every wait of the server is bounded, so a test cannot hang on it.
class TScriptedFtpServer {
 public:
  // Listens on 127.0.0.1, on a port the system chooses.
  TScriptedFtpServer();
  ~TScriptedFtpServer();
  TScriptedFtpServer(const TScriptedFtpServer&) = delete;
  TScriptedFtpServer& operator=(const TScriptedFtpServer&) = delete;

  // Sends the line followed by CR LF.
  TScriptedFtpServer& Send(const std::string& line);
  // Reads one command line; it must begin with prefix.
  TScriptedFtpServer& Expect(const std::string& prefix);
  // Expect(prefix), then Send(reply).
  TScriptedFtpServer& Answer(const std::string& prefix, const std::string& reply);
  // The greeting and a plain login: 220, USER 331, PASS 230, TYPE 200, SYST 215.
  TScriptedFtpServer& Login();
  // Expects PORT and answers 200.
  TScriptedFtpServer& AcceptPort();
  // Connects to the address of the last PORT, from the given address.
  TScriptedFtpServer& DataConnect(const std::string& from = "127.0.0.1");
  // Expects PASV (or EPSV), listens on 127.0.0.1 and answers 227 naming
  // the given address (or 229).
  TScriptedFtpServer& AcceptPasv(const std::string& named = "127.0.0.1");
  TScriptedFtpServer& AcceptEpsv();
  // Accepts the data connection after AcceptPasv or AcceptEpsv.
  TScriptedFtpServer& DataAccept();
  // Sends on the data connection; a refusal by the client is not a failure.
  TScriptedFtpServer& DataSend(const std::string& bytes);
  // Reads the data connection (Received) until the client closes it, or
  // until at least the given number of bytes has come.
  TScriptedFtpServer& DataReceive(std::size_t at_least = SIZE_MAX);
  TScriptedFtpServer& DataClose();
  // Stops answering until the client closes the control connection.
  TScriptedFtpServer& Stall();
  // Closes the control connection.
  TScriptedFtpServer& Close();
  // Closes it with a reset (RST), as a crashed or firewalled server does.
  TScriptedFtpServer& CloseWithReset();
  // Drops the connection (unread commands included) and accepts the
  // client's next one; the steps after it talk to that.
  TScriptedFtpServer& AcceptNext();

  void Start();
  // "127.0.0.1:PORT".
  std::string HostPort() const;
  // Waits for the script to end; "" when every step went as scripted, else
  // what went wrong.
  std::string Finish();
  // The bytes read by DataReceive.
  std::string Received() const;

 private:
  struct TState;
  using TStep = std::function<void(TState&)>;
  void Run();
  void Accept(TState& state);

  int listener_ = -1;
  int port_ = 0;
  std::vector<TStep> steps_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  // Guarded by lock_: written by the script's thread, read by the test.
  std::string received_;
  std::string failure_;
};

}  // namespace ravelo::test
