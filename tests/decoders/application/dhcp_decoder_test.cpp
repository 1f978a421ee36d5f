#include "test_support.h"

namespace vel::test {
namespace {

// Frame offsets: the BOOTP message starts at 42, the magic cookie at 278 and
// the options at 282.
constexpr uint32_t kCookieOffset = 278, kOptionsOffset = 282;
const std::string kCookie = "63825363";

// The 236-byte fixed header: hardware type 1, address length 6, transaction
// id 3903F326, client 00:0C:29:12:34:56; sname and file zero unless given.
Bytes BootpHeader(uint8_t operation, std::string_view flags, std::string_view addresses,
                  const std::string& serverName = "", const std::string& fileName = "") {
  Bytes header = Hex("00 01 06 00 3903f326 0000");
  header[0] = operation;
  Bytes names(64 + 128, 0);
  std::copy(serverName.begin(), serverName.end(), names.begin());
  std::copy(fileName.begin(), fileName.end(), names.begin() + 64);
  return Concat({header, Hex(flags), Hex(addresses), Hex("000c29123456 00000000000000000000"), names});
}

Bytes DhcpFrame(const Bytes& message, uint16_t source = 68, uint16_t destination = 67) {
  return UdpFrame(source, destination, message);
}

const std::string kNoAddresses = "00000000 00000000 00000000 00000000";
const Bytes kDiscover = DhcpFrame(Concat(
    {BootpHeader(1, "8000", kNoAddresses), Hex(kCookie + "350101 3d0701000c29123456 3703010306 ff")}));
// Options 53, 1, 3, 51, 54, a pad, 6 with two servers, 15, End.
const Bytes kOffer = DhcpFrame(
    Concat({BootpHeader(2, "0000", "00000000 c0a8010a c0a80101 00000000", "srv", "boot/pxelinux.0"),
            Hex(kCookie + "350102 0104ffffff00 0304c0a80101 330400000e10 3604c0a80101 00"
                          "0608c0a8010108080808 0f0b6578616d706c652e636f6d ff")}),
    67, 68);
// Options 53, 50, 54, 12, End.
const Bytes kRequest = DhcpFrame(
    Concat({BootpHeader(1, "0000", kNoAddresses), Hex(kCookie + "350103 3204c0a8010a 3604c0a80101 0c04686f7374 ff")}));
// Options 53, 58, 59, 2 (negative), 46, 19, End.
const Bytes kAck = DhcpFrame(
    Concat({BootpHeader(2, "0000", "00000000 c0a8010a c0a80101 00000000"),
            Hex(kCookie + "350105 3a0400000708 3b0400000c4e 0204ffffe390 2e0108 130101 ff")}),
    67, 68);
// A plain BOOTP reply: no cookie, a vendor area of zeros.
const Bytes kBootpReply = DhcpFrame(
    Concat({BootpHeader(2, "0000", "00000000 c0a8010a c0a80101 00000000"), Bytes(64, 0)}), 67, 68);

const Node* Dhcp(IVELPacketsDecodingInfo* info) { return FindGroup(info, "DHCP - "); }

// The option group at a frame offset.
const Node* OptionAt(IVELPacketsDecodingInfo* info, uint32_t offset) {
  for (const Node* child : Dhcp(info)->Children())
    if (child->startPos == offset && child->isGroup) return child;
  ADD_FAILURE() << "no option at " << offset;
  return nullptr;
}

using DhcpDecoder = DecoderTest;

TEST_F(DhcpDecoder, DiscoverHeaderOptionsAndSummary) {
  SetVendorTable(m_.get());
  auto info = SweepAndDecode(kDiscover);
  const Node* dhcp = Dhcp(info.get());
  EXPECT_EQ(Narrow(dhcp->Name()), "DHCP - Dynamic Host Configuration Protocol");
  std::vector<std::string> names = ChildNames(dhcp);
  ASSERT_EQ(names.size(), 20u);
  EXPECT_EQ(names[15], "Magic Cookie");
  ExpectItem(Child(dhcp, 0), 42, 1, "1 (0x01)", "Boot Request");
  ExpectItem(Child(dhcp, 1), 43, 1, "1 (0x01)", "Ethernet");
  ExpectItem(Child(dhcp, 4), 46, 4, "956560166 (0x3903F326)");
  ExpectFields(ItemAt(info.get(), {"DHCP - ", "Bootp Flags"}),
               {{"Broadcast", 52, 2, "1... .... .... ...."}, {"Reserved", 52, 2, ".000 0000 0000 0000"}});
  EXPECT_EQ(ValueOf(ItemAt(info.get(), {"DHCP - ", "Bootp Flags"})), "1000 0000 0000 0000");
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "Relay Agent IP Address"}), 66, 4, "0.0.0.0");
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "Client MAC Address"}), 70, 6, "00:0C:29:12:34:56", "VMware");
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "Client Hardware Address Padding"}), 76, 10, "");
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "Server Host Name"}), 86, 64, "Not Given");
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "Boot File Name"}), 150, 128, "Not Given");
  ExpectItem(Child(dhcp, 15), kCookieOffset, 4, "1669485411 (0x63825363)");

  const Node* type = OptionAt(info.get(), kOptionsOffset);
  EXPECT_EQ(Narrow(type->Name()), "DHCP Message Type");
  ExpectItem(type, kOptionsOffset, 3, "53 (0x35)");
  ExpectFields(type, {{"Option Code", 282, 1, "53 (0x35)"},
                      {"Option Length", 283, 1, "1 (0x01)"},
                      {"Type", 284, 1, "1 (0x01)", "DHCP Discover"}});
  ExpectFields(OptionAt(info.get(), 285),
               {{"Option Code", 285, 1, "61 (0x3D)"},
                {"Option Length", 286, 1, "7 (0x07)"},
                {"Hardware Type", 287, 1, "1 (0x01)"},
                {"Hardware Address", 288, 6, "00:0C:29:12:34:56", "VMware", VEL_DII_HARDWARE_ADDRESS}});
  ExpectFields(OptionAt(info.get(), 294), {{"Option Code", 294, 1, "55 (0x37)"},
                                           {"Option Length", 295, 1, "3 (0x03)"},
                                           {"Option Code", 296, 1, "1 (0x01)", "Subnet Mask"},
                                           {"Option Code", 297, 1, "3 (0x03)", "Router"},
                                           {"Option Code", 298, 1, "6 (0x06)", "Domain Name Server"}});
  const Node* end = OptionAt(info.get(), 299);
  EXPECT_EQ(Narrow(end->Name()), "End");
  ExpectItem(end, 299, 1, "255 (0xFF)");
  EXPECT_EQ(ChildNames(end), Names{"Option Code"});
  EXPECT_EQ(SummaryOf(dhcp), "Transaction ID ( 3903F326 )-DHCP Discover");
  EXPECT_EQ(dhcp->length, 300u - 42u);
}

TEST_F(DhcpDecoder, OfferAddressesPadAndNames) {
  auto info = SweepAndDecode(kOffer);
  const Node* dhcp = Dhcp(info.get());
  ExpectItem(Child(dhcp, 0), 42, 1, "2 (0x02)", "Boot Reply");
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "Client IP Address Given by Server"}), 58, 4, "192.168.1.10");
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "Server Host Name"}), 86, 64, "srv");
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "Boot File Name"}), 150, 128, "boot/pxelinux.0");
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "Subnet Mask", "Subnet Mask"}), 287, 4, "255.255.255.0");
  EXPECT_EQ(ItemAt(info.get(), {"DHCP - ", "Subnet Mask", "Subnet Mask"})->type, 0u);
  const Node* router = ItemAt(info.get(), {"DHCP - ", "Router", "IP Address"});
  ExpectItem(router, 293, 4, "192.168.1.1");
  EXPECT_EQ(router->type, uint32_t{VEL_DII_IP_ADRESS});
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "IP Address Lease Time", "Lease Time"}), 299, 4, "3600 (0x00000E10)");
  // The pad between options is an option of its own code alone.
  const Node* pad = OptionAt(info.get(), 309);
  EXPECT_EQ(Narrow(pad->Name()), "Pad");
  ExpectItem(pad, 309, 1, "0 (0x00)");
  EXPECT_EQ(ChildNames(pad), Names{"Option Code"});
  EXPECT_EQ(ChildNames(OptionAt(info.get(), 310)), (Names{"Option Code", "Option Length", "IP Address", "IP Address"}));
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "Domain Name", "Domain Name"}), 322, 11, "example.com");
  EXPECT_EQ(SummaryOf(dhcp), "Transaction ID ( 3903F326 )-DHCP Offer");
}

TEST_F(DhcpDecoder, RequestAndAckValues) {
  auto request = SweepAndDecode(kRequest);
  ExpectItem(ItemAt(request.get(), {"DHCP - ", "Requested IP Address", "IP Address"}), 287, 4, "192.168.1.10");
  ExpectItem(ItemAt(request.get(), {"DHCP - ", "Host Name", "Host Name"}), 299, 4, "host");
  EXPECT_EQ(SummaryOf(Dhcp(request.get())), "Transaction ID ( 3903F326 )-DHCP Request");

  auto ack = SweepAndDecode(kAck);
  ExpectItem(ItemAt(ack.get(), {"DHCP - ", "Renewal (T1) Time Value", "T1 Interval"}), 287, 4, "1800 (0x00000708)",
             "Seconds");
  ExpectItem(ItemAt(ack.get(), {"DHCP - ", "Rebinding (T2) Time Value", "T2 Interval"}), 293, 4, "3150 (0x00000C4E)",
             "Seconds");
  ExpectItem(ItemAt(ack.get(), {"DHCP - ", "Time Offset", "Time Offset"}), 299, 4, "-7280", "Seconds");
  ExpectItem(ItemAt(ack.get(), {"DHCP - ", "NetBIOS over TCP/IP Node Type", "Node Type"}), 305, 1, "8 (0x08)",
             "H-node");
  ExpectItem(ItemAt(ack.get(), {"DHCP - ", "IP Forwarding", "Value"}), 308, 1, "1 (0x01)", "Enable");
  EXPECT_EQ(SummaryOf(Dhcp(ack.get())), "Transaction ID ( 3903F326 )-DHCP ACK");
}

TEST_F(DhcpDecoder, PlainBootpReplyWalksItsVendorAreaAsOptions) {
  auto info = SweepAndDecode(kBootpReply);
  const Node* dhcp = Dhcp(info.get());
  std::vector<std::string> names = ChildNames(dhcp);
  ASSERT_EQ(names.size(), 15u + 64u);
  EXPECT_EQ(names[14], "Boot File Name");
  EXPECT_EQ(names[15], "Pad");
  EXPECT_EQ(names.back(), "Pad");
  EXPECT_EQ(Child(dhcp, 15)->startPos, kCookieOffset);
  EXPECT_EQ(SummaryOf(dhcp), "Transaction ID ( 3903F326 )");
  EXPECT_EQ(dhcp->length, 300u);
}

TEST_F(DhcpDecoder, UnusualOptionsAndLengths) {
  // Message type 9, an unknown code, a client identifier of 6 bytes, a
  // lease time of 2 bytes, then a host name running past the datagram.
  Bytes message = Concat(
      {BootpHeader(1, "0000", kNoAddresses), Hex(kCookie + "350109 fa026869 3d06010203040506 33020001 0c20 6162")});
  auto info = SweepAndDecode(DhcpFrame(message));
  const Node* dhcp = Dhcp(info.get());
  EXPECT_EQ(SummaryOf(dhcp), "Transaction ID ( 3903F326 )");
  EXPECT_EQ(CommentOf(ItemAt(info.get(), {"DHCP - ", "DHCP Message Type", "Type"})), "");
  const Node* unknown = OptionAt(info.get(), 285);
  EXPECT_EQ(Narrow(unknown->Name()), "");
  ExpectItem(unknown, 285, 4, "250 (0xFA)");
  ExpectItem(Child(unknown, 2), 287, 2, "hi");
  EXPECT_EQ(Narrow(Child(unknown, 2)->Name()), "Unkown");
  EXPECT_EQ(ChildNames(OptionAt(info.get(), 289)), (Names{"Option Code", "Option Length"}));
  ExpectItem(ItemAt(info.get(), {"DHCP - ", "IP Address Lease Time", "Option Length"}), 298, 1, "2 (0x02)",
             "The option is shorter than its value");
  // The host name's group stops at the captured end, where the walk ends.
  ExpectItem(OptionAt(info.get(), 301), 301, 4, "12 (0x0C)");
  EXPECT_EQ(ChildNames(OptionAt(info.get(), 301)), (Names{"Option Code", "Option Length"}));
  EXPECT_EQ(ChildNames(dhcp).back(), "Truncated");
}

TEST_F(DhcpDecoder, RealCaptures) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/dhcp-option-33.pcap");
  ASSERT_EQ(frames.size(), 5u);
  auto twoRoutes = DecodeFrame(frames[1]);
  const Node* route = ItemAt(twoRoutes.get(), {"DHCP - ", "Static Route"});
  EXPECT_EQ(ChildNames(route),
            (Names{"Option Code", "Option Length", "Destination", "Router", "Destination", "Router"}));
  EXPECT_EQ(ValueOf(Child(route, 5)), "10.0.0.4");
  EXPECT_EQ(SummaryOf(Dhcp(twoRoutes.get())), "Transaction ID ( 12345678 )-DHCP Offer");
  // A static route of 3 bytes holds no pair.
  auto shortRoute = DecodeFrame(frames[3]);
  EXPECT_EQ(ChildNames(ItemAt(shortRoute.get(), {"DHCP - ", "Static Route"})).size(), 2u);
  EXPECT_EQ(ChildNames(Dhcp(shortRoute.get())).back(), "End");
  SweepCapture(m_.get(), "tcpdump/dhcp-option-33.pcap");

  // A discover with a long parameter request list, among LLDP frames.
  auto discover = DecodeFrame(ReadPcapFrames("tcpdump/dcb_ets.pcap")[1]);
  const Node* list = ItemAt(discover.get(), {"DHCP - ", "Parameter Request List"});
  ASSERT_EQ(ChildNames(list).size(), 2u + 17u);
  ExpectItem(Child(list, 3), 288, 1, "28 (0x1C)", "Broadcast Address");
  ExpectItem(Child(list, 5), 290, 1, "121 (0x79)", "");
}

}  // namespace
}  // namespace vel::test
