#include "net/ftp_reply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "net/ftp_exceptions.h"

namespace ravelo {
namespace {

// Feeds the reader from a string in pieces of the given size.
class TStringSource {
 public:
  explicit TStringSource(std::string text, std::size_t piece = 4096)
      : text_(std::move(text)), piece_(piece) {}
  std::size_t operator()(char* buffer, std::size_t size) {
    const std::size_t count = std::min({size, piece_, text_.size() - position_});
    std::copy_n(text_.data() + position_, count, buffer);
    position_ += count;
    return count;
  }

 private:
  std::string text_;
  std::size_t piece_;
  std::size_t position_ = 0;
};

TFtpReply ReadOne(const std::string& text, std::size_t piece = 4096) {
  TFtpLineReader reader(TStringSource(text, piece), 16384);
  return ReadFtpReply(reader);
}

using Lines = std::vector<std::string>;

TEST(FtpReplyTest, SingleLineReplyGivesCodeAndText) {
  const TFtpReply reply = ReadOne("220 Service ready\r\n");
  EXPECT_EQ(reply.TextCode, "220");
  EXPECT_EQ(reply.NumericCode, 220);
  EXPECT_EQ(reply.Text, Lines{"Service ready"});
  EXPECT_EQ(reply.JoinedText(), "Service ready\n");
}

TEST(FtpReplyTest, MultiLineRepliesEndAtTheTerminatorOrAShortLine) {
  const TFtpReply two = ReadOne("230-Welcome\r\n230 Done\r\n");
  EXPECT_EQ(two.NumericCode, 230);
  EXPECT_EQ(two.Text, (Lines{"Welcome", "Done"}));

  // A line shorter than four characters also ends it.
  const TFtpReply short_end = ReadOne("230-Welcome\r\nok\r\n230 never read\r\n");
  EXPECT_EQ(short_end.Text, (Lines{"Welcome", ""}));

  // The terminator is compared ignoring case; other lines in between belong
  // to the reply, even ones that look like other codes.
  const TFtpReply mixed = ReadOne("21a-x\r\n220 inner\r\n21A end\r\n");
  EXPECT_EQ(mixed.Text, (Lines{"x", "inner", "end"}));
  EXPECT_EQ(mixed.NumericCode, 0);
}

TEST(FtpReplyTest, IndentedContinuationIsTrimmedBeforeItsCodeIsCut) {
  const TFtpReply reply = ReadOne("230-Hello\r\n   see the notes\r\n230 end\r\n");
  EXPECT_EQ(reply.Text, (Lines{"Hello", "the notes", "end"}));
}

TEST(FtpReplyTest, CodesThatAreNotNumbersGiveZero) {
  EXPECT_EQ(ReadOne("abc\r\n").NumericCode, 0);
  EXPECT_EQ(ReadOne("abc\r\n").TextCode, "abc");
  EXPECT_EQ(ReadOne("-12 x\r\n").NumericCode, 0);
  EXPECT_EQ(ReadOne("2x0 x\r\n").NumericCode, 0);
}

TEST(FtpReplyTest, LinesAreTrimmedEmptyOnesSkippedAndBareLfAccepted) {
  const TFtpReply reply = ReadOne("\r\n \t\r\n  200 ok  \t\n");
  EXPECT_EQ(reply.NumericCode, 200);
  EXPECT_EQ(reply.Text, Lines{"ok"});
}

TEST(FtpReplyTest, RepliesSplitAcrossReadsAreJoined) {
  TFtpLineReader reader(TStringSource("230-Welcome\r\n230 Done\r\n200 next\r\n", 1), 16384);
  EXPECT_EQ(ReadFtpReply(reader).Text.size(), 2u);
  EXPECT_EQ(ReadFtpReply(reader).NumericCode, 200);
}

TEST(FtpReplyTest, LongLinesRaiseWhetherFinishedOrNot) {
  const std::string long_line(16385, 'x');
  EXPECT_THROW(ReadOne("200 " + long_line + "\r\n"), EFtpLineTooLong);
  // A server that never ends its line is caught before it fills memory.
  TFtpLineReader endless(
      [](char* buffer, std::size_t size) {
        std::fill_n(buffer, size, 'y');
        return size;
      },
      100);
  EXPECT_THROW(endless.ReadLine(), EFtpLineTooLong);
  // The limit is on the line without its CR LF.
  TFtpLineReader exact(TStringSource(std::string(100, 'z') + "\r\n"), 100);
  EXPECT_EQ(exact.ReadLine().size(), 100u);
}

TEST(FtpReplyTest, EndOfStreamMidReplyRaisesConnClosed) {
  EXPECT_THROW(ReadOne(""), EFtpConnClosed);
  EXPECT_THROW(ReadOne("230-Welcome\r\nmore text\r\n"), EFtpConnClosed);
  EXPECT_THROW(ReadOne("220 no line end"), EFtpConnClosed);
}

}  // namespace
}  // namespace ravelo
