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

const std::vector<std::string> kUpToIPv4 = {"Packet Info", "Ethernet II - Ethernet II Frame", "IP - Internet Protocol (v4)"};
const std::vector<std::string> kUpToIPv6 = {"Packet Info", "Ethernet II - Ethernet II Frame",
                                            "IPv6 - Internet Protocol (v6)"};

TEST(IPFragments, IPv4DatagramInThreeFragments) {
  auto m = MakeManager();
  const Bytes first = IPv4FragmentFrame(0, 16, true), middle = IPv4FragmentFrame(16, 16, true),
              last = IPv4FragmentFrame(32, 16, false);

  auto info = Decode(m.get(), first);
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"UDP - ", "Checksum"})), "Not verified, fragmented datagram");
  EXPECT_EQ(ValueOf(ItemAt(info.get(), {"UDP - ", "Source Port"})), "40000 (0x9C40)");

  for (const Bytes* frame : {&middle, &last}) {
    info = Decode(m.get(), *frame);
    EXPECT_EQ(GroupNames(info.get()), kUpToIPv4);
    const auto* ip = FindGroup(info.get(), "IP - ");
    EXPECT_EQ(CommentOf(FindItem(ip, "Protocol")), "UDP");
    EXPECT_EQ(ChildNames(ip).back(), "Fragment Data");
    ExpectItem(FindItem(ip, "Fragment Data"), 34, 16, "", "16 (0x10) Bytes Remaining");
    EXPECT_EQ(ip->length, 36u);
  }
  // Ethernet padding after a short last fragment is not fragment data.
  const Bytes padded = [] {
    Bytes frame = IPv4FragmentFrame(40, 8, false);
    frame.resize(60);
    return frame;
  }();
  info = Decode(m.get(), padded);
  EXPECT_EQ(FindItem(FindGroup(info.get(), "IP - "), "Fragment Data")->length, 8u);

  for (const Bytes* frame : {&first, &middle, &last, &padded}) TruncationSweep(m.get(), *frame);
}

TEST(IPFragments, FirstFragmentShorterThanTheTransportHeader) {
  auto m = MakeManager();
  const Bytes stub = IPv4FragmentFrame(0, 4, true);
  auto info = Decode(m.get(), stub);
  const auto* udp = FindGroup(info.get(), "UDP - ");
  EXPECT_EQ(ChildNames(udp), (std::vector<std::string>{"Source Port", "Destination Port", "Truncated"}));
  TruncationSweep(m.get(), stub);
}

TEST(IPFragments, IPv6DatagramInThreeFragments) {
  auto m = MakeManager();
  const Bytes first = IPv6FragmentFrame(0, 16, true), middle = IPv6FragmentFrame(16, 16, true),
              last = IPv6FragmentFrame(32, 16, false);

  auto info = Decode(m.get(), first);
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"UDP - ", "Checksum"})), "Not verified, fragmented datagram");
  EXPECT_EQ(FindGroup(info.get(), "UDP - ")->startPos, 62u);

  for (const Bytes* frame : {&middle, &last}) {
    info = Decode(m.get(), *frame);
    EXPECT_EQ(GroupNames(info.get()), kUpToIPv6);
    const auto* ipv6 = FindGroup(info.get(), "IPv6 - ");
    EXPECT_EQ(CommentOf(FindItem(ipv6, "Next Header")), "User Datagram Protocol");
    EXPECT_EQ(ChildNames(ipv6).back(), "Fragment Data");
    ExpectItem(FindItem(ipv6, "Fragment Data"), 62, 16, "", "16 (0x10) Bytes Remaining");
    EXPECT_EQ(ipv6->length, 64u);
  }
  for (const Bytes* frame : {&first, &middle, &last}) TruncationSweep(m.get(), *frame);
}

}  // namespace
}  // namespace vel::test
