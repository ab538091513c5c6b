#include "settings/settings_format.h"

#include <set>
#include <vector>

#include "settings/settings_error.h"

namespace ravelo {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

unsigned char Byte(char c) {
  return static_cast<unsigned char>(c);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The length of the valid UTF-8 sequence of two or more bytes starting at
// text[i], or 0 when there is none (overlong forms and surrogates included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const unsigned char lead = Byte(text[i]);
  std::size_t length;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = Byte(text[i + k]);
    if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

// Appends text, passing printable ASCII and valid UTF-8 through and writing
// every byte for which must_escape is true or that is not valid UTF-8 with
// escape(byte).
template <typename MustEscape, typename Escape>
void AppendEscaped(std::string& out, std::string_view text, MustEscape must_escape, Escape escape) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = Byte(text[i]);
    if (c >= 0x80) {
      if (const auto length = Utf8SequenceLength(text, i)) {
        out.append(text.substr(i, length));
        i += length;
        continue;
      }
      escape(out, c);
    } else if (c < 0x20 || c == 0x7F || must_escape(c)) {
      escape(out, c);
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  AppendEscaped(
      out, text, [](unsigned char c) { return c == '"' || c == '\\'; },
      [](std::string& o, unsigned char c) {
        switch (c) {
          case '"':
            o += "\\\"";
            break;
          case '\\':
            o += "\\\\";
            break;
          case '\n':
            o += "\\n";
            break;
          case '\r':
            o += "\\r";
            break;
          case '\t':
            o += "\\t";
            break;
          default:
            o += "\\x";
            o += kHexDigits[c >> 4];
            o += kHexDigits[c & 0xF];
        }
      });
  out += '"';
}

void AppendKeyName(std::string& out, std::string_view name) {
  AppendEscaped(
      out, name, [](unsigned char c) { return c == '%' || c == '[' || c == ']' || c == ' '; },
      [](std::string& o, unsigned char c) {
        o += '%';
        o += kHexDigits[c >> 4];
        o += kHexDigits[c & 0xF];
      });
}

void AppendValue(std::string& out, const TSettingsValue& value) {
  if (value.Name.empty()) {
    out += '@';
  } else {
    AppendQuoted(out, value.Name);
  }
  if (const auto* text = std::get_if<std::string>(&value.Data)) {
    out += " = string ";
    AppendQuoted(out, *text);
  } else if (const auto* byte = std::get_if<std::uint8_t>(&value.Data)) {
    out += " = byte ";
    out += std::to_string(*byte);
  } else {
    out += " = bool ";
    out += std::get<bool>(value.Data) ? '1' : '0';
  }
  out += '\n';
}

void AppendKey(std::string& out, const TSettingsKey& key, const std::string& path) {
  out += "\n[";
  out += path;
  out += "]\n";
  for (const auto& value : key.Values) AppendValue(out, value);
  for (const auto& subkey : key.Subkeys) {
    std::string subpath = path;
    subpath += '\\';
    AppendKeyName(subpath, subkey.Name);
    AppendKey(out, subkey, subpath);
  }
}

// Reads the settings text line by line into a tree.
class TParser {
 public:
  TParser(std::string_view text, const std::string& file_name)
      : text_(text), file_name_(file_name) {}

  TSettingsTree Parse() {
    while (NextLine()) {
      if (line_.empty() || line_.front() == '#' || line_.front() == ';') continue;
      if (line_.front() == '[') {
        ParseHeader();
      } else if (line_.front() == '"' || line_.front() == '@') {
        ParseValue();
      } else {
        Fail("Unexpected Text");
      }
    }
    return std::move(tree_);
  }

 private:
  [[noreturn]] void Fail(const std::string& reason) const {
    throw ESettingsDamaged(file_name_, line_number_, reason);
  }

  // Takes the next line, without its line break and surrounding blanks.
  bool NextLine() {
    if (rest_start_ > text_.size()) return false;
    auto end = text_.find('\n', rest_start_);
    if (end == std::string_view::npos) end = text_.size();
    line_ = text_.substr(rest_start_, end - rest_start_);
    rest_start_ = end + 1;
    ++line_number_;
    if (!line_.empty() && line_.back() == '\r') line_.remove_suffix(1);
    while (!line_.empty() && IsBlank(line_.front())) line_.remove_prefix(1);
    while (!line_.empty() && IsBlank(line_.back())) line_.remove_suffix(1);
    return true;
  }

  void ParseHeader() {
    if (line_.size() < 2 || line_.back() != ']') Fail("Missing Closing Bracket");
    std::string_view inner = line_.substr(1, line_.size() - 2);
    std::string path;
    std::size_t depth = 0;
    for (;;) {
      const auto end = inner.find('\\');
      const auto name = DecodeKeyName(inner.substr(0, end));
      if (++depth > kMaxSettingsKeyDepth) Fail("Key Path Too Deep");
      if (!path.empty()) path += '\\';
      path += name;
      if (end == std::string_view::npos) break;
      inner.remove_prefix(end + 1);
    }
    std::string folded = path;
    for (auto& c : folded) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (!declared_.insert(folded).second) Fail("Key Declared Twice");
    tree_.OpenOrCreateKey(path);
    key_path_ = std::move(path);
  }

  std::string DecodeKeyName(std::string_view raw) const {
    if (raw.empty()) Fail("Empty Key Name");
    std::string name;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const char c = raw[i];
      if (c == '%') {
        if (i + 2 >= raw.size()) Fail("Bad Escape In Key Name");
        const int high = HexValue(raw[i + 1]);
        const int low = HexValue(raw[i + 2]);
        if (high < 0 || low < 0) Fail("Bad Escape In Key Name");
        name += static_cast<char>(high * 16 + low);
        i += 2;
      } else if (Byte(c) < 0x20 || Byte(c) == 0x7F) {
        Fail("Control Character In Key Name");
      } else if (c == '[' || c == ']') {
        Fail("Bracket In Key Name");
      } else {
        name += c;
      }
    }
    if (name.find('\\') != std::string::npos) Fail("Backslash In Key Name");
    return name;
  }

  void ParseValue() {
    std::size_t pos = 0;
    std::string name;
    if (line_.front() == '@') {
      pos = 1;
    } else {
      name = ParseQuoted(pos);
    }
    SkipBlanks(pos);
    if (pos >= line_.size() || line_[pos] != '=') Fail("Missing '='");
    ++pos;
    SkipBlanks(pos);
    const auto kind_end = line_.find_first_of(" \t\"", pos);
    const auto kind =
        line_.substr(pos, kind_end == std::string_view::npos ? line_.npos : kind_end - pos);
    pos += kind.size();
    SkipBlanks(pos);
    const auto data = line_.substr(pos);
    if (tree_.ValueExists(key_path_, name)) Fail("Value Defined Twice");
    if (kind == "string") {
      std::size_t end = pos;
      if (end >= line_.size() || line_[end] != '"') Fail("Missing String");
      auto text = ParseQuoted(end);
      if (end != line_.size()) Fail("Text After Value");
      tree_.WriteString(key_path_, name, text);
    } else if (kind == "byte") {
      if (data.empty() || data.size() > 3) Fail("Bad Byte Value");
      unsigned value = 0;
      for (const char c : data) {
        if (c < '0' || c > '9') Fail("Bad Byte Value");
        value = value * 10 + static_cast<unsigned>(c - '0');
      }
      if (value > 255) Fail("Bad Byte Value");
      tree_.WriteByte(key_path_, name, static_cast<std::uint8_t>(value));
    } else if (kind == "bool") {
      if (data != "0" && data != "1") Fail("Bad Boolean Value");
      tree_.WriteBool(key_path_, name, data == "1");
    } else {
      Fail("Unknown Kind '" + std::string(kind) + "'");
    }
  }

  void SkipBlanks(std::size_t& pos) const {
    while (pos < line_.size() && IsBlank(line_[pos])) ++pos;
  }

  // Reads the quoted string starting at line_[pos]; pos ends after its quote.
  std::string ParseQuoted(std::size_t& pos) const {
    std::string text;
    ++pos;
    for (;;) {
      if (pos >= line_.size()) Fail("Unterminated String");
      const char c = line_[pos++];
      if (c == '"') return text;
      if (c == '\\') {
        if (pos >= line_.size()) Fail("Unterminated String");
        const char e = line_[pos++];
        switch (e) {
          case '\\':
            text += '\\';
            break;
          case '"':
            text += '"';
            break;
          case 'n':
            text += '\n';
            break;
          case 'r':
            text += '\r';
            break;
          case 't':
            text += '\t';
            break;
          case 'x': {
            const int high = pos < line_.size() ? HexValue(line_[pos]) : -1;
            const int low = pos + 1 < line_.size() ? HexValue(line_[pos + 1]) : -1;
            if (high < 0 || low < 0) Fail("Bad Escape In String");
            text += static_cast<char>(high * 16 + low);
            pos += 2;
            break;
          }
          default:
            Fail("Bad Escape In String");
        }
      } else if ((Byte(c) < 0x20 && c != '\t') || Byte(c) == 0x7F) {
        Fail("Control Character In String");
      } else {
        text += c;
      }
    }
  }

  std::string_view text_;
  const std::string& file_name_;
  std::size_t rest_start_ = 0;
  std::size_t line_number_ = 0;
  std::string_view line_;
  TSettingsTree tree_;
  std::string key_path_;            // the key the value lines belong to; empty: the root
  std::set<std::string> declared_;  // paths of the headers so far, case folded
};

}  // namespace

TSettingsTree ParseSettings(std::string_view text, const std::string& file_name) {
  return TParser(text, file_name).Parse();
}

std::string FormatSettings(const TSettingsTree& tree) {
  std::string out =
      "# Ravelo settings. The program rewrites this file on every change.\n"
      "# [key\\path], then one value per line: \"name\" = string \"text\" | byte 0-255 | bool 0/1\n"
      "# (@ names the key's default value).\n";
  for (const auto& value : tree.Root().Values) AppendValue(out, value);
  for (const auto& key : tree.Root().Subkeys) {
    std::string path;
    AppendKeyName(path, key.Name);
    AppendKey(out, key, path);
  }
  return out;
}

}  // namespace ravelo
