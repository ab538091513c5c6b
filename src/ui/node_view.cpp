#include "ui/node_view.h"

#include "model/branch.h"
#include "model/node.h"
#include "sync/local_path.h"

namespace ravelo {

namespace {

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// The name's extension with its dot; empty without one.
std::string DottedExtension(std::string_view name) {
  const auto dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

}  // namespace

TStateOverlay StateOverlay(TNodeState state) {
  switch (state) {
    case nsFresh:
      return soFresh;
    case nsExpired:
      return soExpired;
    case nsUnknown:
    case nsAmbiguous:
      return soUnknown;
    case nsInProcess:
      return soInProcess;
    case nsNotCached:
    case nsSynchronized:
      break;
  }
  return soNone;
}

TNodeFacts ReadNodeFacts(TNode& node, const std::string& local_root) {
  TNodeFacts facts;
  facts.Name = node.Name();
  facts.Folder = dynamic_cast<TBranch*>(&node) != nullptr;
  facts.State = node.GetState();
  facts.Local = node.LocalPresence();
  facts.SizeText = node.GetSizeText();
  facts.LocalPath = LocalNodePath(local_root, node);
  return facts;
}

std::string IconKey(const TNodeFacts& facts) {
  if (facts.Folder) return std::string(kFolderIconKey);
  std::string key = Upper(DottedExtension(facts.Name));
  return key == ".EXE" ? Upper(facts.LocalPath) : key;
}

TNodeView NodeView(TStrategyKind kind, const TNodeFacts& facts) {
  TNodeView view;
  const bool local = facts.Local == prPresent;
  if (kind == skNoProject) return view;
  if (kind == skDisconnected && !local && facts.State != nsInProcess) return view;
  view.Listed = true;
  view.Caption = facts.Name;
  view.SizeText = facts.SizeText;
  view.IconKey = IconKey(facts);
  view.StateText = StateText(facts.State);
  if (kind == skConnected) {
    view.Cut = !local;
    view.Overlay = StateOverlay(facts.State);
  } else {
    view.Overlay = facts.State == nsInProcess ? soInProcess : soNone;
  }
  return view;
}

}  // namespace ravelo
