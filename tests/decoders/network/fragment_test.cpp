// IP fragments: the first fragment of a datagram carries the transport header
// (whose checksum one fragment cannot prove), the others carry only data.
#include "test_support.h"

namespace vel::test {
namespace {

// A UDP datagram from port 40000 to 40001 with 40 bytes of data: 48 bytes,
// cut into fragments of 16 bytes at offsets 0, 16 and 32.
const Bytes kPayload = Ascii("fragmented datagram, forty bytes of it..");
const Bytes kDatagram = [] {
  Bytes packet = IPv4Packet(kIpProtocolUdp, UdpDatagram(40000, 40001, kPayload));
  return Bytes(packet.begin() + 20, packet.end());
}();

Bytes Part(uint32_t offset, uint32_t length) {
  return Bytes(kDatagram.begin() + offset, kDatagram.begin() + offset + length);
}

Bytes IPv4FragmentFrame(uint32_t offset, uint32_t length, bool more) {
  return EthernetFrame(kEtherTypeIPv4, IPv4Fragment(kIpProtocolUdp, Part(offset, length), offset, more));
}

Bytes IPv6FragmentFrame(uint32_t offset, uint32_t length, bool more) {
  return EthernetFrame(kEtherTypeIPv6, IPv6Packet(44, IPv6Fragment(kIpProtocolUdp, Part(offset, length), offset, more)));
}

const Names kUpToIPv4 = {"Packet Info", "Ethernet II - Ethernet II Frame", "IP - Internet Protocol (v4)"};
const Names kUpToIPv6 = {"Packet Info", "Ethernet II - Ethernet II Frame", "IPv6 - Internet Protocol (v6)"};

using IPFragments = DecoderTest;

TEST_F(IPFragments, IPv4DatagramInThreeFragments) {
  auto info = SweepAndDecode(IPv4FragmentFrame(0, 16, true));
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"UDP - ", "Checksum"})), "Not verified, fragmented datagram");
  EXPECT_EQ(ValueOf(ItemAt(info.get(), {"UDP - ", "Source Port"})), "40000 (0x9C40)");

  for (const Bytes& frame : {IPv4FragmentFrame(16, 16, true), IPv4FragmentFrame(32, 16, false)}) {
    info = SweepAndDecode(frame);
    EXPECT_EQ(GroupNames(info.get()), kUpToIPv4);
    const Node* ip = FindGroup(info.get(), "IP - ");
    EXPECT_EQ(CommentOf(FindItem(ip, "Protocol")), "UDP");
    EXPECT_EQ(ChildNames(ip).back(), "Fragment Data");
    ExpectItem(FindItem(ip, "Fragment Data"), 34, 16, "", "16 (0x10) Bytes Remaining");
    EXPECT_EQ(ip->length, 36u);
  }
  // Ethernet padding after a short last fragment is not fragment data.
  Bytes padded = IPv4FragmentFrame(40, 8, false);
  padded.resize(60);
  info = SweepAndDecode(padded);
  EXPECT_EQ(FindItem(FindGroup(info.get(), "IP - "), "Fragment Data")->length, 8u);

  // A first fragment shorter than the transport header.
  info = SweepAndDecode(IPv4FragmentFrame(0, 4, true));
  EXPECT_EQ(ChildNames(FindGroup(info.get(), "UDP - ")), (Names{"Source Port", "Destination Port", "Truncated"}));
}

TEST_F(IPFragments, IPv6DatagramInThreeFragments) {
  auto info = SweepAndDecode(IPv6FragmentFrame(0, 16, true));
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"UDP - ", "Checksum"})), "Not verified, fragmented datagram");
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 62u);

  for (const Bytes& frame : {IPv6FragmentFrame(16, 16, true), IPv6FragmentFrame(32, 16, false)}) {
    info = SweepAndDecode(frame);
    EXPECT_EQ(GroupNames(info.get()), kUpToIPv6);
    const Node* ipv6 = FindGroup(info.get(), "IPv6 - ");
    EXPECT_EQ(CommentOf(FindItem(ipv6, "Next Header")), "User Datagram Protocol");
    EXPECT_EQ(ChildNames(ipv6).back(), "Fragment Data");
    ExpectItem(FindItem(ipv6, "Fragment Data"), 62, 16, "", "16 (0x10) Bytes Remaining");
    EXPECT_EQ(ipv6->length, 64u);
  }
}

}  // namespace
}  // namespace vel::test
