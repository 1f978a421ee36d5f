#include "test_support.h"

#include <algorithm>

#include "engine/preclassification.h"

namespace vel::test {
namespace {

using Names = std::vector<std::string>;

// Ethernet II with EtherType 0x8864 and PPPoE session 0x0011 around a PPP frame.
Bytes Session(std::string_view ppp) {
  Bytes frame = Hex(ppp);
  return Concat({Hex("00904b112233 00000e010203 8864 11 00 0011 00"), Bytes{static_cast<uint8_t>(frame.size())}, frame});
}

const Bytes kLcpConfigure = Session("c021 01 01 0012  010405d4  0304c023  05061a2b3c4d");
const Bytes kPapRequest = Session("c023 01 01 000a  02 7531  02 7031");
const Bytes kChapChallenge = Session("c223 01 01 001b  10 000102030405060708090a0b0c0d0e0f 736572766572");
const Bytes kIpcp = Session("8021 01 01 0010  0306 0a000001  0206 002d 0f 01");
// IPv4 10.0.0.1 -> 192.0.2.80, TCP 1025 -> 80 carrying "GET / HTTP/1.1\r\n\r\n".
const Bytes kHttp = Session("0021 4500003a000100004006ae6c0a000001c0000250 04010050000000010000000150182000e0750000"
                            "474554202f20485454502f312e310d0a0d0a");
// An ICMPv6 echo request in PPP.
const Bytes kIPv6 = Session("0057 6000000000083a40fe800000000000000000000000000001fe80000000000000000000000000000280"
                            "0082b800000000");

void Expect(const CVELPacketsDecodingItem* parent, std::string_view name, const std::string& value,
            const std::string& comment = "", uint32_t startPos = 0) {
  const auto* item = FindItem(parent, name);
  EXPECT_EQ(ValueOf(item), value) << name;
  EXPECT_EQ(CommentOf(item), comment) << name;
  if (item && startPos) {
    EXPECT_EQ(item->startPos, startPos) << name;
  }
}
const CVELPacketsDecodingItem* Option(const CVELPacketsDecodingItem* control, int k) {
  return FindItem(control, "Option - " + std::to_string(k));
}

TEST(PPPoESessionDecoder, LcpConfigureRequestWithOptions) {
  auto m = MakeManager();
  auto info = Decode(m.get(), kLcpConfigure);
  EXPECT_EQ(GroupNames(info.get()), (Names{"Packet Info", "Ethernet II - Ethernet II Frame",
                                           "PPPoES - PPP-over-Ethernet Session", "PPP - Point-to-point protocol",
                                           "PPP LCP - PPP Link Control Protocol"}));
  const auto* pppoe = FindGroup(info.get(), "PPPoES");
  EXPECT_EQ(pppoe->length, 6u);
  EXPECT_EQ(SummaryOf(pppoe), "Session Data");
  Expect(pppoe, "Payload Length", "20 (0x0014)", "", 18);
  const auto* ppp = FindGroup(info.get(), "PPP - ");
  EXPECT_EQ(ppp->startPos, 20u);
  EXPECT_EQ(ppp->length, 2u);
  Expect(ppp, "Protocol", "49185 (0xC021)", "PPP Link Control Protocol");

  const auto* lcp = FindGroup(info.get(), "PPP LCP");
  EXPECT_EQ(lcp->startPos, 22u);
  EXPECT_EQ(lcp->length, 18u);
  EXPECT_EQ(SummaryOf(lcp), "Configuration Request");
  EXPECT_EQ(ChildNames(lcp), (Names{"Code", "Identifier", "Length", "Option - 1", "Option - 2", "Option - 3"}));
  Expect(lcp, "Length", "18 (0x0012)", "", 24);
  EXPECT_EQ(ChildNames(Option(lcp, 1)), (Names{"Type", "Length", "Maximum-Receive-Unit"}));
  EXPECT_EQ(Option(lcp, 1)->length, 4u);
  Expect(Option(lcp, 1), "Type", "1 (0x01)", "Maximum-Receive-Unit", 26);
  Expect(Option(lcp, 1), "Maximum-Receive-Unit", "1492 (0x05D4)", "", 28);
  Expect(Option(lcp, 2), "Authentication Protocol", "49187 (0xC023)", "PPP Password Authentication Protocol", 32);
  Expect(Option(lcp, 3), "Magic Number", "1A2B3C4D", "", 36);
}

TEST(PPPoESessionDecoder, LcpCodesWithoutOptions) {
  auto m = MakeManager();
  auto echo8 = Decode(m.get(), Session("c021 09 02 0008 a4cbea34"));
  const auto* lcp = FindGroup(echo8.get(), "PPP LCP");
  EXPECT_EQ(SummaryOf(lcp), "Echo-Request");
  Expect(lcp, "Magic-Number", "2764827188 (0xA4CBEA34)", "", 26);
  EXPECT_EQ(FindItemOrNull(lcp, "Data"), nullptr);
  auto echo12 = Decode(m.get(), Session("c021 0a 02 000c a4cbea34 0ee2f609"));
  Expect(FindGroup(echo12.get(), "PPP LCP"), "Data", "0EE2F609", "", 30);
  auto terminate = Decode(m.get(), Session("c021 05 03 0006 abcd"));
  EXPECT_EQ(SummaryOf(FindGroup(terminate.get(), "PPP LCP")), "Termination Request");
  Expect(FindGroup(terminate.get(), "PPP LCP"), "Data", "ABCD");
  // Codes the tables do not name are named after the protocol.
  auto lcpUnknown = Decode(m.get(), Session("c021 20 01 0004"));
  EXPECT_EQ(SummaryOf(FindGroup(lcpUnknown.get(), "PPP LCP")), "PPP Link Control Protocol");
  auto chapUnknown = Decode(m.get(), Session("c223 09 01 0004"));
  EXPECT_EQ(SummaryOf(FindGroup(chapUnknown.get(), "PPP CHAP")), "Challenge Handshake Authentication Protocol");
}

TEST(PPPoESessionDecoder, PapAndChap) {
  auto m = MakeManager();
  auto request = Decode(m.get(), kPapRequest);
  const auto* pap = FindGroup(request.get(), "PPP PAP - PPP Password Authentication Protocol");
  EXPECT_EQ(SummaryOf(pap), "Authenticate-Request, (Peer-ID = \"u1\",Password = \"p1\")");
  const auto* data = FindItem(pap, "Data");
  EXPECT_EQ(data->isGroup, 1);
  EXPECT_EQ(ChildNames(data), (Names{"Peer-ID-Length", "Peer-ID", "Passwd-Length", "Password"}));
  Expect(data, "Peer-ID", "u1", "", 27);
  Expect(data, "Password", "p1", "", 30);
  auto ack = Decode(m.get(), Session("c023 02 01 000d  08 4c6f67696e206f6b"));
  EXPECT_EQ(SummaryOf(FindGroup(ack.get(), "PPP PAP")), "Authenticate-Ack, ( Message = \"Login ok\")");
  Expect(FindGroup(ack.get(), "PPP PAP"), "Message", "Login ok", "", 27);

  auto challenge = Decode(m.get(), kChapChallenge);
  const auto* chap = FindGroup(challenge.get(), "PPP CHAP - Challenge Handshake Authentication Protocol");
  EXPECT_EQ(SummaryOf(chap), "Challenge");
  Expect(chap, "Value", "000102030405060708090A0B0C0D0E0F", "", 27);
  Expect(chap, "Name", "server", "", 43);
  auto success = Decode(m.get(), Session("c223 03 01 0004"));
  EXPECT_EQ(ChildNames(FindGroup(success.get(), "PPP CHAP")), (Names{"Code", "Identifier", "Length"}));
  auto failure = Decode(m.get(), Session("c223 04 01 0009 453d363931"));
  Expect(FindGroup(failure.get(), "PPP CHAP"), "Message", "E=691");
}

TEST(PPPoESessionDecoder, IpcpAndIpv6cpOptions) {
  auto m = MakeManager();
  auto ipcp = Decode(m.get(), kIpcp);
  const auto* control = FindGroup(ipcp.get(), "PPP IPCP - PPP Internet Protocol Control Protocol");
  Expect(Option(control, 1), "Type", "3 (0x03)", "IP-Addresses");
  Expect(Option(control, 1), "IP-Addresses", "10.0.0.1", "", 28);
  EXPECT_EQ(FindItem(Option(control, 1), "IP-Addresses")->type, static_cast<uint32_t>(VEL_DII_IP_ADRESS));
  Expect(Option(control, 2), "IP-Compression-Protocol", "45 (0x002D)", "Van Jacobson Compressed");
  Expect(Option(control, 2), "Comp-Slot-Id", "1 (0x01)", "May be compressed");
  auto ipv6cp = Decode(m.get(), Session("8057 01 01 000e  010a 021122fffe334455"));
  control = FindGroup(ipv6cp.get(), "PPP IPV6C - PPP IPv6 Control Protocol");
  Expect(Option(control, 1), "Interface-Identifier", "0211:22FF:FE33:4455", "", 28);
}

TEST(PPPoESessionDecoder, OptionWalkRealignsAndStopsAtBadLengths) {
  auto m = MakeManager();
  // CHAP with its algorithm byte as authentication protocol (5 bytes), then the magic number.
  auto chapAuth = Decode(m.get(), Session("c021 01 01 000f  0305c22305  05061a2b3c4d"));
  const auto* lcp = FindGroup(chapAuth.get(), "PPP LCP");
  EXPECT_EQ(Option(lcp, 1)->length, 5u);
  Expect(Option(lcp, 2), "Magic Number", "1A2B3C4D", "", 33);
  // An IPCP option without a value rule is stepped over; its type comment is its title.
  auto ipcp = Decode(m.get(), Session("8021 01 01 0010  8106 01020304  0306 0a000001"));
  const auto* control = FindGroup(ipcp.get(), "PPP IPCP");
  Expect(Option(control, 1), "Type", "129 (0x81)", "Option - 1");
  Expect(Option(control, 2), "IP-Addresses", "10.0.0.1", "", 34);
  // A length of 0, and one beyond the packet, end the walk after the Length item.
  for (const char* options : {"0100 05d4 0304c023", "0109 05d4 0304c023"}) {
    auto info = Decode(m.get(), Session(std::string("c021 01 01 000c ") + options));
    lcp = FindGroup(info.get(), "PPP LCP");
    EXPECT_EQ(ChildNames(lcp).back(), "Option - 1") << options;
    EXPECT_EQ(ChildNames(Option(lcp, 1)), (Names{"Type", "Length"})) << options;
  }
}

TEST(PPPoESessionDecoder, IPv4IsHandedOnAndOtherPayloadsShown) {
  PacketRecord record(kHttp);
  ParsedPacket packet{};
  Preclassify(reinterpret_cast<const CapturedPacket*>(record.data()), &packet);
  EXPECT_EQ(std::vector<uint32_t>(packet.nLayers, packet.nLayers + packet.nLayerCount),
            (std::vector<uint32_t>{48, 60, 61, 199, 2, 3}));
  auto m = MakeManager();
  const Bytes tagged = Concat({Bytes(kHttp.begin(), kHttp.begin() + 12), Hex("8100 0064"), Bytes(kHttp.begin() + 12, kHttp.end())});
  for (const Bytes& frame : {kHttp, tagged}) {
    auto info = Decode(m.get(), frame);
    Names names = GroupNames(info.get());
    auto ppp = std::find(names.begin(), names.end(), "PPP - Point-to-point protocol");
    ASSERT_NE(ppp, names.end());
    EXPECT_EQ(*(ppp - 1), "PPPoES - PPP-over-Ethernet Session");
    EXPECT_EQ(FindGroup(info.get(), "PPPoES")->length, 6u);
    Expect(FindGroup(info.get(), "PPP - "), "Protocol", "33 (0x0021)", "Internet Protocol version 4");
    // What follows is whatever of IPv4, TCP and HTTP the graph holds, in that order.
    const Names carried = {"IP - Internet Protocol (v4)", "TCP - Transmission Control Protocol",
                           "HTTP - Hyper Text Transfer Protocol"};
    ASSERT_GT(names.end() - ppp, 1);
    for (size_t i = 0; ppp + 1 + i != names.end() && i < carried.size(); ++i) EXPECT_EQ(ppp[1 + i], carried[i]);
  }

  auto ipv6 = Decode(m.get(), kIPv6);
  EXPECT_EQ(GroupNames(ipv6.get()).size(), 4u);
  Expect(FindGroup(ipv6.get(), "PPP - "), "Protocol", "87 (0x0057)", "Internet Protocol (v6)");
  Expect(FindGroup(ipv6.get(), "PPP - "), "Payload", "", "48 (0x30) Bytes Remaining", 22);
  auto unknown = Decode(m.get(), Session("1235 00"));
  Expect(FindGroup(unknown.get(), "PPP - "), "Protocol", "4661 (0x1235)", "Unknown Protocol");
  auto bare = Decode(m.get(), Session("c021"));
  EXPECT_EQ(GroupNames(bare.get()).back(), "PPPoES - PPP-over-Ethernet Session");
  EXPECT_EQ(FindGroup(bare.get(), "PPPoES")->length, 6u);
  for (const Bytes& frame : {kLcpConfigure, kPapRequest, kChapChallenge, kIpcp, kHttp, tagged, kIPv6})
    TruncationSweep(m.get(), frame);
}

TEST(PPPoECaptures, DiscoveryAndSessionCaptures) {
  auto m = MakeManager();
  std::vector<Bytes> padi = ReadPcapFrames("tcpdump/pppoe.pcap"), echoes = ReadPcapFrames("tcpdump/pppoes.pcap");
  ASSERT_EQ(padi.size(), 1u);
  ASSERT_EQ(echoes.size(), 2u);
  for (const Bytes& frame : {padi[0], echoes[0], echoes[1]}) TruncationSweep(m.get(), frame);

  auto info = Decode(m.get(), padi[0]);
  const auto* group = FindGroup(info.get(), "PPPoED");
  EXPECT_EQ(SummaryOf(group), "Active Discovery Initiation (PADI)");
  Expect(FindItem(group, "PPP Discovery Tag - 2"), "Tag Type", "288 (0x0120)", "PPP-Max-Payload");
  Expect(FindItem(group, "PPP Discovery Tag - 2"), "Tag Value", "05DC");
  Expect(FindItem(group, "PPP Discovery Tag - 3"), "Tag Value", "16372C16");

  info = Decode(m.get(), echoes[0]);
  Expect(FindGroup(info.get(), "PPPoES"), "Session ID", "23 (0x0017)");
  const auto* lcp = FindGroup(info.get(), "PPP LCP");
  EXPECT_EQ(SummaryOf(lcp), "Echo-Request");
  Expect(lcp, "Identifier", "106 (0x6A)");
  Expect(lcp, "Magic-Number", "2764827188 (0xA4CBEA34)");
  Expect(lcp, "Data", "0EE2F609");
}

}  // namespace
}  // namespace vel::test
