#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/node_state.h"
#include "ui/node_view.h"

namespace ravelo {

// The main window's actions, in the order of its action table.
enum TActionId : int {
  aiConnect,
  aiFolderUp,
  aiSync,
  aiUploadFresh,
  aiCreateFile,
  aiCreateFolder,
  aiDelete,
  aiClearCache,
  aiExtensions,
  aiToggleView,
  aiOpen,
  aiResolve,
  aiAutoSync,
  aiEditProject,
  aiViewIcons,
  aiViewList,
  aiViewDetails,
  aiOpenProject,
};
inline constexpr int kActionCount = aiOpenProject + 1;

// What the window shows of an action. Image indexes the toolbar pictures
// (-1: none): 0 folder up, 1 synchronize, 2 upload, 3 new file, 4 new folder,
// 5 delete, 6 delete local, 7 view style, 8 edit project.
struct TActionInfo {
  std::string_view Caption;
  std::string_view Hint;
  int Image = -1;
  bool Checkable = false;  // Auto Upload Fresh and the three view styles
};

const TActionInfo& ActionInfo(TActionId action);

// One selected item's node. File means a synchronized file, Folder a
// synchronized folder; the rules test each on its own.
struct TSelectedNode {
  bool Folder = false;
  bool File = false;
  TNodeState State = nsUnknown;
  TPresence Local = prUnknown;
};

// Everything the enable rules look at.
struct TActionInputs {
  TStrategyKind Strategy = skNoProject;
  bool ShownFolderIsRoot = true;
  std::vector<TSelectedNode> Selection;  // in list order
};

// The strategy decides first: with no project only Open Project is enabled;
// disconnected, Synchronize and Upload Fresh are disabled. Otherwise the
// action's own rule, given the selection.
bool ActionEnabled(TActionId action, const TActionInputs& inputs);

// A double click on the list runs Resolve Conflict for a file whose state is
// unknown or ambiguous, Open for anything else; nothing when no item is
// selected. The caller still runs it only while it is enabled.
std::optional<TActionId> DoubleClickAction(const TActionInputs& inputs);

enum TViewStyle : int { vsIcons, vsList, vsDetails };

// View Style steps Icons, List, Details, Icons.
TViewStyle NextViewStyle(TViewStyle style);

// base, or base + " (2)", " (3)" ... : the first not among captions,
// compared ignoring ASCII letter case.
std::string UniqueCaption(std::string_view base, const std::vector<std::string>& captions);

}  // namespace ravelo
