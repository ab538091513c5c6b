#include "project/project_stream.h"

#include <bit>
#include <limits>

#include "project/project_errors.h"

namespace ravelo {

namespace {

template <class T>
T LoadLittleEndian(std::string_view bytes) {
  T value = 0;
  for (std::size_t i = sizeof(T); i-- > 0;)
    value = static_cast<T>((value << 8) | static_cast<unsigned char>(bytes[i]));
  return value;
}

template <class T>
void StoreLittleEndian(T value, char* out) {
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    out[i] = static_cast<char>(value & 0xFF);
    value = static_cast<T>(value >> 8);
  }
}

}  // namespace

std::string_view TProjectReader::ReadBytes(std::size_t count) {
  if (count > rest_.size()) throw EEndOfStream();
  const std::string_view taken = rest_.substr(0, count);
  rest_.remove_prefix(count);
  return taken;
}

std::uint8_t TProjectReader::ReadByte() {
  return static_cast<std::uint8_t>(ReadBytes(1)[0]);
}

std::int32_t TProjectReader::ReadInt32() {
  return static_cast<std::int32_t>(LoadLittleEndian<std::uint32_t>(ReadBytes(4)));
}

double TProjectReader::ReadDouble() {
  return std::bit_cast<double>(LoadLittleEndian<std::uint64_t>(ReadBytes(8)));
}

std::string_view TProjectReader::ReadString() {
  const std::int32_t count = ReadInt32();
  if (count < 0) throw EEndOfStream();
  return ReadBytes(static_cast<std::size_t>(count));
}

void TProjectWriter::WriteInt32(std::int32_t value) {
  char out[4];
  StoreLittleEndian(static_cast<std::uint32_t>(value), out);
  bytes_.append(out, sizeof out);
}

void TProjectWriter::WriteDouble(double value) {
  char out[8];
  StoreLittleEndian(std::bit_cast<std::uint64_t>(value), out);
  bytes_.append(out, sizeof out);
}

void TProjectWriter::WriteString(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw ECantWriteToStream();
  WriteInt32(static_cast<std::int32_t>(text.size()));
  bytes_.append(text);
}

void TProjectWriter::PatchInt32(std::size_t position, std::int32_t value) {
  StoreLittleEndian(static_cast<std::uint32_t>(value), bytes_.data() + position);
}

}  // namespace ravelo
