#include "test_support.h"

namespace vel::test {
namespace {

const Bytes kIcmpEcho = IPv4Packet(1, Hex("0800f7fe 0001 0000"), "127.0.0.1", "127.0.0.1");
const Bytes kUdp6 = IPv6Packet(kIpProtocolUdp, UdpDatagram(40000, 7, Ascii("echo")), "::1", "::1");

using LoopbackDecoder = DecoderTest;

TEST_F(LoopbackDecoder, FamilyInEitherByteOrder) {
  struct Case {
    uint16_t linkType;
    Bytes frame;
    const char* value;
    const char* comment;
    const char* next;
  } cases[] = {
      // NULL as a little-endian host wrote it.
      {VEL_LT_NULL, LoopbackFrame(2, kIcmpEcho, false), "2 (0x00000002)", "Internet Protocol (v4)", "IP - "},
      // NULL from a big-endian host, FreeBSD's number for IPv6.
      {VEL_LT_NULL, LoopbackFrame(28, kUdp6, true), "28 (0x0000001C)", "Internet Protocol (v6)", "IPv6 - "},
      // LOOP is always in network byte order.
      {VEL_LT_LOOP, LoopbackFrame(24, kUdp6, true), "24 (0x00000018)", "Internet Protocol (v6)", "IPv6 - "},
      {VEL_LT_NULL, LoopbackFrame(30, kUdp6, false), "30 (0x0000001E)", "Internet Protocol (v6)", "IPv6 - "},
  };
  for (const Case& c : cases) {
    auto info = SweepAndDecode(c.frame, c.linkType);
    const Node* loopback = FindGroup(info.get(), "Loopback - BSD Loopback");
    EXPECT_EQ(loopback->protocol, kLoopbackType);
    EXPECT_EQ(loopback->length, 4u);
    ExpectFields(loopback, {{"Address Family", 0, 4, c.value, c.comment}});
    EXPECT_EQ(FindGroup(info.get(), c.next)->startPos, 4u) << c.value;
  }
}

TEST_F(LoopbackDecoder, OtherFamiliesEndAfterTheHeader) {
  // 7 is OSI, and IPv4 in host byte order is no family at all in LOOP.
  for (auto [linkType, frame] : {std::pair{VEL_LT_NULL, LoopbackFrame(7, Hex("81"), false)},
                                 std::pair{VEL_LT_LOOP, LoopbackFrame(2, kIcmpEcho, false)}}) {
    auto info = DecodeAs(m_.get(), linkType, frame);
    EXPECT_EQ(GroupNames(info.get()).size(), 2u);
    EXPECT_EQ(CommentOf(ItemAt(info.get(), {"Loopback - ", "Address Family"})), "Unknown Protocol");
  }
}

}  // namespace
}  // namespace vel::test
