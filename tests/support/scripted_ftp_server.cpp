#include "support/scripted_ftp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace ravelo::test {

namespace {

using Clock = std::chrono::steady_clock;
// No single step waits longer than this for the client.
constexpr auto kStepLimit = std::chrono::seconds(15);

sockaddr_in MakeAddress(const std::string& host, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
    throw std::runtime_error("bad address " + host);
  }
  return address;
}

void CloseHandle(int& handle) {
  if (handle >= 0) close(handle);
  handle = -1;
}

// Listens on 127.0.0.1 on a port the system chooses; answers the port.
int ListenOnLoopback(int& handle) {
  sockaddr_in address = MakeAddress("127.0.0.1", 0);
  socklen_t length = sizeof(address);
  handle = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (handle < 0 || bind(handle, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(handle, 4) != 0 ||
      getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CloseHandle(handle);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  return ntohs(address.sin_port);
}

}  // namespace

struct TScriptedFtpServer::TState {
  const std::atomic<bool>* stop = nullptr;
  TScriptedFtpServer* server = nullptr;
  int control = -1;
  int data = -1;
  int passive = -1;
  std::string buffer;
  std::string data_host;
  int data_port = 0;

  ~TState() {
    CloseHandle(passive);
    CloseHandle(data);
    CloseHandle(control);
  }

  // Waits for the handle to become ready; whether the client went away is
  // for the caller's read to tell.
  void Wait(int handle, short events) const {
    const auto deadline = Clock::now() + kStepLimit;
    for (;;) {
      if (stop->load()) throw std::runtime_error("stopped");
      pollfd fd{handle, events, 0};
      if (poll(&fd, 1, 50) > 0) return;
      if (Clock::now() > deadline) throw std::runtime_error("the client did not act in time");
    }
  }

  void SendAll(int handle, const std::string& bytes) const {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      Wait(handle, POLLOUT);
      const ssize_t done = send(handle, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (done < 0) throw std::runtime_error(std::string("send failed: ") + std::strerror(errno));
      sent += static_cast<std::size_t>(done);
    }
  }

  std::string ReadLine() {
    for (;;) {
      const auto end = buffer.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer.substr(0, end);
        buffer.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      Wait(control, POLLIN);
      char chunk[4096];
      const ssize_t got = recv(control, chunk, sizeof(chunk), 0);
      if (got <= 0) throw std::runtime_error("the client closed the control connection");
      buffer.append(chunk, static_cast<std::size_t>(got));
    }
  }
};

TScriptedFtpServer::TScriptedFtpServer() {
  port_ = ListenOnLoopback(listener_);
}

TScriptedFtpServer::~TScriptedFtpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  CloseHandle(listener_);
}

std::string TScriptedFtpServer::HostPort() const {
  return "127.0.0.1:" + std::to_string(port_);
}

TScriptedFtpServer& TScriptedFtpServer::Send(const std::string& line) {
  steps_.push_back([bytes = line + "\r\n"](TState& state) { state.SendAll(state.control, bytes); });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::Expect(const std::string& prefix) {
  steps_.push_back([prefix](TState& state) {
    const std::string line = state.ReadLine();
    if (line.compare(0, prefix.size(), prefix) != 0) {
      throw std::runtime_error("expected '" + prefix + "', got '" + line + "'");
    }
  });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::Answer(const std::string& prefix,
                                               const std::string& reply) {
  return Expect(prefix).Send(reply);
}

TScriptedFtpServer& TScriptedFtpServer::Login() {
  return Send("220 scripted server ready")
      .Answer("USER ", "331 password please")
      .Answer("PASS ", "230 logged in")
      .Answer("TYPE ", "200 type set")
      .Answer("SYST", "215 UNIX Type: L8");
}

TScriptedFtpServer& TScriptedFtpServer::AcceptPort() {
  steps_.push_back([](TState& state) {
    const std::string line = state.ReadLine();
    int parts[6];
    if (std::sscanf(line.c_str(), "PORT %d,%d,%d,%d,%d,%d", &parts[0], &parts[1], &parts[2],
                    &parts[3], &parts[4], &parts[5]) != 6) {
      throw std::runtime_error("expected PORT, got '" + line + "'");
    }
    state.data_host = std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
                      std::to_string(parts[2]) + "." + std::to_string(parts[3]);
    state.data_port = parts[4] * 256 + parts[5];
    state.SendAll(state.control, "200 port accepted\r\n");
  });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::DataConnect(const std::string& from) {
  steps_.push_back([from](TState& state) {
    CloseHandle(state.data);
    const sockaddr_in target = MakeAddress(state.data_host, state.data_port);
    const sockaddr_in source = MakeAddress(from, 0);
    state.data = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (state.data < 0 ||
        bind(state.data, reinterpret_cast<const sockaddr*>(&source), sizeof(source)) != 0 ||
        connect(state.data, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0) {
      throw std::runtime_error("data connection from " + from + " failed: " + std::strerror(errno));
    }
  });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::AcceptPasv(const std::string& named) {
  steps_.push_back([named](TState& state) {
    const std::string line = state.ReadLine();
    if (line != "PASV") throw std::runtime_error("expected PASV, got '" + line + "'");
    CloseHandle(state.passive);
    const int port = ListenOnLoopback(state.passive);
    std::string numbers = named;
    for (char& c : numbers) c = c == '.' ? ',' : c;
    state.SendAll(state.control, "227 Entering Passive Mode (" + numbers + "," +
                                     std::to_string(port / 256) + "," + std::to_string(port % 256) +
                                     ").\r\n");
  });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::AcceptEpsv() {
  steps_.push_back([](TState& state) {
    const std::string line = state.ReadLine();
    if (line != "EPSV") throw std::runtime_error("expected EPSV, got '" + line + "'");
    CloseHandle(state.passive);
    const int port = ListenOnLoopback(state.passive);
    state.SendAll(state.control,
                  "229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)\r\n");
  });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::DataAccept() {
  steps_.push_back([](TState& state) {
    CloseHandle(state.data);
    state.Wait(state.passive, POLLIN);
    state.data = accept4(state.passive, nullptr, nullptr, SOCK_CLOEXEC);
    if (state.data < 0) throw std::runtime_error("accept of the data connection failed");
  });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::DataSend(const std::string& bytes) {
  steps_.push_back([bytes](TState& state) {
    try {
      state.SendAll(state.data, bytes);
    } catch (const std::runtime_error&) {
      if (state.stop->load()) throw;
    }
  });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::DataReceive(std::size_t at_least) {
  steps_.push_back([at_least](TState& state) {
    for (std::size_t total = 0; total < at_least;) {
      state.Wait(state.data, POLLIN);
      char chunk[65536];
      const ssize_t got = recv(state.data, chunk, sizeof(chunk), 0);
      if (got <= 0) return;
      total += static_cast<std::size_t>(got);
      std::lock_guard guard(state.server->lock_);
      state.server->received_.append(chunk, static_cast<std::size_t>(got));
    }
  });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::DataClose() {
  steps_.push_back([](TState& state) { CloseHandle(state.data); });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::Stall() {
  steps_.push_back([](TState& state) {
    // Drain without answering until the client gives up and closes.
    for (;;) {
      state.Wait(state.control, POLLIN);
      char chunk[4096];
      if (recv(state.control, chunk, sizeof(chunk), 0) <= 0) return;
    }
  });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::Close() {
  steps_.push_back([](TState& state) {
    CloseHandle(state.data);
    CloseHandle(state.control);
  });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::CloseWithReset() {
  steps_.push_back([](TState& state) {
    const linger reset{1, 0};
    setsockopt(state.control, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
    CloseHandle(state.data);
    CloseHandle(state.control);
  });
  return *this;
}

TScriptedFtpServer& TScriptedFtpServer::AcceptNext() {
  steps_.push_back([this](TState& state) {
    CloseHandle(state.data);
    CloseHandle(state.control);
    state.buffer.clear();
    Accept(state);
  });
  return *this;
}

void TScriptedFtpServer::Accept(TState& state) {
  state.Wait(listener_, POLLIN);
  state.control = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (state.control < 0) throw std::runtime_error("accept failed");
}

void TScriptedFtpServer::Start() {
  thread_ = std::thread([this] { Run(); });
}

void TScriptedFtpServer::Run() {
  TState state;
  state.stop = &stop_;
  state.server = this;
  try {
    Accept(state);
    for (const auto& step : steps_) step(state);
  } catch (const std::exception& error) {
    std::lock_guard guard(lock_);
    failure_ = error.what();
  }
}

std::string TScriptedFtpServer::Finish() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard guard(lock_);
  return failure_;
}

std::string TScriptedFtpServer::Received() const {
  std::lock_guard guard(lock_);
  return received_;
}

}  // namespace ravelo::test
