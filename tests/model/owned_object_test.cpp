#include "model/owned_object.h"

#include <gtest/gtest.h>

#include "model/presence_watcher.h"
#include "model/syn_display.h"

namespace ravelo {
namespace {

class TWatchingDevice : public TOwnedObject, public IPresenceWatcher {
 public:
  explicit TWatchingDevice(bool& destroyed) : destroyed_(destroyed) {}
  ~TWatchingDevice() override { destroyed_ = true; }
  void Watch(TNode&) override { ++watches; }
  void Unwatch(TNode&) override {}
  int watches = 0;

 private:
  bool& destroyed_;
};

TEST(OwnedObjectTest, DroppingEveryReferenceLeavesTheObjectAlive) {
  bool destroyed = false;
  {
    TWatchingDevice device(destroyed);
    {
      std::shared_ptr<IPresenceWatcher> first = device.GetInterface<IPresenceWatcher>();
      std::shared_ptr<IPresenceWatcher> second = first;
      ASSERT_TRUE(first);
      EXPECT_EQ(first.get(), static_cast<IPresenceWatcher*>(&device));
    }
    EXPECT_FALSE(destroyed);
  }
  EXPECT_TRUE(destroyed);  // its owner freed it
}

TEST(OwnedObjectTest, AnInterfaceItDoesNotImplementIsEmpty) {
  bool destroyed = false;
  TWatchingDevice device(destroyed);
  EXPECT_FALSE(device.GetInterface<ISynDisplay>());
}

}  // namespace
}  // namespace ravelo
