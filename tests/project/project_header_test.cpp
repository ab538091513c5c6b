#include "project/project_header.h"

#include <gtest/gtest.h>

#include <string>

#include "project/project_errors.h"
#include "project/project_stream.h"
#include "support/temp_dir.h"

namespace ravelo {
namespace {

using namespace std::string_literals;

TEST(ProjectHeaderTest, WritesTheBlockByteForByte) {
  TProjectHeader header("ftp.example.org", "me", "p\xC3\xA4ss", "www/");
  header.Connected = false;
  TProjectWriter stream;
  header.WriteTo(stream);
  const std::string block = "\x0F\0\0\0ftp.example.org"s + "\x02\0\0\0me"s +
                            "\x05\0\0\0p\xC3\xA4ss"s + "\x04\0\0\0/www"s + "\x01\x00"s;
  EXPECT_EQ(stream.Bytes(), "\x2C\0\0\0"s + block);
  EXPECT_EQ(block.size(), 0x2Cu);
}

TEST(ProjectHeaderTest, EncodesIntegersAndTimesLittleEndian) {
  TProjectWriter stream;
  stream.WriteInt32(-2);
  stream.WriteDouble(1.0);
  EXPECT_EQ(stream.Bytes(), "\xFE\xFF\xFF\xFF"s + "\0\0\0\0\0\0\xF0\x3F"s);
  TProjectReader reader(stream.Bytes());
  EXPECT_EQ(reader.ReadInt32(), -2);
  EXPECT_EQ(reader.ReadDouble(), 1.0);
  EXPECT_TRUE(reader.AtEnd());
}

TEST(ProjectHeaderTest, NormalizesTheRemotePath) {
  const struct {
    const char* given;
    const char* kept;
  } cases[] = {{"pub/", "/pub"}, {"/", ""}, {"", ""}, {"/a/b//", "/a/b"}, {"a", "/a"}};
  for (const auto& c : cases) {
    EXPECT_EQ(TProjectHeader("h", "l", "p", c.given).RemotePath, c.kept) << c.given;
    // A file written by another tool is normalized as it is read.
    TProjectHeader raw;
    raw.RemotePath = c.given;
    TProjectWriter stream;
    raw.WriteTo(stream);
    TProjectReader reader(stream.Bytes());
    EXPECT_EQ(TProjectHeader::CreateFromStream(reader).RemotePath, c.kept) << c.given;
  }
}

TEST(ProjectHeaderTest, SkipsBytesAfterTheKnownFieldsOfTheBlock) {
  // A newer writer appended fields to the block; a record count follows it.
  TProjectHeader written("h", "l", "p", "/r");
  written.AutoUploadFresh = false;
  TProjectWriter block;
  written.WriteTo(block);
  std::string bytes = block.Bytes().substr(4) + "\x07newer fields"s;
  TProjectWriter stream;
  stream.WriteInt32(static_cast<std::int32_t>(bytes.size()));
  stream.WriteBytes(bytes);
  stream.WriteInt32(0);
  TProjectReader reader(stream.Bytes());
  const TProjectHeader read = TProjectHeader::CreateFromStream(reader);
  EXPECT_EQ(read.BlockSize, static_cast<std::int32_t>(bytes.size()));
  EXPECT_EQ(read.Host + read.Login + read.Password + read.RemotePath, "hlp/r");
  EXPECT_FALSE(read.AutoUploadFresh);
  EXPECT_TRUE(read.Connected);
  EXPECT_EQ(reader.ReadInt32(), 0);
}

TEST(ProjectHeaderTest, FlagBytesOtherThanZeroAreTrue) {
  const std::string block = "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x07\x00"s;
  const std::string bytes = "\x12\0\0\0"s + block;
  TProjectReader reader(bytes);
  const TProjectHeader read = TProjectHeader::CreateFromStream(reader);
  EXPECT_TRUE(read.AutoUploadFresh);
  EXPECT_FALSE(read.Connected);
}

TEST(ProjectHeaderTest, CreateFromFileReadsTheHeaderAndTellsAMissingFile) {
  test::TTempDir dir;
  TProjectWriter stream;
  TProjectHeader("host:2121", "login", "secret", "/site").WriteTo(stream);
  stream.WriteInt32(0);
  const auto file = dir.CreateFile("site/site.rvlp", stream.Bytes());
  const TProjectHeader read = TProjectHeader::CreateFromFile(file.string());
  EXPECT_EQ(read.Host, "host:2121");
  EXPECT_EQ(read.Password, "secret");
  EXPECT_THROW(TProjectHeader::CreateFromFile((dir / "none.rvlp").string()), std::system_error);
  // Cut inside the block: the chooser tells a damaged file from a missing one.
  dir.CreateFile("cut.rvlp", stream.Bytes().substr(0, 20));
  EXPECT_THROW(TProjectHeader::CreateFromFile((dir / "cut.rvlp").string()), EEndOfStream);
}

}  // namespace
}  // namespace ravelo
