#include "project/project_header.h"

#include <gtest/gtest.h>

#include <string>

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
  const std::string block = "\x0F\0\0\0ftp.example.org"s + "\x02\0\0\0me"s +
                            "\x05\0\0\0p\xC3\xA4ss"s + "\x04\0\0\0/www"s + "\x01\x00"s;
  EXPECT_EQ(Bytes(header), "\x2C\0\0\0"s + block);
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

TEST(ProjectHeaderTest, SkipsBytesAfterTheKnownFieldsOfTheBlock) {
  // A newer writer appended fields; the record count follows the block.
  const std::string block = "\1\0\0\0h\1\0\0\0l\1\0\0\0p\2\0\0\0/r\x07\x00"s + "newer fields";
  TProjectWriter stream;
  stream.WriteInt32(static_cast<std::int32_t>(block.size()));
  stream.WriteBytes(block);
  stream.WriteInt32(0);
  TProjectReader reader(stream.Bytes());
  const TProjectHeader read = TProjectHeader::CreateFromStream(reader);
  EXPECT_EQ(read.BlockSize, static_cast<std::int32_t>(block.size()));
  EXPECT_EQ(read.Host + read.Login + read.Password + read.RemotePath, "hlp/r");
  EXPECT_TRUE(read.AutoUploadFresh);  // any byte but 0
  EXPECT_FALSE(read.Connected);
  EXPECT_EQ(reader.ReadInt32(), 0);
}

TEST(ProjectHeaderTest, CreateFromFileReadsTheHeaderOrTellsAMissingFile) {
  test::TTempDir dir;
  const auto file = dir.CreateFile("site.rvlp", Bytes(TProjectHeader("h", "l", "secret", "")));
  EXPECT_EQ(TProjectHeader::CreateFromFile(file.string()).Password, "secret");
  EXPECT_THROW(TProjectHeader::CreateFromFile((dir / "none.rvlp").string()), std::system_error);
}

}  // namespace
}  // namespace ravelo
