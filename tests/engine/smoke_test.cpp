#include "test_support.h"

namespace vel::test {
namespace {

TEST(Smoke, EthernetOnly) {
  auto manager = MakeManager();
  auto info = Decode(manager.get(), Hex("001122334455 665544332211 1234"));
  EXPECT_EQ(GroupNames(info.get()), (std::vector<std::string>{"Packet Info", "Ethernet II - Ethernet II Frame"}));
  std::cout << TextOf(info.get());
  TruncationSweep(manager.get(), Hex("001122334455 665544332211 1234"));
}

}  // namespace
}  // namespace vel::test
