#include "engine/preclassification.h"
#include "test_support.h"

namespace vel::test {
namespace {

using Layers = std::vector<uint32_t>;

// The pre-classification of a frame (or its first length bytes) held in a heap block of exactly that size.
struct Classified {
  explicit Classified(const Bytes& frame, uint16_t linkType = VEL_LT_ETHERNET, size_t length = SIZE_MAX)
      : record(frame, static_cast<uint32_t>(std::min(length, frame.size())), 1, 0, linkType) {
    const auto* captured = reinterpret_cast<const CapturedPacket*>(record.data());
    Preclassify(captured, &packet);
    layers.assign(packet.nLayers, packet.nLayers + packet.nLayerCount);
    start = captured->Frame();
  }
  uint32_t Offset(const uint8_t* p) const { return static_cast<uint32_t>(p - start); }

  PacketRecord record;
  ParsedPacket packet{};
  Layers layers;
  const uint8_t* start = nullptr;
};

const Bytes kMacs = Hex("0180c2000000 001122334455");
const Bytes kIPv4Udp = Hex("45000020000100004011f97c7f0000017f000001");  // protocol 17
const Bytes kUdp53 = Hex("c35000350008 0000");
const Bytes kTcp = Concat({kMacs, Hex("0800 45000028000100004006f97c7f0000017f000001"), Hex("0401 0050 00000000")});

TEST(Preclassification, EthernetTypesAndTheThresholdOf1500) {
  EXPECT_EQ(Classified(Concat({kMacs, Hex("1234")})).layers, Layers{48});
  EXPECT_EQ(Classified(Concat({kMacs, Hex("05dc aaaa")})).layers, Layers{48});
}

TEST(Preclassification, Ieee8023Forms) {
  EXPECT_EQ(Classified(Concat({kMacs, Hex("0040 ffff 0000")})).layers, Layers{49});
  Classified snap(Concat({kMacs, Hex("0040 aaaa03 000000 0800"), kIPv4Udp, kUdp53}));
  EXPECT_EQ(snap.layers, (Layers{50, 1, 20, 29}));
  EXPECT_EQ(snap.Offset(snap.packet.pIPv4Header), 22u);
  Classified llc(Concat({kMacs, Hex("0040 060603"), kIPv4Udp, kUdp53}));
  EXPECT_EQ(llc.layers, (Layers{51, 1, 20, 29}));
  EXPECT_EQ(llc.Offset(llc.packet.pIPv4Header), 17u);
  EXPECT_EQ(llc.packet.nIPv4HeaderLength, 20u);
  EXPECT_EQ(llc.packet.nIPv4TotalLength, 32u);

  // CDP by its destination address.
  Classified cdp(Hex("01000ccccccc 001122334455 0030 aaaa03 00000c 2000 0201"));
  EXPECT_EQ(cdp.layers, (Layers{50, 329}));
  EXPECT_EQ(cdp.Offset(cdp.packet.pCDPData), 22u);
}

TEST(Preclassification, PortsSourceFirstAndTransportItself) {
  EXPECT_EQ(Classified(kTcp).layers, (Layers{48, 1, 2, 3}));
  Classified plain(Concat({kMacs, Hex("0800 45000028000100004006f97c7f0000017f000001"), Hex("07d0 07d1 00000000")}));
  EXPECT_EQ(plain.layers, (Layers{48, 1, 2}));
  EXPECT_EQ(plain.packet.nLayers[3], 2u);  // written into the next slot, not counted
}

TEST(Preclassification, UnmappedProtocolAndAuthenticationHeader) {
  EXPECT_EQ(Classified(Concat({kMacs, Hex("0800 450000140001000040c8f97c7f0000017f000001")})).layers, (Layers{48, 1}));
  EXPECT_EQ(Classified(Concat({kMacs, Hex("0800 450000300001000040330000 7f0000017f000001"), Hex("06040000")})).layers,
            (Layers{48, 1, 39, 2}));
}

TEST(Preclassification, TaggedFramesAreClassifiedAfterTheTag) {
  // Hop-by-hop header (next header UDP, length 0), then UDP to port 53.
  Bytes ipv6 = Hex("60000000 0010 00 40 fe800000000000000000000000000001 fe800000000000000000000000000002");
  Classified tagged(Concat({kMacs, Hex("8100 0064 86dd"), ipv6, Hex("1100000000000000"), kUdp53}));
  EXPECT_EQ(tagged.layers, (Layers{48, 326, 52, 20, 29}));
  EXPECT_EQ(tagged.Offset(tagged.packet.pVlanTag), 14u);
  EXPECT_EQ(tagged.Offset(tagged.packet.pIPv6Header), 18u);
  EXPECT_EQ(tagged.Offset(tagged.packet.pUDPHeader), 66u);

  Classified arp(Concat({kMacs, Hex("8100 0064 0806 0001080006040001")}));
  EXPECT_EQ(arp.layers, (Layers{48, 326, 16}));
  EXPECT_EQ(arp.Offset(arp.packet.pARPHeader), 18u);
  EXPECT_EQ(Classified(Concat({kMacs, Hex("8100 0064 8863 1109000000000")})).layers, (Layers{48, 326, 59}));
}

TEST(Preclassification, PppoeSessionCarryingIPv4) {
  Classified session(Concat({kMacs, Hex("8864 1100 0001 0022 0021"), Hex("45000028000100004006f97c7f0000017f000001"),
                             Hex("0401 0050 00000000")}));
  EXPECT_EQ(session.layers, (Layers{48, 60, 61, 199, 2, 3}));
  EXPECT_EQ(session.Offset(session.packet.pIPv4Header), 22u);
}

TEST(Preclassification, StopsWhereTheCaptureEnds) {
  for (size_t length = 0; length <= kTcp.size(); ++length) {
    Layers expected = {48};
    if (length >= 14) expected.push_back(1);
    if (length >= 24) expected.push_back(2);
    if (length >= 38) expected.push_back(3);
    EXPECT_EQ(Classified(kTcp, VEL_LT_ETHERNET, length).layers, expected) << "capture length " << length;
  }
}

TEST(Preclassification, LinkLayersBesidesEthernetStartTheList) {
  Bytes ip = Hex("45000020000100004011f97c7f0000017f000001 c35000350008 0000");
  Bytes ip6 = Hex("6000000000081140 00000000000000000000000000000001 00000000000000000000000000000001 c3500035 0008 0000");
  auto layers = [](uint16_t linkType, const Bytes& frame) { return Classified(frame, linkType).layers; };
  EXPECT_EQ(layers(VEL_LT_LINUX_SLL, LinuxCookedFrame(0x0800, ip)), (Layers{400, 1, 20, 29}));
  EXPECT_EQ(layers(VEL_LT_LINUX_SLL2, LinuxCookedV2Frame(0x86DD, ip6)), (Layers{401, 52, 20, 29}));
  EXPECT_EQ(layers(VEL_LT_LINUX_SLL, LinuxCookedFrame(0x0806, Hex("0001"))), (Layers{400, 16}));
  EXPECT_EQ(layers(VEL_LT_NULL, LoopbackFrame(2, ip, false)), (Layers{402, 1, 20, 29}));
  EXPECT_EQ(layers(VEL_LT_LOOP, LoopbackFrame(30, ip6, true)), (Layers{402, 52, 20, 29}));
  EXPECT_EQ(layers(VEL_LT_RAW_IP, ip), (Layers{1, 20, 29}));
  EXPECT_EQ(layers(VEL_LT_RAW_IP, ip6), (Layers{52, 20, 29}));
  // The link types of one IP version take the packet as that version, whatever its first nibble says.
  EXPECT_EQ(layers(VEL_LT_IPV4, ip), (Layers{1, 20, 29}));
  EXPECT_EQ(layers(VEL_LT_IPV6, ip6), (Layers{52, 20, 29}));
  EXPECT_EQ(layers(VEL_LT_IPV6, ip), (Layers{52}));
  // No layer: an IP version raw IP does not know, a link type the engine does not know.
  EXPECT_EQ(layers(VEL_LT_RAW_IP, Hex("50000020")), Layers{});
  EXPECT_EQ(layers(99, ip), Layers{});
  // No CDP test on a cooked header, whose first bytes are no destination address.
  EXPECT_EQ(layers(VEL_LT_LINUX_SLL, Hex("01000ccccccc 0000 0000 0000 2000 aaaa")), Layers{400});

  // The headers lie after the link header; a cut inside the cooked header leaves the root's type alone.
  Classified cooked(LinuxCookedFrame(0x0800, ip), VEL_LT_LINUX_SLL);
  EXPECT_EQ(cooked.Offset(cooked.packet.pIPv4Header), 16u);
  EXPECT_EQ(cooked.Offset(cooked.packet.pUDPHeader), 36u);
  EXPECT_EQ(cooked.packet.nIPv4HeaderLength, 20u);
  EXPECT_EQ(layers(VEL_LT_LINUX_SLL, Hex("0000 0001 0006 0800")), Layers{400});
  EXPECT_EQ(layers(VEL_LT_NULL, Hex("02")), Layers{402});
  EXPECT_EQ(layers(VEL_LT_RAW_IP, {}), Layers{});
}

}  // namespace
}  // namespace vel::test
