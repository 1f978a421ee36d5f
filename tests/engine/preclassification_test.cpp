#include "engine/preclassification.h"
#include "test_support.h"

namespace vel::test {
namespace {

struct Classified {
  ParsedPacket packet{};
  std::vector<uint32_t> layers;
  const uint8_t* frame = nullptr;
  uint32_t Offset(const uint8_t* p) const { return static_cast<uint32_t>(p - frame); }
};

// Classifies a frame held in a heap block of exactly its size.
Classified Classify(const Bytes& bytes, PacketRecord& record) {
  Classified c;
  const auto* captured = reinterpret_cast<const CapturedPacket*>(record.data());
  Preclassify(captured, &c.packet);
  c.layers.assign(c.packet.nLayers, c.packet.nLayers + c.packet.nLayerCount);
  c.frame = captured->Frame();
  (void)bytes;
  return c;
}

const Bytes kMacs = Hex("0180c2000000 001122334455");
const Bytes kIPv4Udp = Hex("45000020000100004011f97c7f0000017f000001");  // protocol 17
const Bytes kUdp53 = Hex("c35000350008 0000");

TEST(Preclassification, EthernetTypesAndTheThresholdOf1500) {
  Bytes frame = Concat({kMacs, Hex("1234")});
  PacketRecord r1(frame);
  EXPECT_EQ(Classify(frame, r1).layers, (std::vector<uint32_t>{48}));
  Bytes at1500 = Concat({kMacs, Hex("05dc aaaa")});
  PacketRecord r2(at1500);
  EXPECT_EQ(Classify(at1500, r2).layers, (std::vector<uint32_t>{48}));
}

TEST(Preclassification, Ieee8023Forms) {
  Bytes raw = Concat({kMacs, Hex("0040 ffff 0000")});
  PacketRecord r1(raw);
  EXPECT_EQ(Classify(raw, r1).layers, (std::vector<uint32_t>{49}));

  Bytes snap = Concat({kMacs, Hex("0040 aaaa03 000000 0800"), kIPv4Udp, kUdp53});
  PacketRecord r2(snap);
  auto s = Classify(snap, r2);
  EXPECT_EQ(s.layers, (std::vector<uint32_t>{50, 1, 20, 29}));
  EXPECT_EQ(s.Offset(s.packet.pIPv4Header), 22u);

  Bytes llcIp = Concat({kMacs, Hex("0040 060603"), kIPv4Udp, kUdp53});
  PacketRecord r3(llcIp);
  auto l = Classify(llcIp, r3);
  EXPECT_EQ(l.layers, (std::vector<uint32_t>{51, 1, 20, 29}));
  EXPECT_EQ(l.Offset(l.packet.pIPv4Header), 17u);
  EXPECT_EQ(l.packet.nIPv4HeaderLength, 20u);
  EXPECT_EQ(l.packet.nIPv4TotalLength, 32u);
}

TEST(Preclassification, CdpByDestinationAddress) {
  Bytes cdp = Hex("01000ccccccc 001122334455 0030 aaaa03 00000c 2000 0201");
  PacketRecord r(cdp);
  auto c = Classify(cdp, r);
  EXPECT_EQ(c.layers, (std::vector<uint32_t>{50, 329}));
  EXPECT_EQ(c.Offset(c.packet.pCDPData), 22u);
}

TEST(Preclassification, PortsSourceFirstAndTransportItself) {
  Bytes tcp = Concat({kMacs, Hex("0800 45000028000100004006f97c7f0000017f000001"), Hex("0401 0050 00000000")});
  PacketRecord r1(tcp);
  EXPECT_EQ(Classify(tcp, r1).layers, (std::vector<uint32_t>{48, 1, 2, 3}));
  Bytes plain = Concat({kMacs, Hex("0800 45000028000100004006f97c7f0000017f000001"), Hex("07d0 07d1 00000000")});
  PacketRecord r2(plain);
  auto p = Classify(plain, r2);
  EXPECT_EQ(p.layers, (std::vector<uint32_t>{48, 1, 2}));
  EXPECT_EQ(p.packet.nLayers[3], 2u);  // written into the next slot, not counted
}

TEST(Preclassification, UnmappedProtocolAndAuthenticationHeader) {
  Bytes p200 = Concat({kMacs, Hex("0800 450000140001000040c8f97c7f0000017f000001")});
  PacketRecord r1(p200);
  EXPECT_EQ(Classify(p200, r1).layers, (std::vector<uint32_t>{48, 1}));
  Bytes ah = Concat({kMacs, Hex("0800 450000300001000040330000 7f0000017f000001"), Hex("06040000")});
  PacketRecord r2(ah);
  EXPECT_EQ(Classify(ah, r2).layers, (std::vector<uint32_t>{48, 1, 39, 2}));
}

TEST(Preclassification, VlanTaggedIPv6WalksLikeUntagged) {
  Bytes ipv6 = Hex("60000000 0010 11 40 fe800000000000000000000000000001 fe800000000000000000000000000002");
  // Hop-by-hop header (next header UDP, length 0), then UDP to port 53.
  Bytes tagged = Concat({kMacs, Hex("8100 0064 86dd"), ipv6, Hex("1100000000000000"), kUdp53});
  tagged[12 + 6 + 6] = 0;  // next header: hop-by-hop
  PacketRecord r(tagged);
  auto c = Classify(tagged, r);
  EXPECT_EQ(c.layers, (std::vector<uint32_t>{48, 326, 52, 20, 29}));
  EXPECT_EQ(c.Offset(c.packet.pVlanTag), 14u);
  EXPECT_EQ(c.Offset(c.packet.pIPv6Header), 18u);
  EXPECT_EQ(c.Offset(c.packet.pUDPHeader), 66u);
}

TEST(Preclassification, TaggedArpAndPppoeAreClassifiedAfterTheTag) {
  Bytes arp = Concat({kMacs, Hex("8100 0064 0806 0001080006040001")});
  PacketRecord r1(arp);
  auto a = Classify(arp, r1);
  EXPECT_EQ(a.layers, (std::vector<uint32_t>{48, 326, 16}));
  EXPECT_EQ(a.Offset(a.packet.pARPHeader), 18u);
  Bytes discovery = Concat({kMacs, Hex("8100 0064 8863 1109000000000")});
  PacketRecord r2(discovery);
  EXPECT_EQ(Classify(discovery, r2).layers, (std::vector<uint32_t>{48, 326, 59}));
}

TEST(Preclassification, PppoeSessionCarryingIPv4) {
  Bytes session = Concat({kMacs, Hex("8864 1100 0001 0022 0021"), Hex("45000028000100004006f97c7f0000017f000001"),
                          Hex("0401 0050 00000000")});
  PacketRecord r(session);
  auto c = Classify(session, r);
  EXPECT_EQ(c.layers, (std::vector<uint32_t>{48, 60, 61, 199, 2, 3}));
  EXPECT_EQ(c.Offset(c.packet.pIPv4Header), 22u);
}

TEST(Preclassification, StopsWhereTheCaptureEnds) {
  Bytes tcp = Concat({kMacs, Hex("0800 45000028000100004006f97c7f0000017f000001"), Hex("0401 0050 00000000")});
  for (uint32_t length = 0; length <= tcp.size(); ++length) {
    PacketRecord r(tcp, length);
    auto c = Classify(tcp, r);
    std::vector<uint32_t> expected = {48};
    if (length >= 14) expected.push_back(1);
    if (length >= 24) expected.push_back(2);
    if (length >= 38) expected.push_back(3);
    EXPECT_EQ(c.layers, expected) << "capture length " << length;
  }
}

}  // namespace
}  // namespace vel::test

namespace vel::test {
namespace {

std::vector<uint32_t> LayersAs(uint16_t linkType, const Bytes& frame) {
  PacketRecord record(frame, static_cast<uint32_t>(frame.size()), 1, 0, linkType);
  ParsedPacket parsed{};
  Preclassify(reinterpret_cast<const CapturedPacket*>(record.data()), &parsed);
  return {parsed.nLayers, parsed.nLayers + parsed.nLayerCount};
}

TEST(Preclassification, LinkLayersBesidesEthernetStartTheList) {
  Bytes ip = Hex("45000020000100004011f97c7f0000017f000001 c35000350008 0000");
  Bytes ip6 = Hex("6000000000081140 00000000000000000000000000000001 00000000000000000000000000000001 c3500035 0008 0000");
  EXPECT_EQ(LayersAs(VEL_LT_LINUX_SLL, LinuxCookedFrame(0x0800, ip)), (std::vector<uint32_t>{400, 1, 20, 29}));
  EXPECT_EQ(LayersAs(VEL_LT_LINUX_SLL2, LinuxCookedV2Frame(0x86DD, ip6)), (std::vector<uint32_t>{401, 52, 20, 29}));
  EXPECT_EQ(LayersAs(VEL_LT_LINUX_SLL, LinuxCookedFrame(0x0806, Hex("0001"))), (std::vector<uint32_t>{400, 16}));
  EXPECT_EQ(LayersAs(VEL_LT_NULL, LoopbackFrame(2, ip, false)), (std::vector<uint32_t>{402, 1, 20, 29}));
  EXPECT_EQ(LayersAs(VEL_LT_LOOP, LoopbackFrame(30, ip6, true)), (std::vector<uint32_t>{402, 52, 20, 29}));
  EXPECT_EQ(LayersAs(VEL_LT_RAW_IP, ip), (std::vector<uint32_t>{1, 20, 29}));
  EXPECT_EQ(LayersAs(VEL_LT_RAW_IP, ip6), (std::vector<uint32_t>{52, 20, 29}));
  // The link types of one IP version take the packet as that version, whatever its first nibble says.
  EXPECT_EQ(LayersAs(VEL_LT_IPV4, ip), (std::vector<uint32_t>{1, 20, 29}));
  EXPECT_EQ(LayersAs(VEL_LT_IPV6, ip6), (std::vector<uint32_t>{52, 20, 29}));
  EXPECT_EQ(LayersAs(VEL_LT_IPV6, ip), (std::vector<uint32_t>{52}));
  // No layer: an IP version raw IP does not know, a link type the engine does not know.
  EXPECT_EQ(LayersAs(VEL_LT_RAW_IP, Hex("50000020")), (std::vector<uint32_t>{}));
  EXPECT_EQ(LayersAs(99, ip), (std::vector<uint32_t>{}));
  // No CDP test on a cooked header, whose first bytes are no destination address.
  EXPECT_EQ(LayersAs(VEL_LT_LINUX_SLL, Hex("01000ccccccc 0000 0000 0000 2000 aaaa")), (std::vector<uint32_t>{400}));
}

TEST(Preclassification, HeadersOfOtherLinkTypesLieAfterTheirLinkHeader) {
  Bytes ip = Hex("45000020000100004011f97c7f0000017f000001 c35000350008 0000");
  PacketRecord record(LinuxCookedFrame(0x0800, ip), 16 + 28, 1, 0, VEL_LT_LINUX_SLL);
  ParsedPacket parsed{};
  const auto* captured = reinterpret_cast<const CapturedPacket*>(record.data());
  Preclassify(captured, &parsed);
  EXPECT_EQ(parsed.pIPv4Header - captured->Frame(), 16);
  EXPECT_EQ(parsed.pUDPHeader - captured->Frame(), 36);
  EXPECT_EQ(parsed.nIPv4HeaderLength, 20u);

  // Cut inside the cooked header: the root's type alone.
  EXPECT_EQ(LayersAs(VEL_LT_LINUX_SLL, Hex("0000 0001 0006 0800")), (std::vector<uint32_t>{400}));
  EXPECT_EQ(LayersAs(VEL_LT_NULL, Hex("02")), (std::vector<uint32_t>{402}));
  EXPECT_EQ(LayersAs(VEL_LT_RAW_IP, {}), (std::vector<uint32_t>{}));
}

}  // namespace
}  // namespace vel::test
