#include "test_support.h"

namespace vel::test {
namespace {

constexpr uint32_t P = kUdpPayload;

Bytes SnmpFrame(std::string_view message) { return UdpFrame(50000, 161, Hex(message)); }

// Version 1 Get-request, community "public", request id 1234, one binding sysDescr.0 = NULL.
const Bytes kV1Get = SnmpFrame(
    "3027 020100 04067075626c6963 a01a 020204d2 020100 020100 300e 300c 06082b06010201010100 0500");

// Version 2c Get-response, request id 7, thirteen bindings: TimeTicks of two bytes, OCTET STRING "AB",
// INTEGER -1, an OID, IpAddress, Counter of five bytes, Gauge of one, Counter64, Opaque, NULL,
// context [0] without content, INTEGER of eight bytes, INTEGER of nine bytes.
const Bytes kV2Response = SnmpFrame(
    "30820114 020101 04067075626c6963 a2820105 020107 020100 020100 3081f9"
    "300e 06082b06010201010300 43021234"
    "300e 06082b06010201010400 04024142"
    "300f 060a2b060102010202010801 0201ff"
    "3016 06082b06010201010200 060a2b06010401bf0803020a"
    "3015 060d2b06010201041401010a000001 40040a000001"
    "3013 060a2b060102010202010a01 410500ffffffff"
    "300f 060a2b060102010202010501 420164"
    "3014 060b2b060102011f0101010601 46050100000000"
    "3012 060b2b060104018f650a010601 44039f7804"
    "300c 06082b06010201010500 0500"
    "300c 06082b06010201010600 8000"
    "3014 06082b06010201010700 02088000000000000000"
    "3015 06082b06010201010800 0209010000000000000000");

// Version 1 Trap from enterprise 1.3.6.1.4.1.9, agent 192.168.1.1, linkDown, specific 0,
// time stamp TimeTicks 100000, one binding ifIndex.2 = 2.
const Bytes kV1Trap = UdpFrame(50000, 162, Hex("3039 020100 04067075626c6963 a42c 06062b06010401 09 4004c0a80101"
                                               "020102 020100 43030186a0 3011 300f 060a2b060102010202010102 020102"));

// Version 2c Get-BulkRequest, community "private", request id 42, non repeaters 0, max repetitions 10.
const Bytes kV2Bulk =
    SnmpFrame("3026 020101 040770726976617465 a518 02012a 020100 02010a 300d 300b 06072b060102010202 0500");

// Lengths in long form, also where the short form would do, and an empty binding list.
const Bytes kLongForms =
    SnmpFrame("3082001e 02810101 048400000006 7075626c6963 a0810b 020105 020100 020100 3000");

// Get-response whose first binding holds an OID read by the first-byte rule (0x78 is 3.0) with
// sub-identifiers of two and five bytes, one left open at the end, and a third element after its
// value; then an OCTET STRING "x", an application value with a high tag number, and INTEGER 3.
const Bytes kOidsAndAlignment = SnmpFrame(
    "305a 020101 04067075626c6963 a24d 020101 020100 020100 3042"
    "3011 060a7886488fffffff7f0181 0500 020107"
    "300d 06082b06010201010500 040178"
    "300f 06082b06010201010600 5f81050100"
    "300d 06082b06010201010700 020103");

// A PDU with tag 9, unknown, and a Report (tag 8); both carry a Get-style body.
const Bytes kUnknownPdu =
    SnmpFrame("3026 020101 04067075626c6963 a919 020101 020100 020100 300e 300c 06082b06010201010100 0500");
const Bytes kReport =
    SnmpFrame("3026 020101 04067075626c6963 a819 020101 020100 020100 300e 300c 06082b06010201010100 0500");

// A binding value whose length takes five bytes.
const Bytes kLengthTooLong = SnmpFrame(
    "302c 020100 04067075626c6963 a01f 020101 020100 020100 3014 3012 06082b06010201010100 0485000000000141");

// A binding list claiming 2 GB before a single binding, and a community running past the datagram.
const Bytes kLyingList =
    SnmpFrame("302a 020100 04067075626c6963 a01d 020101 020100 020100 30847fffffff 300c 06082b06010201010100 0500");
const Bytes kLongCommunity = SnmpFrame("300c 020100 0440 707562");

const Node* Snmp(IVELPacketsDecodingInfo* info) { return FindGroup(info, "SNMP - Simple Network Management Protocol"); }

using SNMPDecoder = DecoderTest;

TEST_F(SNMPDecoder, VersionOneGetRequest) {
  auto info = SweepAndDecode(kV1Get);
  const Node* snmp = Snmp(info.get());
  ExpectItem(snmp, P, 41, "");
  EXPECT_EQ(SummaryOf(snmp), "Get-request");
  ExpectFields(snmp, {{"Version", P + 4, 1, "0 (0x00)", "version-1"},
                      {"Community", P + 7, 6, "public"},
                      {"Data", P + 15, 26, "Get-request"}});
  // The PDU group and the list start after their headers and reach to the end of the capture.
  const Node* pdu = ItemAt(info.get(), {"SNMP", "Data", "Get-request"});
  ExpectItem(pdu, P + 15, 26, "");
  EXPECT_TRUE(pdu->isGroup);
  ExpectFields(pdu, {{"Request ID", P + 17, 2, "1234"},
                     {"Error Status", P + 21, 1, "0 (0x00)", "No error"},
                     {"Error Index", P + 24, 1, "0 (0x00)"},
                     {"Variable Binding List", P + 27, 14, ""}});
  const Node* binding =
      ItemAt(info.get(), {"SNMP", "Data", "Get-request", "Variable Binding List", "Variable Binding 1"});
  ExpectItem(binding, P + 29, 12, "");
  ExpectFields(binding, {{"Object Name", P + 31, 8, "1.3.6.1.2.1.1.1.0"}, {"Value", P + 41, 0, "NULL"}});
  // Nothing is handed on: the SNMP group is the last one.
  EXPECT_EQ(GroupNames(info.get()).back(), "SNMP - Simple Network Management Protocol");
}

TEST_F(SNMPDecoder, ResponseShowsEachValueByItsType) {
  auto info = SweepAndDecode(kV2Response);
  const Node* snmp = Snmp(info.get());
  EXPECT_EQ(SummaryOf(snmp), "Get-response");
  EXPECT_EQ(CommentOf(FindItem(snmp, "Version")), "v2c");
  const Node* list = ItemAt(info.get(), {"SNMP", "Data", "Get-response", "Variable Binding List"});
  ExpectItem(list, P + 31, 249, "");

  // The first binding group starts after its header and spans header and content length.
  const Node* first = Child(list, 0);
  EXPECT_EQ(Narrow(first->Name()), "Variable Binding 1");
  ExpectItem(first, P + 33, 16, "");
  ExpectFields(first, {{"Object Name", P + 35, 8, "1.3.6.1.2.1.1.3.0"}, {"Value", P + 45, 2, "4660", "TimeTicks"}});

  struct Expected {
    std::string name, value, comment;
    uint32_t length;
  };
  const std::vector<Expected> bindings = {
      {"1.3.6.1.2.1.1.3.0", "4660", "TimeTicks", 2},
      {"1.3.6.1.2.1.1.4.0", "4142", "", 2},
      {"1.3.6.1.2.1.2.2.1.8.1", "-1", "", 1},
      {"1.3.6.1.2.1.1.2.0", "1.3.6.1.4.1.8072.3.2.10", "", 10},
      {"1.3.6.1.2.1.4.20.1.1.10.0.0.1", "10.0.0.1", "IpAddress", 4},
      {"1.3.6.1.2.1.2.2.1.10.1", "4294967295", "Counter", 5},
      {"1.3.6.1.2.1.2.2.1.5.1", "100", "Gauge", 1},
      {"1.3.6.1.2.1.31.1.1.1.6.1", "", "", 5},  // Counter64: no value text, no name
      {"1.3.6.1.4.1.2021.10.1.6.1", "9F7804", "Opaque", 3},
      {"1.3.6.1.2.1.1.5.0", "NULL", "", 0},
      {"1.3.6.1.2.1.1.6.0", "", "IpAddress", 0},  // context [0] without the four address bytes
      {"1.3.6.1.2.1.1.7.0", "-9223372036854775808", "", 8},
      {"1.3.6.1.2.1.1.8.0", "0", "", 9},  // longer than eight bytes: not decoded
  };
  ASSERT_EQ(list->Children().size(), bindings.size());
  for (size_t i = 0; i < bindings.size(); ++i) {
    const Node* binding = Child(list, i);
    EXPECT_EQ(Narrow(binding->Name()), "Variable Binding " + std::to_string(i + 1));
    EXPECT_EQ(ValueOf(FindItem(binding, "Object Name")), bindings[i].name) << i;
    const Node* value = FindItem(binding, "Value");
    EXPECT_EQ(ValueOf(value), bindings[i].value) << i;
    EXPECT_EQ(CommentOf(value), bindings[i].comment) << i;
    EXPECT_EQ(value->length, bindings[i].length) << i;
  }
  // The last value ends the datagram.
  const Node* last = FindItem(Child(list, 12), "Value");
  EXPECT_EQ(last->startPos + last->length, kV2Response.size());
}

TEST_F(SNMPDecoder, VersionOneTrap) {
  auto info = SweepAndDecode(kV1Trap);
  EXPECT_EQ(SummaryOf(Snmp(info.get())), "Trap");
  ExpectFields(ItemAt(info.get(), {"SNMP", "Data", "Trap"}), {{"Enterprise", P + 17, 6, "1.3.6.1.4.1.9"},
                                                              {"Agent Address", P + 25, 4, "192.168.1.1"},
                                                              {"Generic Trap", P + 31, 1, "linkDown"},
                                                              {"Specific Trap", P + 34, 1, "0"},
                                                              {"Timestamp", P + 37, 3, "100000"},
                                                              {"Variable Binding List", P + 42, 17, ""}});
  const Node* binding = ItemAt(info.get(), {"SNMP", "Data", "Trap", "Variable Binding List", "Variable Binding 1"});
  ExpectFields(binding, {{"Object Name", P + 46, 10, "1.3.6.1.2.1.2.2.1.1.2"}, {"Value", P + 58, 1, "2"}});
}

TEST_F(SNMPDecoder, GetBulkRequest) {
  auto info = SweepAndDecode(kV2Bulk);
  EXPECT_EQ(SummaryOf(Snmp(info.get())), "Get-BulkRequest");
  EXPECT_EQ(ValueOf(ItemAt(info.get(), {"SNMP", "Community"})), "private");
  EXPECT_EQ(ValueOf(ItemAt(info.get(), {"SNMP", "Data"})), "Get-BulkRequest");
  ExpectFields(ItemAt(info.get(), {"SNMP", "Data", "Get-BulkRequest"}), {{"Request ID", P + 18, 1, "42"},
                                                                         {"Non Repeaters", P + 21, 1, "0"},
                                                                         {"Max Repetitions", P + 24, 1, "10"},
                                                                         {"Variable Binding List", P + 27, 13, ""}});
}

TEST_F(SNMPDecoder, LongFormLengthsMoveEveryStartAndAnEmptyListAddsNoGroup) {
  auto info = SweepAndDecode(kLongForms);
  const Node* snmp = Snmp(info.get());
  EXPECT_EQ(snmp->length, 34u);
  ExpectFields(snmp, {{"Version", P + 7, 1, "1 (0x01)", "v2c"},
                      {"Community", P + 14, 6, "public"},
                      {"Data", P + 23, 11, "Get-request"}});
  ExpectFields(ItemAt(info.get(), {"SNMP", "Data", "Get-request"}),
               {{"Request ID", P + 25, 1, "5"},
                {"Error Status", P + 28, 1, "0 (0x00)", "No error"},
                {"Error Index", P + 31, 1, "0 (0x00)"}});
}

TEST_F(SNMPDecoder, ObjectIdentifiersAndBindingsThatCarryMore) {
  auto info = SweepAndDecode(kOidsAndAlignment);
  const Node* list = ItemAt(info.get(), {"SNMP", "Data", "Get-response", "Variable Binding List"});
  ASSERT_EQ(list->Children().size(), 4u);
  EXPECT_EQ(ValueOf(FindItem(Child(list, 0), "Object Name")), "3.0.840.4294967295.1.1");
  EXPECT_EQ(ValueOf(FindItem(Child(list, 0), "Value")), "NULL");
  // The next binding starts where the first one's length says, past its third element.
  ExpectFields(Child(list, 1), {{"Object Name", P + 49, 8, "1.3.6.1.2.1.1.5.0"}, {"Value", P + 59, 1, "78"}});
  // Tag 0x1F: identifier bytes 81 05 follow, so the header takes four bytes.
  ExpectFields(Child(list, 2), {{"Object Name", P + 64, 8, "1.3.6.1.2.1.1.6.0"}, {"Value", P + 76, 1, ""}});
  ExpectFields(Child(list, 3), {{"Object Name", P + 81, 8, "1.3.6.1.2.1.1.7.0"}, {"Value", P + 91, 1, "3"}});
}

TEST_F(SNMPDecoder, UnknownPduTagsAndReportsLeaveThePduGroupEmpty) {
  auto unknown = SweepAndDecode(kUnknownPdu);
  const Node* snmp = Snmp(unknown.get());
  EXPECT_EQ(SummaryOf(snmp), "");
  const Node* data = ItemAt(unknown.get(), {"SNMP", "Data"});
  ExpectItem(data, P + 15, 25, "");
  ASSERT_EQ(data->Children().size(), 1u);
  EXPECT_EQ(Narrow(Child(data, 0)->Name()), "");
  EXPECT_TRUE(Child(data, 0)->Children().empty());

  auto report = SweepAndDecode(kReport);
  EXPECT_EQ(SummaryOf(Snmp(report.get())), "Report");
  EXPECT_TRUE(ItemAt(report.get(), {"SNMP", "Data", "Report"})->Children().empty());
}

TEST_F(SNMPDecoder, LengthOfMoreThanFourBytesEndsTheMessage) {
  auto info = SweepAndDecode(kLengthTooLong);
  const Node* snmp = Snmp(info.get());
  EXPECT_EQ(ChildNames(snmp), (Names{"Version", "Community", "Data", "Unreadable Element"}));
  ExpectItem(Child(snmp, 3), P + 38, 2, "", "Its length takes 5 bytes, more than 4: the message ends here");
  EXPECT_EQ(snmp->length, 46u);
  const Node* binding =
      ItemAt(info.get(), {"SNMP", "Data", "Get-request", "Variable Binding List", "Variable Binding 1"});
  EXPECT_EQ(ChildNames(binding), (Names{"Object Name"}));
}

TEST_F(SNMPDecoder, LengthsBeyondTheDatagramEndTheWalkWithWhatWasShown) {
  auto lying = SweepAndDecode(kLyingList);
  const Node* snmp = Snmp(lying.get());
  EXPECT_EQ(ChildNames(snmp).back(), "Truncated");
  const Node* list = ItemAt(lying.get(), {"SNMP", "Data", "Get-request", "Variable Binding List"});
  ExpectItem(list, P + 30, 14, "");
  ASSERT_EQ(list->Children().size(), 1u);
  EXPECT_EQ(ValueOf(FindItem(Child(list, 0), "Value")), "NULL");

  auto community = SweepAndDecode(kLongCommunity);
  snmp = Snmp(community.get());
  EXPECT_EQ(ChildNames(snmp), (Names{"Version", "Truncated"}));
  EXPECT_EQ(CommentOf(Child(snmp, 1)), "Frame ends here: 3 of the 64 bytes this field needs were captured");
  EXPECT_EQ(snmp->length, 10u);
}

// A DHCPv6 message sent from port 161: the walk reads its bytes as BER until a
// length that takes 27 bytes.
TEST_F(SNMPDecoder, CaptureOfOtherTrafficOnTheSnmpPort) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/ip6-snmp-oid-unsigned.pcap");
  ASSERT_EQ(frames.size(), 1u);
  auto info = DecodeFrame(frames[0]);
  const Node* snmp = Snmp(info.get());
  EXPECT_EQ(snmp->startPos, kUdp6Payload);
  EXPECT_EQ(ChildNames(snmp).back(), "Unreadable Element");
  EXPECT_EQ(CommentOf(FindItem(snmp, "Unreadable Element")),
            "Its length takes 27 bytes, more than 4: the message ends here");
  SweepCapture(m_.get(), "tcpdump/ip6-snmp-oid-unsigned.pcap");
}

}  // namespace
}  // namespace vel::test
