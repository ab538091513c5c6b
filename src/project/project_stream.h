#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ravelo {

// Reads the project file's encodings from bytes in memory: little-endian
// integers, 64-bit IEEE floats, and strings as a 32-bit signed byte count
// followed by the bytes. Every length is checked against the bytes left
// before anything is taken, so a damaged count fails at once and never
// allocates. Throws EEndOfStream when too few bytes are left (a negative
// string length included). The bytes must outlive the reader and every
// view it hands out.
class TProjectReader {
 public:
  explicit TProjectReader(std::string_view bytes) : rest_(bytes) {}

  std::uint8_t ReadByte();
  std::int32_t ReadInt32();
  double ReadDouble();
  // A view into the bytes.
  std::string_view ReadString();
  std::string_view ReadBytes(std::size_t count);

  std::size_t Remaining() const { return rest_.size(); }
  bool AtEnd() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

// Builds the project file's bytes in memory, in the same encodings.
// Throws ECantWriteToStream for a string longer than a count can say.
class TProjectWriter {
 public:
  void WriteByte(std::uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
  void WriteInt32(std::int32_t value);
  void WriteDouble(double value);
  void WriteString(std::string_view text);
  void WriteBytes(std::string_view bytes) { bytes_.append(bytes); }

  std::size_t Position() const { return bytes_.size(); }
  // Overwrites the four bytes at position (written before).
  void PatchInt32(std::size_t position, std::int32_t value);

  const std::string& Bytes() const { return bytes_; }
  std::string TakeBytes() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

}  // namespace ravelo
