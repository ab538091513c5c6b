#include "ui/action_rules.h"

#include <gtest/gtest.h>

namespace ravelo {
namespace {

const TSelectedNode kFolder{true, false, nsSynchronized, prPresent};
const TSelectedNode kSynced{false, true, nsSynchronized, prPresent};
const TSelectedNode kFresh{false, true, nsFresh, prPresent};
const TSelectedNode kRemoteOnly{false, true, nsNotCached, prAbsent};
const TSelectedNode kAmbiguous{false, true, nsAmbiguous, prPresent};
const TSelectedNode kUnknown{false, true, nsUnknown, prUnknown};

TActionInputs Connected(std::vector<TSelectedNode> selection, bool root = true) {
  return {skConnected, root, std::move(selection)};
}

TEST(ActionRulesTest, EnableRulesFollowTheSelection) {
  const struct {
    TActionId action;
    TActionInputs inputs;
    bool enabled;
  } cases[] = {
      {aiSync, Connected({kFolder}), true},
      {aiUploadFresh, Connected({kFolder}), true},
      {aiSync, Connected({kSynced}), false},
      {aiUploadFresh, Connected({kSynced}), false},
      {aiSync, Connected({kSynced, kSynced}), true},
      {aiSync, Connected({kRemoteOnly}), true},
      {aiUploadFresh, Connected({kFresh}), true},
      {aiUploadFresh, Connected({kRemoteOnly}), false},
      {aiSync, Connected({}), false},
      {aiClearCache, Connected({kRemoteOnly}), false},
      {aiClearCache, Connected({kSynced}), true},
      {aiClearCache, Connected({kRemoteOnly, kRemoteOnly}), true},
      {aiDelete, Connected({}), false},
      {aiOpen, Connected({kFolder}), true},
      {aiOpen, Connected({kFolder, kSynced}), false},
      {aiResolve, Connected({kAmbiguous}), true},
      {aiResolve, Connected({kUnknown}), true},
      {aiResolve, Connected({kFresh}), false},
      {aiResolve, Connected({{true, false, nsUnknown, prUnknown}}), false},
      {aiFolderUp, Connected({}, true), false},
      {aiFolderUp, Connected({}, false), true},
      // The strategy decides first.
      {aiSync, {skDisconnected, true, {kFolder}}, false},
      {aiUploadFresh, {skDisconnected, true, {kFresh, kFresh}}, false},
      {aiClearCache, {skDisconnected, true, {kSynced}}, true},
      {aiAutoSync, {skDisconnected, true, {}}, true},
      {aiOpenProject, {skNoProject, true, {}}, true},
      {aiCreateFolder, {skNoProject, true, {}}, false},
      {aiDelete, {skNoProject, true, {kSynced}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << ActionInfo(c.action).Caption << " strategy " << c.inputs.Strategy
                 << " selected " << c.inputs.Selection.size());
    EXPECT_EQ(ActionEnabled(c.action, c.inputs), c.enabled);
  }
}

TEST(ActionRulesTest, DoubleClickResolvesConflictsAndOpensTheRest) {
  EXPECT_EQ(DoubleClickAction(Connected({kAmbiguous})), aiResolve);
  EXPECT_EQ(DoubleClickAction(Connected({kUnknown, kFresh})), aiResolve);
  EXPECT_EQ(DoubleClickAction(Connected({kFresh})), aiOpen);
  EXPECT_EQ(DoubleClickAction(Connected({{true, false, nsUnknown, prPresent}})), aiOpen);
  EXPECT_EQ(DoubleClickAction(Connected({})), std::nullopt);
}

TEST(ActionRulesTest, UniqueCaptionCountsFromTwoIgnoringCase) {
  EXPECT_EQ(UniqueCaption("New File", {}), "New File");
  EXPECT_EQ(UniqueCaption("New File", {"New File", "New File (2)"}), "New File (3)");
  EXPECT_EQ(UniqueCaption("New Folder", {"new folder", "NEW FOLDER (2)", "x"}), "New Folder (3)");
}

}  // namespace
}  // namespace ravelo
