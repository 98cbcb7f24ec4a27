#include <gtest/gtest.h>

#include "platform/StoreLocation.h"

namespace kestrun::platform {
namespace {

// Root's runs share the machine's store; anyone else keeps one of their own; KESTRUN_REGISTRY wins.
TEST(StoreLocation, RootSharesTheMachinesStoreOthersKeepTheirOwn) {
  struct Case {
    const char* registry;
    uid_t uid;
    const char* xdg;
    std::string file;
    bool machineWide;
  };
  for (const Case& c :
       {Case{nullptr, 0, "/x", "/var/lib/kestrun/registry.reg", true},
        Case{"/tmp/r.reg", 0, nullptr, "/tmp/r.reg", false}, Case{"", 1000, "/x", "/x/kestrun/registry.reg", false},
        Case{nullptr, 1000, "relative", "/home/u/.config/kestrun/registry.reg", false}}) {
    const StoreLocation location = ChooseStoreLocation(c.registry, c.uid, c.xdg, "/home/u");
    EXPECT_EQ(location.file, c.file);
    EXPECT_EQ(location.machineWide, c.machineWide);
  }
}

}  // namespace
}  // namespace kestrun::platform
