#include "ui/action_rules.h"

#include <algorithm>
#include <array>

#include "model/branch.h"

namespace ravelo {

namespace {

constexpr std::array<TActionInfo, kActionCount> kActions{{
    {"Connect", "", -1, false},
    {"Up", "Up", 0, false},
    {"Synchronize", "Synchronize", 1, false},
    {"Upload Fresh", "Upload Fresh Files", 2, false},
    {"Create File", "Create File", 3, false},
    {"Create Folder", "Create Folder", 4, false},
    {"Delete", "Delete", 5, false},
    {"Delete Local", "Delete Local Copy", 6, false},
    {"Extensions Setup...", "Extensions Setup", -1, false},
    {"View Style", "View Style", 7, false},
    {"Open", "Open", -1, false},
    {"Resolve Conflict...", "Resolve Conflict", -1, false},
    {"Auto Upload Fresh", "Auto Upload Fresh", -1, true},
    {"Edit Project...", "Edit Project", 8, false},
    {"Icons", "", -1, true},
    {"List", "", -1, true},
    {"Details", "", -1, true},
    {"Open Project...", "Open Project", -1, false},
}};

bool IsConflict(const TSelectedNode& node) {
  return node.File && (node.State == nsUnknown || node.State == nsAmbiguous);
}

// The rule shared by Synchronize and Upload Fresh: several items, or one
// folder, or a first node in one of the given states.
bool ManyOrFolderOr(const std::vector<TSelectedNode>& selection,
                    std::initializer_list<TNodeState> states) {
  if (selection.size() >= 2) return true;
  if (selection.empty()) return false;
  const TSelectedNode& first = selection.front();
  return first.Folder || std::find(states.begin(), states.end(), first.State) != states.end();
}

}  // namespace

const TActionInfo& ActionInfo(TActionId action) {
  return kActions.at(static_cast<std::size_t>(action));
}

bool ActionEnabled(TActionId action, const TActionInputs& inputs) {
  if (inputs.Strategy == skNoProject) return action == aiOpenProject;
  if (inputs.Strategy == skDisconnected && (action == aiSync || action == aiUploadFresh))
    return false;
  const auto& selection = inputs.Selection;
  switch (action) {
    case aiFolderUp:
      return !inputs.ShownFolderIsRoot;
    case aiSync:
      return ManyOrFolderOr(selection, {nsNotCached, nsFresh, nsExpired});
    case aiUploadFresh:
      return ManyOrFolderOr(selection, {nsFresh});
    case aiDelete:
      return !selection.empty();
    case aiClearCache:
      return selection.size() >= 2 || (!selection.empty() && selection.front().Local == prPresent);
    case aiOpen:
      return selection.size() == 1;
    case aiResolve:
      return selection.size() == 1 && IsConflict(selection.front());
    default:
      return true;
  }
}

std::optional<TActionId> DoubleClickAction(const TActionInputs& inputs) {
  if (inputs.Selection.empty()) return std::nullopt;
  return IsConflict(inputs.Selection.front()) ? aiResolve : aiOpen;
}

TViewStyle NextViewStyle(TViewStyle style) {
  switch (style) {
    case vsIcons:
      return vsList;
    case vsList:
      return vsDetails;
    case vsDetails:
      break;
  }
  return vsIcons;
}

std::string UniqueCaption(std::string_view base, const std::vector<std::string>& captions) {
  std::string name(base);
  const auto taken = [&] {
    const std::string folded = TBranch::FoldName(name);
    return std::any_of(captions.begin(), captions.end(), [&](const std::string& caption) {
      return TBranch::FoldName(caption) == folded;
    });
  };
  for (int n = 2; taken(); ++n) name = std::string(base) + " (" + std::to_string(n) + ")";
  return name;
}

}  // namespace ravelo
