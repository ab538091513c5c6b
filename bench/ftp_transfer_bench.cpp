// Streaming a large file up and down through a real FTP server on loopback:
// the client must hold no more than its buffers whatever the file's size.
// The counters give the throughput and how much the peak memory grew over
// the round trip (goal: well under 16 MiB for a 48 MiB file, and no more
// for a bigger one), and the largest piece the streams were asked for.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <istream>
#include <ostream>
#include <streambuf>

#include "net/ftp_client.h"
#include "support/ftp_test_server.h"

namespace ravelo {
namespace {

using test::TFtpTestServer;

// The file, made as the upload reads it and checked as the download writes
// it, so that nothing but the client ever holds it.
struct TPattern : std::streambuf {
  explicit TPattern(std::uint64_t size) : size(size) {}
  static char Byte(std::uint64_t i) { return static_cast<char>((i * 2654435761u) >> 13); }
  std::streamsize xsgetn(char* s, std::streamsize n) override {
    largest = std::max(largest, n);
    n = std::min(n, static_cast<std::streamsize>(size - position));
    for (std::streamsize i = 0; i < n; ++i) s[i] = Byte(position + i);
    position += static_cast<std::uint64_t>(n);
    return n;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    largest = std::max(largest, n);
    for (std::streamsize i = 0; i < n; ++i) mismatches += s[i] != Byte(position + i);
    position += static_cast<std::uint64_t>(n);
    return n;
  }
  pos_type seekpos(pos_type pos, std::ios::openmode) override {
    position = static_cast<std::uint64_t>(static_cast<off_type>(pos));
    return pos;
  }
  std::uint64_t size;
  std::uint64_t position = 0;
  std::uint64_t mismatches = 0;
  std::streamsize largest = 0;
};

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_FtpRoundTripStreamsWithFlatMemory(benchmark::State& state) {
  const auto size = static_cast<std::uint64_t>(state.range(0)) * 1024 * 1024;
  TFtpTestServer server;
  TFtpClient client;
  TFtpSettings& settings = client.Settings();
  settings.Host = server.HostPort();
  settings.Username = TFtpTestServer::kUser;
  settings.Password = TFtpTestServer::kPassword;
  settings.RecvBufferSize = settings.SendBufferSize = 4096;
  client.Connect();
  const long peak_before = PeakKilobytes();
  std::streamsize largest = 0;
  for (auto _ : state) {
    TPattern source(size), sink(size);
    std::istream in(&source);
    client.Put(in, "big.bin");
    std::ostream out(&sink);
    client.Get("big.bin", out);
    if (sink.position != size || sink.mismatches != 0) state.SkipWithError("bytes differ");
    largest = std::max({largest, source.largest, sink.largest});
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(2 * size));
  state.counters["peak_growth_kb"] = static_cast<double>(PeakKilobytes() - peak_before);
  state.counters["largest_piece"] = static_cast<double>(largest);
}
BENCHMARK(BM_FtpRoundTripStreamsWithFlatMemory)
    ->Arg(48)
    ->Arg(192)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace ravelo
