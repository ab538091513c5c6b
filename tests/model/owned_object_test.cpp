#include "model/owned_object.h"

#include <gtest/gtest.h>

#include "model/presence_watcher.h"
#include "model/syn_display.h"

namespace ravelo {
namespace {

class TWatchingDevice : public TOwnedObject, public TNilPresenceWatcher {
 public:
  explicit TWatchingDevice(bool& destroyed) : destroyed_(destroyed) {}
  ~TWatchingDevice() override { destroyed_ = true; }

 private:
  bool& destroyed_;
};

TEST(OwnedObjectTest, ReferencesNeverFreeTheObject) {
  bool destroyed = false;
  {
    TWatchingDevice device(destroyed);
    {
      std::shared_ptr<IPresenceWatcher> first = device.GetInterface<IPresenceWatcher>();
      std::shared_ptr<IPresenceWatcher> second = first;
      EXPECT_EQ(first.get(), static_cast<IPresenceWatcher*>(&device));
    }
    EXPECT_FALSE(destroyed);
    EXPECT_FALSE(device.GetInterface<ISynDisplay>());  // not implemented: empty
  }
  EXPECT_TRUE(destroyed);  // its owner freed it
}

}  // namespace
}  // namespace ravelo
