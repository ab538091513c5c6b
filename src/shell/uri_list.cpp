#include "shell/uri_list.h"

#include <unistd.h>

#include <array>
#include <stdexcept>

namespace ravelo {

namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

bool IsThisHost(std::string_view host) {
  if (host.empty() || EqualsIgnoringCase(host, "localhost")) return true;
  std::array<char, 256> name{};
  if (::gethostname(name.data(), name.size() - 1) != 0) return false;
  return EqualsIgnoringCase(host, name.data());
}

std::string_view Trim(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
    line.remove_suffix(1);
  return line;
}

// The local path of one file URI, or nullopt.
std::optional<std::string> LocalPath(std::string_view uri) {
  constexpr std::string_view kScheme = "file:";
  if (uri.size() < kScheme.size() || !EqualsIgnoringCase(uri.substr(0, kScheme.size()), kScheme))
    return std::nullopt;
  uri.remove_prefix(kScheme.size());
  if (uri.starts_with("//")) {
    uri.remove_prefix(2);
    const auto slash = uri.find('/');
    if (slash == std::string_view::npos || !IsThisHost(uri.substr(0, slash))) return std::nullopt;
    uri.remove_prefix(slash);
  }
  if (!uri.starts_with('/')) return std::nullopt;
  std::string path;
  for (std::size_t i = 0; i < uri.size(); ++i) {
    const auto c = static_cast<unsigned char>(uri[i]);
    if (c == '?' || c == '#' || c < 0x20 || c == 0x7F) return std::nullopt;
    if (c != '%') {
      path.push_back(static_cast<char>(c));
      continue;
    }
    if (i + 2 >= uri.size()) return std::nullopt;
    const int high = HexValue(uri[i + 1]);
    const int low = HexValue(uri[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return std::nullopt;
    path.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return path;
}

}  // namespace

std::string EncodeUriList(const std::vector<std::string>& paths) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (const std::string& path : paths) {
    if (!path.starts_with('/') || path.find('\0') != std::string::npos)
      throw std::invalid_argument("only absolute paths make file URIs");
    text += "file://";
    for (const char ch : path) {
      const auto c = static_cast<unsigned char>(ch);
      if (IsUnreserved(c) || c == '/') {
        text.push_back(ch);
      } else {
        text.push_back('%');
        text.push_back(kHex[c >> 4]);
        text.push_back(kHex[c & 0x0F]);
      }
    }
    text += "\r\n";
  }
  return text;
}

std::optional<std::vector<std::string>> DecodeUriList(std::string_view text) {
  std::vector<std::string> paths;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.starts_with('#')) continue;
    auto path = LocalPath(line);
    if (!path) return std::nullopt;
    paths.push_back(std::move(*path));
  }
  return paths;
}

}  // namespace ravelo
