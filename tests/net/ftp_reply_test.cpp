#include "net/ftp_reply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "net/ftp_exceptions.h"

namespace ravelo {
namespace {

using Lines = std::vector<std::string>;

// A reader fed from text in pieces of the given size.
TFtpLineReader ReaderOf(std::string text, std::size_t piece = 4096, std::size_t limit = 16384) {
  auto position = std::make_shared<std::size_t>(0);
  return TFtpLineReader(
      [text = std::move(text), piece, position](char* buffer, std::size_t size) {
        const std::size_t count = std::min({size, piece, text.size() - *position});
        std::copy_n(text.data() + *position, count, buffer);
        *position += count;
        return count;
      },
      limit);
}

TEST(FtpReplyTest, RepliesAreCutIntoCodeAndTextWhateverTheReadPieces) {
  struct TCase {
    std::string text;
    std::string code;
    int number;
    Lines lines;
  };
  const std::vector<TCase> cases = {
      {"220 Service ready\r\n", "220", 220, {"Service ready"}},
      {"230-Welcome\r\n230 Done\r\n", "230", 230, {"Welcome", "Done"}},
      // A line shorter than four characters also ends a multi-line reply,
      // unless it is indented as feature lines are.
      {"230-Welcome\r\nok\r\n", "230", 230, {"Welcome", ""}},
      {"211-Features:\r\n CCC\r\n211 End\r\n", "211", 211, {"Features:", "", "End"}},
      // The terminator is compared ignoring case; lines looking like other
      // codes in between belong to the reply.
      {"21a-x\r\n220 inner\r\n21A end\r\n", "21a", 0, {"x", "inner", "end"}},
      // An indented line is trimmed before its first four characters go.
      {"230-Hello\r\n   see the notes\r\n230 end\r\n", "230", 230, {"Hello", "the notes", "end"}},
      {"abc\r\n", "abc", 0, {""}},
      {"-12 x\r\n", "-12", 0, {"x"}},
      {"2x0 x\r\n", "2x0", 0, {"x"}},
      // A code is three digits, the first not 0.
      {"022 x\r\n", "022", 0, {"x"}},
      {"+22 x\r\n", "+22", 0, {"x"}},
      // Empty lines are skipped, blanks trimmed, a bare LF accepted.
      {"\r\n \t\r\n  200 ok  \t\n", "200", 200, {"ok"}},
  };
  for (const auto& c : cases) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{4096}}) {
      SCOPED_TRACE(c.text + " in pieces of " + std::to_string(piece));
      // The reply that follows shows that each one takes its own lines only.
      TFtpLineReader reader = ReaderOf(c.text + "200 next\r\n", piece);
      const TFtpReply reply = ReadFtpReply(reader, 1000);
      EXPECT_EQ(reply.TextCode, c.code);
      EXPECT_EQ(reply.NumericCode, c.number);
      EXPECT_EQ(reply.Text, c.lines);
      EXPECT_EQ(reply.Lines.size(), c.lines.size());
      EXPECT_EQ(ReadFtpReply(reader, 1000).Text, Lines{"next"});
    }
  }
}

TEST(FtpReplyTest, LongLinesRaiseWhetherFinishedOrNot) {
  TFtpLineReader finished = ReaderOf("200 " + std::string(16385, 'x') + "\r\n");
  EXPECT_THROW(ReadFtpReply(finished, 1000), EFtpLineTooLong);
  // A server that never ends its line is caught before it fills memory.
  TFtpLineReader endless(
      [](char* buffer, std::size_t size) {
        std::fill_n(buffer, size, 'y');
        return size;
      },
      100);
  EXPECT_THROW(endless.ReadLine(), EFtpLineTooLong);
  // The limit is on the line without its CR LF.
  EXPECT_EQ(ReaderOf(std::string(100, 'z') + "\r\n", 4096, 100).ReadLine().size(), 100u);
}

TEST(FtpReplyTest, EndOfStreamMidReplyRaisesConnClosed) {
  for (const char* text : {"", "230-Welcome\r\nmore text\r\n", "220 no line end"}) {
    TFtpLineReader reader = ReaderOf(text);
    EXPECT_THROW(ReadFtpReply(reader, 1000), EFtpConnClosed) << text;
  }
}

}  // namespace
}  // namespace ravelo
