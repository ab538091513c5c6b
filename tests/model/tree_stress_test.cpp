// Many nodes, many queued operations ending in random orders: failures,
// server waits, cancellations, deletes, pruning by the operations themselves,
// fan-outs started from worker threads and removals from the main thread.
// What must hold afterwards: no node in process, no busy child counted, every
// display call made in the main thread, and every node freed exactly once
// (the sanitizer builds check the memory).

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <unordered_set>

#include "model/tree_errors.h"
#include "support/tree_doubles.h"

namespace ravelo {
namespace {

using test::Below;
using test::CheckIdle;

std::atomic<int> nodes_made{0};
std::atomic<int> nodes_freed{0};
std::atomic<int> new_names{0};

// A node whose every operation does something random to itself, the tree or
// the server; reading a side finds it at random.
template <class Base>
class TStressNode : public test::TTestNode<Base> {
 public:
  TStressNode(TBranch* parent, std::string_view name) : test::TTestNode<Base>(parent, name) {
    nodes_made.fetch_add(1);
    this->local = Below(2) == 0;
    this->remote = Below(2) == 0;
    this->action = [this](TNode&, test::TOp op, IServer& server, const std::string& new_name) {
      Act(server);
      if (TBranch* parent = this->Parent(); op == test::TOp::Rename && parent != nullptr)
        parent->RenameChild(*this, new_name);
    };
  }
  ~TStressNode() override { nodes_freed.fetch_add(1); }

  void ReadLocal() override { this->local = Below(3) != 0; }
  void ReadRemote(IServer&) override { this->remote = Below(3) != 0; }

 private:
  void Act(IServer& server) {
    const int roll = Below(100);
    if (roll < 8) throw std::runtime_error("Random Failure");
    if (roll < 25) {
      server.Download(*this);  // the first time: ENoServer, then a server
    } else if (roll < 30) {
      // The operation finds both sides gone and so takes its own node out
      // of the tree; its waiter keeps it alive until it ends.
      this->local = false;
      this->remote = false;
      this->MarkLocalKnown();
      this->MarkRemoteKnown();
    } else if (roll < 45) {
      // A folder queues work on its children from its worker thread.
      for (auto children = this->GetChildren(); !children->Done();) {
        TNode& child = children->Next();
        if (Below(2) == 0)
          child.Synchronize();
        else
          child.Open();
      }
    } else if (roll < 52) {
      if (auto* branch = dynamic_cast<TBranch*>(this)) {
        try {
          auto& added = branch->template MakeChild<TStressNode<TLeaf>>(
              "n" + std::to_string(new_names.fetch_add(1)));
          added.Synchronize();
        } catch (const EDuplicateNode&) {
        }
      }
    } else if (roll < 58) {
      this->ClearLocalTree();
    } else if (roll < 62) {
      this->ClearRemoteTree();
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(Below(300)));
    }
  }
};

using TStressBranch = TStressNode<TBranch>;
using TStressLeaf = TStressNode<TLeaf>;

// Knows which nodes the main thread may still touch: a node is reported
// removed, in the main thread, before it can be freed.
class TTrackingDisplay : public ISynDisplay {
 public:
  void NodeChanged(TNode&) override { Check(); }
  void NodeRemoved(TNode& node) override {
    Check();
    live.erase(&node);
  }
  void NodeFailed(TNode&, const std::exception&) override {
    Check();
    ++failures;
  }

  std::unordered_set<TNode*> live;  // main thread only
  int failures = 0;                 // main thread only
  int wrong_thread = 0;             // main thread only (as far as it is right)

 private:
  void Check() {
    if (!MainThread().IsMainThread()) ++wrong_thread;
  }
};

// Brings the tree back to six folders of eight files: operations keep
// deleting and pruning nodes.
void TopUp(TBranch& root, TTrackingDisplay& display) {
  for (int b = 0; b < 6; ++b) {
    const std::string folder_name = "dir" + std::to_string(b);
    auto* folder = dynamic_cast<TBranch*>(root.FindChild(folder_name));
    if (folder == nullptr) {
      if (root.FindChild(folder_name) != nullptr) continue;
      folder = &root.MakeChild<TStressBranch>(folder_name);
      display.live.insert(folder);
    }
    for (int l = 0; l < 8; ++l) {
      const std::string name = "file" + std::to_string(l);
      if (folder->FindChild(name) == nullptr)
        display.live.insert(&folder->MakeChild<TStressLeaf>(name));
    }
  }
}

void RunStress(std::uint64_t seed, int rounds) {
  test::SeedRandom(seed);
  nodes_made = 0;
  nodes_freed = 0;
  test::TTestMainLoop loop;
  test::TTestAssigner assigner;
  auto display = std::make_shared<TTrackingDisplay>();
  auto root = std::make_unique<TStressBranch>(nullptr, "");
  root->SetDisplay(display);
  display->live.insert(root.get());
  std::vector<TNode*> picks;
  for (int round = 0; round < rounds; ++round) {
    if (round % 16 == 0) {
      TopUp(*root, *display);
      picks.assign(display->live.begin(), display->live.end());
      std::sort(picks.begin(), picks.end());  // the order must not depend on addresses' hashing
    }
    TNode* node = picks[static_cast<size_t>(Below(static_cast<int>(picks.size())))];
    if (display->live.count(node) == 0) continue;  // removed since the pick
    const int roll = Below(100);
    try {
      if (roll < 15)
        node->Open();
      else if (roll < 35)
        node->Synchronize();
      else if (roll < 39)
        node->Delete();
      else if (roll < 48)
        node->Rename("r" + std::to_string(Below(4)));
      else if (roll < 55)
        node->CreateLocal();
      else if (roll < 62)
        node->ClearCache();
      else if (roll < 70)
        node->UploadFresh();
      else if (roll < 74)
        node->GetState();
      else if (roll < 77)
        assigner.TerminateQueued();  // as a disconnect does
      else if (roll < 79) {
        if (TBranch* parent = node->Parent()) parent->RemoveChild(*node);
      } else {
        node->Synchronize();
      }
    } catch (const ETree&) {
      // ENodeAlreadyLocal, or ENotMyChild when a worker took it out first.
    }
    loop.ProcessPending();
    // Keep the number of threads bounded.
    if (TWaiter::LiveCount() > 60) {
      ASSERT_TRUE(loop.RunUntil([] { return TWaiter::LiveCount() < 20; }));
    }
  }
  ASSERT_TRUE(test::WaitForWaiters(loop, std::chrono::seconds(60)));
  CheckIdle(*root);
  EXPECT_EQ(display->wrong_thread, 0);
  TNode::ReleaseRoot(std::move(root));
  EXPECT_EQ(TWaiter::LiveCount(), 0);
  EXPECT_EQ(nodes_freed.load(), nodes_made.load());
}

TEST(TreeStressTest, ManyOperationsEndingInRandomOrders) {
  for (std::uint64_t seed : {1ULL, 2ULL, 3ULL}) {
    SCOPED_TRACE(seed);
    RunStress(seed, 1500);
  }
}

}  // namespace
}  // namespace ravelo
