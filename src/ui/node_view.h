#pragma once

#include <string>
#include <string_view>

#include "model/node_state.h"

namespace ravelo {

class TNode;

// The three situations of the main window, each one display strategy.
enum TStrategyKind : int { skNoProject, skDisconnected, skConnected };

// The state pictures drawn over a file's icon; soNone draws nothing.
enum TStateOverlay : int {
  soNone = -1,
  soFresh = 0,      // green disc, white asterisk
  soExpired = 1,    // red disc, white exclamation mark
  soUnknown = 2,    // blue disc, white question mark (also Ambigous)
  soInProcess = 3,  // hourglass
};

TStateOverlay StateOverlay(TNodeState state);

// What the display needs to know of one node, read once in the main thread.
struct TNodeFacts {
  std::string Name;
  bool Folder = false;
  TPresence Local = prUnknown;
  TNodeState State = nsUnknown;
  std::string SizeText;   // the "Size" column; empty for a folder
  std::string LocalPath;  // its place in the local cache
};

// Main thread only: GetState may read the local side, and a node gone on
// both sides then leaves the tree. Call it on a node the display was just
// told about, before serving hand-overs again. Throws ETerminated for a node
// that has left the tree.
TNodeFacts ReadNodeFacts(TNode& node, const std::string& local_root);

// The icon key of every folder; it can be neither an extension nor a path.
inline constexpr std::string_view kFolderIconKey = "<folder>";

// The key file icons are kept under: the upper-case extension with its dot
// (empty without one), so that .html and .HTML share an icon; for a program
// (.exe in any case) the upper-case local path, so every program has its own.
std::string IconKey(const TNodeFacts& facts);

// How a strategy shows one node in the file list.
struct TNodeView {
  bool Listed = false;  // false: the list has no item for it (remove one it has)
  std::string Caption;
  std::string SizeText;
  std::string IconKey;
  TStateOverlay Overlay = soNone;
  bool Cut = false;       // drawn dimmed: no local copy
  std::string StateText;  // the state in words, for the item's tool tip
};

// No project: nothing is listed. Disconnected: only nodes with a local copy
// or an operation in process, never dimmed, the hourglass while in process.
// Connected: every node, dimmed without a local copy, with its state's
// picture.
TNodeView NodeView(TStrategyKind kind, const TNodeFacts& facts);

}  // namespace ravelo
