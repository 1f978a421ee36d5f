// The vendor names that vdecode's name table gives the decoders, read from a
// registry file in the IEEE MA-L CSV form.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "process_runner.h"
#include "test_support.h"

namespace vel::test {
namespace {

using Json = nlohmann::json;

// Unicast ARP request from 00:AA:BB (a quoted name with a comma and doubled
// quotes) to 00:00:AA (a plain name), asking for 00:AA:77 (a name whose
// record follows one with a line break in a quoted field).
constexpr const char* kArp = "0000AA112233 00AABB010203 0806 0001 0800 06 04 0001 00AABB010203 0a000001 "
                             "00AA77040506 0a000002";
// Neighbour solicitation from 00:AA:EE (listed twice: the first holder
// stands) with a source link-layer address option of 00:AA:DD (a name ending
// in a blank).
constexpr const char* kNeighbourSolicitation =
    "3333ff000002 00AAEE000001 86dd 60000000 0020 3a ff fe800000000000000000000000000001 "
    "ff0200000000000000000001ff000002 8700 0000 00000000 fe800000000000000000000000000002 0101 00AADD000001";
// To 00:AA:11 (a name in UTF-8) from 00:AA:FF, which only a 28-bit block of
// another registry names.
constexpr const char* kUtf8Name = "00AA11000001 00AAFF100001 1234";
// To 00:AA:22 (the last record) from 00:AA:99 (not listed).
constexpr const char* kLastAndUnknown = "00AA22000001 00AA99000001 1234";

// A DHCP discover from 00:AA:BB:01:02:03 whose client identifier option
// names the same hardware address.
const Bytes kDhcpDiscover = UdpFrame(
    68, 67,
    Concat({Hex("01 01 06 00 12345678 0000 8000 00000000 00000000 00000000 00000000"), Hex("00AABB010203"),
            Bytes(10 + 64 + 128), Hex("63825363 350101 3d070100AABB010203 ff")}));

const Json* FindChild(const Json& item, const std::string& name) {
  for (const Json& child : item["children"])
    if (child["name"] == name) return &child;
  return nullptr;
}

// The comment of the item at group / names... of a decoded frame's JSON line;
// "<missing>" when there is none.
std::string CommentAt(const std::string& jsonLine, const std::string& groupPrefix, std::vector<std::string> names) {
  Json packet = Json::parse(jsonLine);
  for (const Json& group : packet["groups"]) {
    if (!group["name"].get<std::string>().starts_with(groupPrefix)) continue;
    const Json* item = &group;
    for (const std::string& name : names)
      if (!(item = FindChild(*item, name))) return "<missing>";
    return (*item)["comment"];
  }
  return "<missing>";
}

std::string JsonOf(const std::string& hex, const std::string& ouiFile = TestOuiFile()) {
  RunResult run = Vdecode({"--json", "--oui-file", ouiFile, "--hex", hex});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return run.out;
}

TEST(VdecodeVendors, NamesOfEthernetArpAndNeighbourDiscoveryAddresses) {
  std::string arp = JsonOf(kArp);
  EXPECT_EQ(CommentAt(arp, "Ethernet II", {"Destination Address"}), "Plain Vendor Ltd");
  EXPECT_EQ(CommentAt(arp, "Ethernet II", {"Source Address"}), "Comma, Quote \"And\" Co.");
  EXPECT_EQ(CommentAt(arp, "ARP", {"Source Address"}), "Comma, Quote \"And\" Co.");
  EXPECT_EQ(CommentAt(arp, "ARP", {"Destination Address"}), "Multiline Address Corp");

  std::string solicitation = JsonOf(kNeighbourSolicitation);
  EXPECT_EQ(CommentAt(solicitation, "Ethernet II", {"Source Address"}), "First Holder");
  EXPECT_EQ(CommentAt(solicitation, "ICMPv6",
                      {"ICMPv6 Option - Source link-layer address", "Source Link-layer Address"}),
            "Trailing Blank Inc. ");

  std::string dhcp = JsonOf(HexOf(kDhcpDiscover));
  EXPECT_EQ(CommentAt(dhcp, "DHCP", {"Client MAC Address"}), "Comma, Quote \"And\" Co.");

  std::string utf8 = JsonOf(kUtf8Name);
  EXPECT_EQ(CommentAt(utf8, "Ethernet II", {"Destination Address"}), "Straße & Söhne, AG");
  EXPECT_EQ(CommentAt(utf8, "Ethernet II", {"Source Address"}), "");
  std::string last = JsonOf(kLastAndUnknown);
  EXPECT_EQ(CommentAt(last, "Ethernet II", {"Destination Address"}), "Last Line Systems");
  EXPECT_EQ(CommentAt(last, "Ethernet II", {"Source Address"}), "");
}

TEST(VdecodeVendors, WhichRegistryIsRead) {
  // VEL_OUI_FILE (here the tests' registry) stands in for the default file.
  RunResult byDefault = Vdecode({"--json", "--hex", kArp});
  EXPECT_EQ(CommentAt(byDefault.out, "ARP", {"Destination Address"}), "Multiline Address Corp");
  RunResult none = Vdecode({"--json", "--no-vendor", "--hex", kArp});
  EXPECT_EQ(none.err, "");
  EXPECT_EQ(CommentAt(none.out, "ARP", {"Destination Address"}), "");
  RunResult both = Vdecode({"--no-vendor", "--oui-file", TestOuiFile(), "--hex", kArp});
  EXPECT_EQ(both.status, 2);
}

// Any damage costs every name, with one warning line for the whole run.
TEST(VdecodeVendors, MissingOrDamagedRegistryGivesNoNamesAndOneWarning) {
  TempDir dir;
  const std::string good = ReadFile(TestOuiFile());
  const std::string heading = "Registry,Assignment,Organization Name,Organization Address\r\n";
  struct Case {
    std::string file, problem;
  };
  const Case cases[] = {
      {dir.File("missing.csv"), "cannot read the vendor registry (No such file or directory)"},
      {dir.Write("no-heading.csv", good.substr(heading.size())),
       "damaged vendor registry (the first line is not the heading Registry,Assignment,Organization Name,...)"},
      {dir.Write("open-quote.csv", good + "MA-L,00AA33,\"Never Closed,address\r\n"),
       "damaged vendor registry (line 12: a quoted field is not closed)"},
      {dir.Write("after-quote.csv", heading + "MA-L,00AA33,\"Closed\" early,address\r\n"),
       "damaged vendor registry (line 2: text follows a closing quote)"},
      {dir.Write("assignment.csv", good + "MA-L,00AA3,Short,address\r\n"),
       "damaged vendor registry (line 12: the assignment '00AA3' is not six hex digits)"},
      {dir.Write("fields.csv", good + "MA-L,00AA33\r\n"), "damaged vendor registry (line 12: fewer than three fields)"},
  };
  std::vector<Invocation> runs;
  for (const Case& c : cases) runs.push_back({{VdecodePath(), "--json", "--oui-file", c.file, "--hex", kArp}, {}, {}});
  std::vector<RunResult> results = RunPrograms(runs);
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i].status, 0) << cases[i].file;
    EXPECT_EQ(results[i].err, "vdecode: " + cases[i].file + ": " + cases[i].problem +
                                  "; addresses are shown without vendor names\n");
    EXPECT_EQ(CommentAt(results[i].out, "Ethernet II", {"Destination Address"}), "") << cases[i].file;
    EXPECT_EQ(CommentAt(results[i].out, "ARP", {"Source Address"}), "") << cases[i].file;
  }

  RunResult capture = Vdecode({"--oui-file", cases[0].file, SourcePath("samples/sample.pcap")});
  EXPECT_EQ(capture.status, 0);
  EXPECT_EQ(Lines(capture.err).size(), 1u) << capture.err;
}

}  // namespace
}  // namespace vel::test
