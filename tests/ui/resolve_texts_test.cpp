#include "ui/resolve_texts.h"

#include <gtest/gtest.h>

#include "model/nullable.h"
#include "net/ftp_date_time.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo {
namespace {

TEST(ResolveTextsTest, AsksAboutTheFileWithBothSidesSizesAndDates) {
  auto root = std::make_unique<TSynFolder>(nullptr, "");
  TSynFile& file = root->MakeChild<TSynFile>("index.html");
  EXPECT_THROW(ResolveTexts(file, {}), ETimeUndefined);
  file.SetLocalTime(*EncodeFtpDateTime({2026, 3, 5, 14, 30, 5, 0}));
  file.SetLocalSize(1536);
  file.SetRemoteTime(*EncodeFtpDateTime({2026, 3, 5, 14, 30, 6, 0}));
  EXPECT_THROW(ResolveTexts(file, {}), ESizeUndefined);
  file.SetRemoteSize(2048 * 1024);

  const TResolveTexts texts = ResolveTexts(file, {});
  EXPECT_EQ(texts.Lead + texts.Name + texts.Tail,
            "Ravelo cannot detect automatically if remote or local file \"index.html\" is "
            "newer.");
  EXPECT_EQ(texts.Name, "index.html");
  EXPECT_EQ(texts.LocalSize, "1.5 KB");
  EXPECT_EQ(texts.LocalDate, "2026-03-05 14:30:05");
  EXPECT_EQ(texts.RemoteSize, "2,048 KB");
  EXPECT_EQ(texts.RemoteDate, "2026-03-05 14:30:06");
  TNode::ReleaseRoot(std::move(root));
}

}  // namespace
}  // namespace ravelo
