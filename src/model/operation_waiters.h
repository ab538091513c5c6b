#pragma once

#include <string>

#include "model/waiter.h"

namespace ravelo {

// The seven kinds of waiter, one per node operation. Made by the node's
// starters (TNode::Open and so on).

class TOpenWaiter : public TWaiter {
 public:
  using TWaiter::TWaiter;

 protected:
  void Perform() override;
};

class TSynchronizeWaiter : public TWaiter {
 public:
  using TWaiter::TWaiter;

 protected:
  void Perform() override;
};

// The node queue treats it specially: queuing one cancels what is queued
// before it, and whatever is queued after it is dropped.
class TDeleteWaiter : public TWaiter {
 public:
  using TWaiter::TWaiter;

 protected:
  void Perform() override;
};

class TRenameWaiter : public TWaiter {
 public:
  TRenameWaiter(TNode& node, std::string new_name)
      : TWaiter(node), new_name_(std::move(new_name)) {}

  const std::string& NewName() const { return new_name_; }
  // Two renames are the same only with exactly the same new name.
  bool SameAs(const TWaiter& other) const override;

 protected:
  void Perform() override;

 private:
  const std::string new_name_;
};

class TCreateLocalWaiter : public TWaiter {
 public:
  using TWaiter::TWaiter;

 protected:
  void Perform() override;
};

class TClearCacheWaiter : public TWaiter {
 public:
  TClearCacheWaiter(TNode& node, bool force) : TWaiter(node), force_(force) {}
  // A forced clear is not the same as one that spares local changes.
  bool SameAs(const TWaiter& other) const override;

 protected:
  void Perform() override;

 private:
  bool force_;
};

class TUploadFreshWaiter : public TWaiter {
 public:
  using TWaiter::TWaiter;

 protected:
  void Perform() override;
};

}  // namespace ravelo
