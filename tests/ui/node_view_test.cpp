#include "ui/node_view.h"

#include <gtest/gtest.h>

namespace ravelo {
namespace {

TNodeFacts Facts(TPresence local, TNodeState state, bool folder = false) {
  return {"page.html", folder, local, state, "1,024", "/site/page.html"};
}

TEST(NodeViewTest, EachStrategyDecidesListingOverlayAndCut) {
  const struct {
    TStrategyKind kind;
    TPresence local;
    TNodeState state;
    bool listed;
    TStateOverlay overlay;
    bool cut;
  } cases[] = {
      {skNoProject, prPresent, nsSynchronized, false, soNone, false},
      {skDisconnected, prAbsent, nsNotCached, false, soNone, false},
      {skDisconnected, prUnknown, nsUnknown, false, soNone, false},
      {skDisconnected, prAbsent, nsInProcess, true, soInProcess, false},
      {skDisconnected, prPresent, nsFresh, true, soNone, false},
      {skConnected, prAbsent, nsNotCached, true, soNone, true},
      {skConnected, prPresent, nsSynchronized, true, soNone, false},
      {skConnected, prPresent, nsFresh, true, soFresh, false},
      {skConnected, prPresent, nsExpired, true, soExpired, false},
      {skConnected, prPresent, nsAmbiguous, true, soUnknown, false},
      {skConnected, prUnknown, nsUnknown, true, soUnknown, true},
      {skConnected, prPresent, nsInProcess, true, soInProcess, false},
  };
  for (const auto& c : cases) {
    const TNodeView view = NodeView(c.kind, Facts(c.local, c.state));
    SCOPED_TRACE(::testing::Message() << c.kind << " " << c.local << " " << c.state);
    EXPECT_EQ(view.Listed, c.listed);
    if (!view.Listed) continue;
    EXPECT_EQ(view.Overlay, c.overlay);
    EXPECT_EQ(view.Cut, c.cut);
    EXPECT_EQ(view.Caption, "page.html");
    EXPECT_EQ(view.SizeText, "1,024");
    EXPECT_EQ(view.IconKey, ".HTML");
    EXPECT_EQ(view.StateText, StateText(c.state));
  }
}

TEST(NodeViewTest, IconKeysShareByExtensionButNotForPrograms) {
  const auto key = [](std::string name, std::string path, bool folder = false) {
    return IconKey({std::move(name), folder, prPresent, nsSynchronized, "", std::move(path)});
  };
  EXPECT_EQ(key("a.html", "/s/a.html"), key("B.HTML", "/s/x/B.HTML"));
  EXPECT_EQ(key("archive.tar.gz", "/s/archive.tar.gz"), ".GZ");
  EXPECT_EQ(key("README", "/s/README"), "");
  EXPECT_EQ(key(".htaccess", "/s/.htaccess"), ".HTACCESS");
  EXPECT_EQ(key("setup.exe", "/s/a/setup.exe"), "/S/A/SETUP.EXE");
  EXPECT_NE(key("setup.EXE", "/s/a/setup.EXE"), key("setup.exe", "/s/b/setup.exe"));
  EXPECT_EQ(key("images", "/s/images", true), kFolderIconKey);
  EXPECT_EQ(key("x.html", "/s/x.html", true), kFolderIconKey);
}

}  // namespace
}  // namespace ravelo
