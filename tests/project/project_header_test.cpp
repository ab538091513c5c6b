#include "project/project_header.h"

#include <gtest/gtest.h>

#include <string>

#include "project/project_errors.h"
#include "project/project_stream.h"
#include "support/temp_dir.h"

namespace ravelo {
namespace {

using namespace std::string_literals;

std::string Bytes(const TProjectHeader& header) {
  TProjectWriter stream;
  header.WriteTo(stream);
  return stream.Bytes();
}

TEST(ProjectHeaderTest, WritesTheBlockByteForByteLittleEndian) {
  TProjectHeader header("ftp.example.org", "me", "p\xC3\xA4ss", "www/");
  header.Connected = false;
  header.ExactRecords = "\x81";
  // The flags, then automatic, "Use TLS if offered", no fingerprint, not
  // offered yet, the precise rule, the marks.
  const std::string block = "\x0F\0\0\0ftp.example.org"s + "\x02\0\0\0me"s +
                            "\x05\0\0\0p\xC3\xA4ss"s + "\x04\0\0\0/www"s + "\x01\x00"s +
                            "\x02\x01"s + "\0\0\0\0"s + "\x00\x01"s + "\x01\0\0\0\x81"s;
  EXPECT_EQ(Bytes(header), "\x39\0\0\0"s + block);
  TProjectWriter stream;
  stream.WriteInt32(-2);
  stream.WriteDouble(1.0);
  EXPECT_EQ(stream.Bytes(), "\xFE\xFF\xFF\xFF"s + "\0\0\0\0\0\0\xF0\x3F"s);
}

TEST(ProjectHeaderTest, NormalizesTheRemotePathMadeAndRead) {
  const struct {
    const char* given;
    const char* kept;
  } cases[] = {{"pub/", "/pub"}, {"/", ""}, {"", ""}, {"/a/b//", "/a/b"}, {"a", "/a"}};
  for (const auto& c : cases) {
    EXPECT_EQ(TProjectHeader("h", "l", "p", c.given).RemotePath, c.kept) << c.given;
    TProjectHeader raw;  // as another tool may have written it
    raw.RemotePath = c.given;
    const std::string bytes = Bytes(raw);
    TProjectReader reader(bytes);
    EXPECT_EQ(TProjectHeader::CreateFromStream(reader).RemotePath, c.kept) << c.given;
  }
}

TEST(ProjectHeaderTest, ReadsOlderBlocksWithTheirDefaultsAndSkipsNewerFields) {
  TProjectHeader header("h", "l", "p", "/r");
  header.DataMode = dmPassive;
  header.TlsMode = tmRequire;
  header.AcceptedFingerprint = std::string(63, 'A') + "9";
  header.TlsOffered = true;
  header.PreciseTimes = false;
  header.ExactRecords = "\x05\x00"s;
  const std::string current = Bytes(header);
  // The block as a file written before the settings after the two flags
  // has it, and as a newer writer's with a field appended.
  const std::string old_block = "\1\0\0\0h\1\0\0\0l\1\0\0\0p\2\0\0\0/r\x07\x00"s;
  const std::string newer_block = current.substr(4) + "newer fields";
  const auto read = [](const std::string& block) {
    TProjectWriter stream;
    stream.WriteInt32(static_cast<std::int32_t>(block.size()));
    stream.WriteBytes(block);
    stream.WriteInt32(0);
    TProjectReader reader(stream.Bytes());
    const TProjectHeader header = TProjectHeader::CreateFromStream(reader);
    EXPECT_EQ(reader.ReadInt32(), 0);
    return header;
  };
  const TProjectHeader old = read(old_block);
  EXPECT_EQ(old.Host + old.Login + old.Password + old.RemotePath, "hlp/r");
  EXPECT_TRUE(old.AutoUploadFresh);  // any byte but 0
  EXPECT_FALSE(old.Connected);
  EXPECT_EQ(old.DataMode, dmActive);
  EXPECT_EQ(old.TlsMode, tmPlain);
  EXPECT_EQ(old.AcceptedFingerprint + old.ExactRecords, "");
  EXPECT_FALSE(old.TlsOffered);
  EXPECT_FALSE(old.PreciseTimes);
  for (const std::string& block : {current.substr(4), newer_block}) {
    const TProjectHeader again = read(block);
    EXPECT_EQ(again.BlockSize, static_cast<std::int32_t>(block.size()));
    EXPECT_EQ(again.DataMode, dmPassive);
    EXPECT_EQ(again.TlsMode, tmRequire);
    EXPECT_EQ(again.AcceptedFingerprint, header.AcceptedFingerprint);
    EXPECT_TRUE(again.TlsOffered);
    EXPECT_FALSE(again.PreciseTimes);
    EXPECT_EQ(again.ExactRecords, header.ExactRecords);
  }
  // A mode out of range, a fingerprint that is none: damaged.
  for (const std::string& block :
       {old_block + "\x03"s, old_block + "\x00\x03"s, old_block + "\x00\x00\x03\0\0\0abc"s}) {
    EXPECT_THROW(read(block), EBrokenStream) << testing::PrintToString(block);
  }
}

TEST(ProjectHeaderTest, CreateFromFileReadsTheHeaderOrTellsAMissingFile) {
  test::TTempDir dir;
  const auto file = dir.CreateFile("site.rvlp", Bytes(TProjectHeader("h", "l", "secret", "")));
  EXPECT_EQ(TProjectHeader::CreateFromFile(file.string()).Password, "secret");
  EXPECT_THROW(TProjectHeader::CreateFromFile((dir / "none.rvlp").string()), std::system_error);
}

}  // namespace
}  // namespace ravelo
