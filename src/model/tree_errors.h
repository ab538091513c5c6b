#pragma once

#include <stdexcept>
#include <string>

namespace ravelo {

// The tree's errors. Each has a fixed message; names are embedded in quotes.
class ETree : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EDuplicateNode : public ETree {
 public:
  EDuplicateNode() : ETree("Node Already Exists") {}
};

class EUnnamedNode : public ETree {
 public:
  EUnnamedNode() : ETree("Can't Create An Unnamed SynNode") {}
};

class EParentless : public ETree {
 public:
  explicit EParentless(const std::string& name)
      : ETree("Can't Create Leaf '" + name + "' Without A Parent") {}
};

class ENotMyChild : public ETree {
 public:
  ENotMyChild() : ETree("Not A Child Of This Node") {}
};

class ENoPath : public ETree {
 public:
  ENoPath(const std::string& ancestor, const std::string& stopped_at)
      : ETree("No Path Between Parent '" + ancestor + "' And Child '" + stopped_at + "'") {}
};

class ENoServer : public ETree {
 public:
  ENoServer() : ETree("Trying To Perform Server Operation With No Server") {}
};

class ENodeAlreadyLocal : public ETree {
 public:
  ENodeAlreadyLocal() : ETree("Node Is Already Local") {}
};

class EChildUnavailable : public ETree {
 public:
  EChildUnavailable() : ETree("No Child Is Available") {}
};

class ETerminated : public ETree {
 public:
  ETerminated() : ETree("Operation Terminated") {}
};

}  // namespace ravelo
