#include "shell/file_list_block.h"

#include <cstdint>
#include <stdexcept>

namespace ravelo {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void PutUint32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t GetUint32(std::string_view block, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(block[at + i]);
  return value;
}

void PutUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Decodes one UTF-8 character at text[i], advancing i; an ill-formed
// sequence gives U+FFFD and skips one byte.
char32_t NextUtf8(std::string_view text, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  int length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + length > text.size()) {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += length;
  return c;
}

void PutUtf16(std::string& out, char32_t c) {
  const auto unit = [&](std::uint32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  };
  if (c < 0x10000) {
    unit(c);
  } else {
    c -= 0x10000;
    unit(0xD800 | (c >> 10));
    unit(0xDC00 | (c & 0x3FF));
  }
}

std::vector<std::string> ReadNarrow(std::string_view names) {
  std::vector<std::string> paths;
  while (true) {
    const auto end = names.find('\0');
    if (end == std::string_view::npos || end == 0) break;
    paths.emplace_back(names.substr(0, end));
    names.remove_prefix(end + 1);
  }
  return paths;
}

std::vector<std::string> ReadWide(std::string_view names) {
  std::vector<std::string> paths;
  std::string name;
  const auto unit_at = [&](std::size_t k) {
    return static_cast<char32_t>(static_cast<unsigned char>(names[2 * k]) |
                                 (static_cast<unsigned char>(names[2 * k + 1]) << 8));
  };
  const std::size_t units = names.size() / 2;
  for (std::size_t k = 0; k < units; ++k) {
    const char32_t unit = unit_at(k);
    if (unit == 0) {
      if (name.empty()) break;
      paths.push_back(std::move(name));
      name.clear();
    } else if (unit >= 0xD800 && unit <= 0xDBFF && k + 1 < units && unit_at(k + 1) >= 0xDC00 &&
               unit_at(k + 1) <= 0xDFFF) {
      PutUtf8(name, 0x10000 + ((unit - 0xD800) << 10) + (unit_at(k + 1) - 0xDC00));
      ++k;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      PutUtf8(name, kReplacement);
    } else {
      PutUtf8(name, unit);
    }
  }
  return paths;  // a name the block cut short has no zero and is left out
}

}  // namespace

std::string EncodeFileList(const std::vector<std::string>& paths, TNameWidth width) {
  std::string block;
  PutUint32(block, kFileListHeaderSize);
  PutUint32(block, 0);
  PutUint32(block, 0);
  PutUint32(block, 0);
  PutUint32(block, width == nwWide ? 1 : 0);
  for (const std::string& path : paths) {
    if (path.empty() || path.find('\0') != std::string::npos)
      throw std::invalid_argument("a file list cannot carry an empty path or a zero byte");
    if (width == nwNarrow) {
      block += path;
      block.push_back('\0');
    } else {
      for (std::size_t i = 0; i < path.size();) PutUtf16(block, NextUtf8(path, i));
      PutUtf16(block, 0);
    }
  }
  if (width == nwNarrow)
    block.push_back('\0');
  else
    PutUtf16(block, 0);
  return block;
}

std::vector<std::string> DecodeFileList(std::string_view block) {
  if (block.size() < kFileListHeaderSize) return {};
  const std::uint32_t offset = GetUint32(block, 0);
  if (offset < kFileListHeaderSize || offset >= block.size()) return {};
  const std::string_view names = block.substr(offset);
  return GetUint32(block, 16) == 0 ? ReadNarrow(names) : ReadWide(names);
}

}  // namespace ravelo
