#include "model/node_state.h"

namespace ravelo {

std::string StateText(TNodeState state) {
  switch (state) {
    case nsUnknown:
      return "Unknown";
    case nsInProcess:
      return "In Process";
    case nsNotCached:
      return "Not Cached";
    case nsSynchronized:
      return "Synchronized";
    case nsFresh:
      return "Fresh";
    case nsExpired:
      return "Expired";
    case nsAmbiguous:
      return "Ambigous";
  }
  return "Unknown";
}

}  // namespace ravelo
