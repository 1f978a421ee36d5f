#include "test_support.h"

namespace vel::test {
namespace {

// Routes to 10.1.0.0/16 (tag 7, metric 1) and 10.2.0.0/16 (next hop 192.168.0.9, metric 3).
const std::string kV2Routes =
    "0002 0007 0a010000 ffff0000 00000000 00000001"
    "0002 0000 0a020000 ffff0000 c0a80009 00000003";
const Bytes kV2Response = UdpFrame(520, 520, Hex("02 02 0000" + kV2Routes));
// A request for the whole table: family 0, metric 16.
const Bytes kV1Request = UdpFrame(520, 520, Hex("01 01 0000 0000 0000 00000000 00000000 00000000 00000010"));
const Bytes kV1Response = UdpFrame(520, 520, Hex("02 01 0000 0002 0000 c0a80100 00000000 00000000 00000002"));
// A simple password ("secret") before the routes.
const Bytes kV2Password =
    UdpFrame(520, 520, Hex("02 02 0000 ffff 0002 736563726574 00000000000000000000" + kV2Routes));
// Keyed message digest: packet length 64, key 1, data length 16, sequence 5.
const Bytes kV2Digest = UdpFrame(
    520, 520, Hex("02 02 0000 ffff 0003 0040 01 10 00000005 0000000000000000" + kV2Routes.substr(0, 45)));

const Node* Rip(IVELPacketsDecodingInfo* info) { return FindGroup(info, "RIP - "); }

using RipDecoder = DecoderTest;

TEST_F(RipDecoder, VersionTwoResponseWithTwoRoutes) {
  auto info = SweepAndDecode(kV2Response);
  const Node* rip = Rip(info.get());
  EXPECT_EQ(Narrow(rip->Name()), "RIP - Routing Information Protocol");
  ExpectFields(rip, {{"Command", 42, 1, "2 (0x02)", "Response"},
                     {"Version", 43, 1, "2 (0x02)", "RIPv2"},
                     {"Reserved", 44, 2, "0 (0x0000)"},
                     {"IP Address: 10.1.0.0, Metric: 1", 46, 20, ""},
                     {"IP Address: 10.2.0.0, Metric: 3", 66, 20, ""}});
  const Node* second = Child(rip, 4);
  EXPECT_TRUE(second->isGroup);
  ExpectFields(second, {{"Address Family", 66, 2, "2 (0x0002)", "IP"},
                        {"Route Tag", 68, 2, "0 (0x0000)"},
                        {"IP Address", 70, 4, "10.2.0.0", "", VEL_DII_IP_ADRESS},
                        {"Subnet Mask", 74, 4, "255.255.0.0"},
                        {"Next Hop", 78, 4, "3232235529 (0xC0A80009)"},
                        {"Metric", 82, 4, "3 (0x00000003)"}});
  EXPECT_EQ(SummaryOf(rip), "Response");
  EXPECT_EQ(rip->length, 44u);
}

TEST_F(RipDecoder, VersionOneRequestAndResponse) {
  auto request = SweepAndDecode(kV1Request);
  const Node* rip = Rip(request.get());
  EXPECT_EQ(CommentOf(Child(rip, 0)), "Request");
  EXPECT_EQ(CommentOf(Child(rip, 1)), "RIPv1");
  ExpectFields(ItemAt(request.get(), {"RIP - ", "IP Address: 0.0.0.0, Metric: 16"}),
               {{"Address Family", 46, 2, "0 (0x0000)", "Unspecified"},
                {"IP Address", 50, 4, "0.0.0.0", "", VEL_DII_IP_ADRESS},
                {"Metric", 62, 4, "16 (0x00000010)"}});
  EXPECT_EQ(SummaryOf(rip), "Request");

  auto response = SweepAndDecode(kV1Response);
  EXPECT_EQ(ValueOf(ItemAt(response.get(), {"RIP - ", "IP Address: 192.168.1.0, Metric: 2", "IP Address"})),
            "192.168.1.0");
  EXPECT_EQ(CommentOf(ItemAt(response.get(), {"RIP - ", "IP Address: 192.168.1.0, Metric: 2", "Address Family"})),
            "IP");
}

TEST_F(RipDecoder, AuthenticationEntries) {
  auto password = SweepAndDecode(kV2Password);
  const Node* rip = Rip(password.get());
  EXPECT_EQ(ChildNames(rip), (Names{"Command", "Version", "Reserved", "Authentication",
                                    "IP Address: 10.1.0.0, Metric: 1", "IP Address: 10.2.0.0, Metric: 3"}));
  ExpectItem(Child(rip, 3), 46, 20, "");
  ExpectFields(Child(rip, 3), {{"Authentication Flag", 46, 2, "65535 (0xFFFF)"},
                               {"Authentication Type", 48, 2, "2 (0x0002)", "Simple Password"},
                               {"Password", 50, 16, "secret"}});

  // The keyed digest's fields take 12 of the 20 bytes; the route follows the entry.
  auto digest = SweepAndDecode(kV2Digest);
  rip = Rip(digest.get());
  ExpectFields(Child(rip, 3), {{"Authentication Flag", 46, 2, "65535 (0xFFFF)"},
                               {"Authentication Type", 48, 2, "3 (0x0003)", "Keyed Message Digest"},
                               {"Packet Length", 50, 2, "64 (0x0040)"},
                               {"Key ID", 52, 1, "1 (0x01)"},
                               {"Auth Data Len", 53, 1, "16 (0x10)"},
                               {"Sequence Number", 54, 4, "5 (0x00000005)"}});
  EXPECT_EQ(Child(rip, 4)->startPos, 66u);
  EXPECT_EQ(rip->length, 44u);
}

TEST_F(RipDecoder, WalksThatEndEarly) {
  // Version 2: an entry of another family ends the walk where it stands.
  auto family =
      DecodeFrame(UdpFrame(520, 520, Hex("02 02 0000 0001 0000 00000000 00000000 00000000 00000001" + kV2Routes)));
  const Node* rip = Rip(family.get());
  EXPECT_EQ(ChildNames(rip), (Names{"Command", "Version", "Reserved"}));
  EXPECT_EQ(rip->length, 4u);

  // Unknown command and version: no names, no entries.
  auto unknown = DecodeFrame(UdpFrame(520, 520, Hex("0c 03 0000" + kV2Routes)));
  rip = Rip(unknown.get());
  ExpectFields(rip,
               {{"Command", 42, 1, "12 (0x0C)"}, {"Version", 43, 1, "3 (0x03)"}, {"Reserved", 44, 2, "0 (0x0000)"}});
  EXPECT_EQ(SummaryOf(rip), "");

  // A trailing part shorter than an entry is read as far as it goes.
  auto trailing = DecodeFrame(UdpFrame(520, 520, Hex("02 02 0000" + kV2Routes + "0002 0000")));
  EXPECT_EQ(ChildNames(Rip(trailing.get())).back(), "Truncated");
}

}  // namespace
}  // namespace vel::test
