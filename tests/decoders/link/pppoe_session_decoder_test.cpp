#include "test_support.h"

#include <algorithm>

namespace vel::test {
namespace {

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

const Node* Option(const Node* control, int k) { return FindItem(control, "Option - " + std::to_string(k)); }

using PPPoESessionDecoder = DecoderTest;
using PPPoECaptures = DecoderTest;

TEST_F(PPPoESessionDecoder, LcpConfigureRequestWithOptions) {
  auto info = SweepAndDecode(kLcpConfigure);
  EXPECT_EQ(GroupNames(info.get()),
            (Names{"Packet Info", "Ethernet II - Ethernet II Frame", "PPPoES - PPP-over-Ethernet Session",
                   "PPP - Point-to-point protocol", "PPP LCP - PPP Link Control Protocol"}));
  const Node* pppoe = FindGroup(info.get(), "PPPoES");
  EXPECT_EQ(pppoe->length, 6u);
  EXPECT_EQ(SummaryOf(pppoe), "Session Data");
  ExpectItem(FindItem(pppoe, "Payload Length"), 18, 2, "20 (0x0014)");
  const Node* ppp = FindGroup(info.get(), "PPP - ");
  ExpectItem(ppp, 20, 2, "");
  ExpectValue(ppp, "Protocol", "49185 (0xC021)", "PPP Link Control Protocol");

  const Node* lcp = FindGroup(info.get(), "PPP LCP");
  ExpectItem(lcp, 22, 18, "");
  EXPECT_EQ(SummaryOf(lcp), "Configuration Request");
  ExpectFields(lcp, {{"Code", 22, 1, "1 (0x01)", "Configuration Request"},
                     {"Identifier", 23, 1, "1 (0x01)"},
                     {"Length", 24, 2, "18 (0x0012)"},
                     {"Option - 1", 26, 4, ""},
                     {"Option - 2", 30, 4, ""},
                     {"Option - 3", 34, 6, ""}});
  ExpectFields(Option(lcp, 1), {{"Type", 26, 1, "1 (0x01)", "Maximum-Receive-Unit"},
                                {"Length", 27, 1, "4 (0x04)"},
                                {"Maximum-Receive-Unit", 28, 2, "1492 (0x05D4)"}});
  ExpectFields(Option(lcp, 2),
               {{"Type", 30, 1, "3 (0x03)", "Authentication Protocol"},
                {"Length", 31, 1, "4 (0x04)"},
                {"Authentication Protocol", 32, 2, "49187 (0xC023)", "PPP Password Authentication Protocol"}});
  ExpectFields(Option(lcp, 3), {{"Type", 34, 1, "5 (0x05)", "Magic Number"},
                                {"Length", 35, 1, "6 (0x06)"},
                                {"Magic Number", 36, 4, "1A2B3C4D"}});
}

TEST_F(PPPoESessionDecoder, LcpCodesWithoutOptions) {
  auto echo8 = SweepAndDecode(Session("c021 09 02 0008 a4cbea34"));
  const Node* lcp = FindGroup(echo8.get(), "PPP LCP");
  EXPECT_EQ(SummaryOf(lcp), "Echo-Request");
  ExpectItem(FindItem(lcp, "Magic-Number"), 26, 4, "2764827188 (0xA4CBEA34)");
  EXPECT_EQ(FindItemOrNull(lcp, "Data"), nullptr);
  auto echo12 = SweepAndDecode(Session("c021 0a 02 000c a4cbea34 0ee2f609"));
  ExpectItem(FindItem(FindGroup(echo12.get(), "PPP LCP"), "Data"), 30, 4, "0EE2F609");
  auto terminate = SweepAndDecode(Session("c021 05 03 0006 abcd"));
  EXPECT_EQ(SummaryOf(FindGroup(terminate.get(), "PPP LCP")), "Termination Request");
  ExpectValue(FindGroup(terminate.get(), "PPP LCP"), "Data", "ABCD");
  // Codes the tables do not name are named after the protocol.
  auto lcpUnknown = SweepAndDecode(Session("c021 20 01 0004"));
  EXPECT_EQ(SummaryOf(FindGroup(lcpUnknown.get(), "PPP LCP")), "PPP Link Control Protocol");
  auto chapUnknown = SweepAndDecode(Session("c223 09 01 0004"));
  EXPECT_EQ(SummaryOf(FindGroup(chapUnknown.get(), "PPP CHAP")), "Challenge Handshake Authentication Protocol");
}

TEST_F(PPPoESessionDecoder, PapAndChap) {
  auto request = SweepAndDecode(kPapRequest);
  const Node* pap = FindGroup(request.get(), "PPP PAP - PPP Password Authentication Protocol");
  EXPECT_EQ(SummaryOf(pap), "Authenticate-Request, (Peer-ID = \"u1\",Password = \"p1\")");
  ExpectFields(FindItem(pap, "Data"), {{"Peer-ID-Length", 26, 1, "2 (0x02)"},
                                       {"Peer-ID", 27, 2, "u1"},
                                       {"Passwd-Length", 29, 1, "2 (0x02)"},
                                       {"Password", 30, 2, "p1"}});
  auto ack = SweepAndDecode(Session("c023 02 01 000d  08 4c6f67696e206f6b"));
  EXPECT_EQ(SummaryOf(FindGroup(ack.get(), "PPP PAP")), "Authenticate-Ack, ( Message = \"Login ok\")");
  ExpectItem(FindItem(FindGroup(ack.get(), "PPP PAP"), "Message"), 27, 8, "Login ok");

  auto challenge = SweepAndDecode(kChapChallenge);
  const Node* chap = FindGroup(challenge.get(), "PPP CHAP - Challenge Handshake Authentication Protocol");
  EXPECT_EQ(SummaryOf(chap), "Challenge");
  ExpectFields(chap, {{"Code", 22, 1, "1 (0x01)", "Challenge"},
                      {"Identifier", 23, 1, "1 (0x01)"},
                      {"Length", 24, 2, "27 (0x001B)"},
                      {"Value-Size", 26, 1, "16 (0x10)"},
                      {"Value", 27, 16, "000102030405060708090A0B0C0D0E0F"},
                      {"Name", 43, 6, "server"}});
  auto success = SweepAndDecode(Session("c223 03 01 0004"));
  EXPECT_EQ(ChildNames(FindGroup(success.get(), "PPP CHAP")), (Names{"Code", "Identifier", "Length"}));
  auto failure = SweepAndDecode(Session("c223 04 01 0009 453d363931"));
  ExpectValue(FindGroup(failure.get(), "PPP CHAP"), "Message", "E=691");
}

TEST_F(PPPoESessionDecoder, IpcpAndIpv6cpOptions) {
  auto ipcp = SweepAndDecode(kIpcp);
  const Node* control = FindGroup(ipcp.get(), "PPP IPCP - PPP Internet Protocol Control Protocol");
  ExpectFields(Option(control, 1), {{"Type", 26, 1, "3 (0x03)", "IP-Addresses"},
                                    {"Length", 27, 1, "6 (0x06)"},
                                    {"IP-Addresses", 28, 4, "10.0.0.1", "", VEL_DII_IP_ADRESS}});
  ExpectFields(Option(control, 2), {{"Type", 32, 1, "2 (0x02)", "IP-Compression-Protocol"},
                                    {"Length", 33, 1, "6 (0x06)"},
                                    {"IP-Compression-Protocol", 34, 2, "45 (0x002D)", "Van Jacobson Compressed"},
                                    {"Max-Slot-Id", 36, 1, "15 (0x0F)"},
                                    {"Comp-Slot-Id", 37, 1, "1 (0x01)", "May be compressed"}});
  auto ipv6cp = SweepAndDecode(Session("8057 01 01 000e  010a 021122fffe334455"));
  control = FindGroup(ipv6cp.get(), "PPP IPV6C - PPP IPv6 Control Protocol");
  ExpectItem(FindItem(Option(control, 1), "Interface-Identifier"), 28, 8, "0211:22FF:FE33:4455");
}

TEST_F(PPPoESessionDecoder, OptionWalkRealignsAndStopsAtBadLengths) {
  // CHAP with its algorithm byte as authentication protocol (5 bytes), then the magic number.
  auto chapAuth = SweepAndDecode(Session("c021 01 01 000f  0305c22305  05061a2b3c4d"));
  const Node* lcp = FindGroup(chapAuth.get(), "PPP LCP");
  EXPECT_EQ(Option(lcp, 1)->length, 5u);
  ExpectItem(FindItem(Option(lcp, 2), "Magic Number"), 33, 4, "1A2B3C4D");
  // An IPCP option without a value rule is stepped over; its type comment is its title.
  auto ipcp = SweepAndDecode(Session("8021 01 01 0010  8106 01020304  0306 0a000001"));
  const Node* control = FindGroup(ipcp.get(), "PPP IPCP");
  ExpectValue(Option(control, 1), "Type", "129 (0x81)", "Option - 1");
  ExpectItem(FindItem(Option(control, 2), "IP-Addresses"), 34, 4, "10.0.0.1");
  // A length of 0, and one beyond the packet, end the walk after the Length item.
  for (const char* options : {"0100 05d4 0304c023", "0109 05d4 0304c023"}) {
    auto info = SweepAndDecode(Session(std::string("c021 01 01 000c ") + options));
    lcp = FindGroup(info.get(), "PPP LCP");
    EXPECT_EQ(ChildNames(lcp).back(), "Option - 1") << options;
    EXPECT_EQ(ChildNames(Option(lcp, 1)), (Names{"Type", "Length"})) << options;
  }
}

TEST_F(PPPoESessionDecoder, IPv4IsHandedOnAndOtherPayloadsShown) {
  const Bytes tagged =
      Concat({Bytes(kHttp.begin(), kHttp.begin() + 12), Hex("8100 0064"), Bytes(kHttp.begin() + 12, kHttp.end())});
  for (const Bytes& frame : {kHttp, tagged}) {
    auto info = SweepAndDecode(frame);
    Names names = GroupNames(info.get());
    auto ppp = std::find(names.begin(), names.end(), "PPP - Point-to-point protocol");
    ASSERT_NE(ppp, names.end());
    EXPECT_EQ(*(ppp - 1), "PPPoES - PPP-over-Ethernet Session");
    EXPECT_EQ(FindGroup(info.get(), "PPPoES")->length, 6u);
    ExpectValue(FindGroup(info.get(), "PPP - "), "Protocol", "33 (0x0021)", "Internet Protocol version 4");
    // What follows is whatever of IPv4, TCP and HTTP the graph holds, in that order.
    const Names carried = {"IP - Internet Protocol (v4)", "TCP - Transmission Control Protocol",
                           "HTTP - Hyper Text Transfer Protocol"};
    ASSERT_GT(names.end() - ppp, 1);
    for (size_t i = 0; ppp + 1 + i != names.end() && i < carried.size(); ++i) EXPECT_EQ(ppp[1 + i], carried[i]);
  }

  auto ipv6 = SweepAndDecode(kIPv6);
  EXPECT_EQ(GroupNames(ipv6.get()).size(), 4u);
  ExpectFields(FindGroup(ipv6.get(), "PPP - "), {{"Protocol", 20, 2, "87 (0x0057)", "Internet Protocol (v6)"},
                                                 {"Payload", 22, 48, "", "48 (0x30) Bytes Remaining"}});
  auto unknown = SweepAndDecode(Session("1235 00"));
  ExpectValue(FindGroup(unknown.get(), "PPP - "), "Protocol", "4661 (0x1235)", "Unknown Protocol");
  auto bare = SweepAndDecode(Session("c021"));
  EXPECT_EQ(GroupNames(bare.get()).back(), "PPPoES - PPP-over-Ethernet Session");
  EXPECT_EQ(FindGroup(bare.get(), "PPPoES")->length, 6u);
}

TEST_F(PPPoECaptures, DiscoveryAndSessionCaptures) {
  std::vector<Bytes> padi = ReadPcapFrames("tcpdump/pppoe.pcap"), echoes = ReadPcapFrames("tcpdump/pppoes.pcap");
  ASSERT_EQ(padi.size(), 1u);
  ASSERT_EQ(echoes.size(), 2u);
  TruncationSweep(m_.get(), echoes[1]);

  auto info = SweepAndDecode(padi[0]);
  const Node* group = FindGroup(info.get(), "PPPoED");
  EXPECT_EQ(SummaryOf(group), "Active Discovery Initiation (PADI)");
  ExpectValue(FindItem(group, "PPP Discovery Tag - 2"), "Tag Type", "288 (0x0120)", "PPP-Max-Payload");
  ExpectValue(FindItem(group, "PPP Discovery Tag - 2"), "Tag Value", "05DC");
  ExpectValue(FindItem(group, "PPP Discovery Tag - 3"), "Tag Value", "16372C16");

  info = SweepAndDecode(echoes[0]);
  ExpectValue(FindGroup(info.get(), "PPPoES"), "Session ID", "23 (0x0017)");
  const Node* lcp = FindGroup(info.get(), "PPP LCP");
  EXPECT_EQ(SummaryOf(lcp), "Echo-Request");
  ExpectValue(lcp, "Identifier", "106 (0x6A)");
  ExpectValue(lcp, "Magic-Number", "2764827188 (0xA4CBEA34)");
  ExpectValue(lcp, "Data", "0EE2F609");
}

}  // namespace
}  // namespace vel::test
