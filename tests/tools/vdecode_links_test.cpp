// vdecode on the captures people have: files of every link type the engine
// decodes, item places that are the capture's own bytes, capture filters and
// the protocol filter, and pcapng files of several interfaces, resolutions,
// sections and damage.
#include <gtest/gtest.h>

#include <functional>

#include <nlohmann/json.hpp>

#include "capture_files.h"
#include "process_runner.h"
#include "test_support.h"

namespace vel::test {
namespace {

using Json = nlohmann::json;

constexpr int kInputError = 1, kUsageError = 2;

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::vector<Json> JsonLines(const RunResult& run) {
  std::vector<Json> packets;
  for (const std::string& line : Lines(run.out)) packets.push_back(Json::parse(line));
  return packets;
}

std::vector<std::string> Numbers(const RunResult& run) {
  std::vector<std::string> numbers;
  for (const std::string& line : Lines(run.out)) numbers.push_back(line.substr(0, 5));
  return numbers;
}

void ForEachItem(const Json& item, const std::function<void(const Json&)>& visit) {
  visit(item);
  for (const Json& child : item["children"]) ForEachItem(child, visit);
}

const Bytes kUdp = IPv4Packet(kIpProtocolUdp, UdpDatagram(40000, 40001, Ascii("query")), "10.0.0.1", "10.0.0.2");
const Bytes kUdp6 = IPv6Packet(kIpProtocolUdp, UdpDatagram(40000, 40001, Ascii("query")));

TEST(VdecodeLinks, EveryLinkTypeDecodesFromItsNetworkLayer) {
  struct Case {
    uint32_t linkType;
    Bytes frame;
    std::string linkGroup;  // empty: the frame starts with its IP header
    uint32_t networkStart;
  } cases[] = {
      {kLinkLinuxCooked, LinuxCookedFrame(kEtherTypeIPv4, kUdp), "SLL - Linux Cooked Capture", 16},
      {kLinkLinuxCookedV2, LinuxCookedV2Frame(kEtherTypeIPv6, kUdp6), "SLL2 - Linux Cooked Capture v2", 20},
      {kLinkRawIp, kUdp, "", 0},
      {kLinkRawIpOld, kUdp6, "", 0},
      {kLinkIPv4, kUdp, "", 0},
      {kLinkIPv6, kUdp6, "", 0},
      {kLinkNull, LoopbackFrame(2, kUdp, false), "Loopback - BSD Loopback", 4},
      {kLinkNull, LoopbackFrame(24, kUdp6, true), "Loopback - BSD Loopback", 4},
      {kLinkLoop, LoopbackFrame(30, kUdp6, true), "Loopback - BSD Loopback", 4},
  };
  TempDir dir;
  std::vector<std::string> args = {"--json"};
  for (size_t i = 0; i < std::size(cases); ++i)
    args.push_back(dir.Write(std::to_string(i) + ".pcap", ClassicPcap(cases[i].linkType, {Text(cases[i].frame)})));
  RunResult run = Vdecode(args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::vector<Json> packets = JsonLines(run);
  ASSERT_EQ(packets.size(), std::size(cases));
  for (size_t i = 0; i < packets.size(); ++i) {
    const Json& groups = packets[i]["groups"];
    size_t network = cases[i].linkGroup.empty() ? 1 : 2;
    ASSERT_EQ(groups.size(), network + 2) << i;
    if (network == 2) {
      EXPECT_EQ(groups[1]["name"], cases[i].linkGroup) << i;
      EXPECT_EQ(groups[1]["start"], 0) << i;
      EXPECT_EQ(groups[1]["length"], cases[i].networkStart) << i;
    }
    EXPECT_EQ(groups[network]["start"], cases[i].networkStart) << i;
    EXPECT_EQ(groups[network + 1]["name"], "UDP - User Datagram Protocol") << i;
    EXPECT_EQ(groups[network + 1]["children"][3]["comment"], "Correct") << i;
  }
}

// Every item's start and length lie within the captured frame, and the
// fields whose bytes are easy to read back (addresses, ports, the cooked
// header's protocol) show exactly the bytes of the capture file at their place.
TEST(VdecodeLinks, ItemsPointAtTheirOwnBytesInTheFile) {
  for (const std::string name : {"RADIUS-RFC4675.pcap", "LINKTYPE_IPV4.pcap", "mptcp-tcprst.pcap", "ikev2four.pcap"}) {
    std::string path = VEL_TEST_DATA_DIR "/tcpdump-other-links/" + name;
    std::vector<Bytes> frames = ReadPcapFrames("tcpdump-other-links/" + name);
    RunResult run = Vdecode({"--json", path});
    ASSERT_EQ(run.status, 0) << name << ": " << run.err;
    std::vector<Json> packets = JsonLines(run);
    ASSERT_EQ(packets.size(), frames.size()) << name;
    size_t checked = 0;
    for (size_t k = 0; k < packets.size(); ++k) {
      const Bytes& frame = frames[k];
      for (const Json& group : packets[k]["groups"]) {
        ForEachItem(group, [&](const Json& item) {
          uint32_t start = item["start"], length = item["length"], type = item["type"];
          ASSERT_LE(start + length, frame.size()) << name << " packet " << k + 1 << ": " << item["name"];
          char expected[32] = "";
          if ((type == VEL_DII_SOURCE_IP || type == VEL_DII_DESTINATION_IP) && length == 4)
            std::snprintf(expected, sizeof expected, "%u.%u.%u.%u", frame[start], frame[start + 1], frame[start + 2],
                          frame[start + 3]);
          else if (type == VEL_DII_SOURCE_PORT || type == VEL_DII_DEST_PORT)
            std::snprintf(expected, sizeof expected, "%u (0x%04X)", frame[start] << 8 | frame[start + 1],
                          frame[start] << 8 | frame[start + 1]);
          else if (item["name"] == "Protocol" && group["name"] == "SLL - Linux Cooked Capture")
            std::snprintf(expected, sizeof expected, "0x%04X", frame[start] << 8 | frame[start + 1]);
          else
            return;
          EXPECT_EQ(item["value"], expected) << name << " packet " << k + 1 << ": " << item["name"];
          ++checked;
        });
      }
    }
    EXPECT_GT(checked, packets.size()) << name;
  }

  // The item found by frame offset, and the hex dump, count from the file's own first byte.
  std::string radius = VEL_TEST_DATA_DIR "/tcpdump-other-links/RADIUS-RFC4675.pcap";
  std::vector<std::string> lines = Lines(Vdecode({"-c", "1", "--offset", "29", "-x", radius}).out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1], "Source IP: 127.0.0.1 [28/4]");
  EXPECT_EQ(lines[2].rfind("0000  00 00 03 04 00 06 00 00  00 00 00 00 00 00 08 00 ", 0), 0u) << lines[2];
}

// Packet 1 UDP to port 53, 2 TCP to port 80, 3 ICMP, 4 TCP from port 80, 5 UDP over IPv6.
std::string MixedTraffic(TempDir& dir) {
  Bytes icmp = EthernetFrame(kEtherTypeIPv4, IPv4Packet(1, Hex("0800f7ff00000000")));
  return dir.Write("traffic.pcap", ClassicPcap(kLinkEthernet, {Text(UdpFrame(40000, 53, Ascii("q"))),
                                                               Text(TcpFrame(40000, 80, Ascii("GET / HTTP/1.0\r\n\r\n"))),
                                                               Text(icmp), Text(TcpFrame(80, 40000, Ascii("HTTP/1.0 200 OK\r\n"))),
                                                               Text(Udp6Frame(5353, 5353, Ascii("x")))}));
}

TEST(VdecodeLinks, CaptureFilterKeepsTheCapturesNumbers) {
  TempDir dir;
  std::string file = MixedTraffic(dir);
  using Numbers_ = std::vector<std::string>;
  EXPECT_EQ(Numbers(Vdecode({file, "tcp port 80"})), (Numbers_{"    2", "    4"}));
  EXPECT_EQ(Numbers(Vdecode({file, "tcp", "port", "80"})), (Numbers_{"    2", "    4"}));
  EXPECT_EQ(Numbers(Vdecode({"-f", "udp or icmp", file})), (Numbers_{"    1", "    3", "    5"}));
  // -c counts the packets printed; standard input is filtered the same way.
  EXPECT_EQ(Numbers(Vdecode({"-c", "1", "-", "ip6"}, ReadFile(file))), (Numbers_{"    5"}));
  // --hex frames pass the filter like any other.
  EXPECT_EQ(Vdecode({"--hex", "0011223344556655443322111234", "arp"}).out, "");

  // In a pcapng file the filter is compiled for each interface's link type.
  std::string pcapng = dir.Write(
      "two.pcapng", PcapngSection({{kLinkEthernet}, {kLinkLinuxCooked}, {kLinkRawIp}},
                                  {{0, 1, Text(UdpFrame(1, 53, {}))}, {1, 2, Text(LinuxCookedFrame(0x0800, kUdp))},
                                   {2, 3, Text(kUdp)}, {1, 4, Text(LinuxCookedFrame(0x0806, Hex("0001")))}}));
  EXPECT_EQ(Numbers(Vdecode({pcapng, "udp"})), (Numbers_{"    1", "    2", "    3"}));
  // An expression that does not apply to one interface's link type is refused when that interface is met.
  RunResult refused = Vdecode({pcapng, "ether src 66:55:44:33:22:11"});
  EXPECT_EQ(refused.status, kUsageError);
  EXPECT_EQ(Numbers(refused), (Numbers_{"    1"}));
  EXPECT_EQ(Lines(refused.err).size(), 1u) << refused.err;
  EXPECT_NE(refused.err.find("bad capture filter 'ether src 66:55:44:33:22:11': "), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("(link type LINUX_SLL (Linux cooked v1, 113))"), std::string::npos) << refused.err;
}

TEST(VdecodeLinks, ProtocolFilterAfterDecoding) {
  TempDir dir;
  std::string file = MixedTraffic(dir);
  using Numbers_ = std::vector<std::string>;
  EXPECT_EQ(Numbers(Vdecode({"--protocol", "TCP", file})), (Numbers_{"    2", "    4"}));
  EXPECT_EQ(Numbers(Vdecode({"--protocol", "icmp", "--protocol", "IPv6", file})), (Numbers_{"    3", "    5"}));
  EXPECT_EQ(Numbers(Vdecode({"--protocol", "UDP", "-c", "1", file, "ip6"})), (Numbers_{"    5"}));
  EXPECT_EQ(Numbers(Vdecode({"--protocol", "HTTP", file})), (Numbers_{"    2", "    4"}));
  EXPECT_EQ(Vdecode({"--protocol", "SMB", file}).out, "");
  // The link layers beyond the catalogue go by the short name their groups carry.
  std::string cooked = dir.Write("cooked.pcap", ClassicPcap(kLinkLinuxCooked, {Text(LinuxCookedFrame(0x0800, kUdp))}));
  RunResult sll = Vdecode({"--protocol", "sll", "--json", file, cooked});
  std::vector<Json> packets = JsonLines(sll);
  ASSERT_EQ(packets.size(), 1u) << sll.out;
  EXPECT_EQ(packets[0]["groups"][1]["name"], "SLL - Linux Cooked Capture");
}


TEST(VdecodeLinks, PcapngOfSeveralInterfacesFromTheSampleMaker) {
  std::string mixed = SourcePath("samples/links/mixed.pcapng");
  RunResult run = Vdecode({mixed});
  EXPECT_EQ(run.status, 0);
  // Ethernet frames and raw IP take turns; packets 3 and 6 are of the undecoded interface.
  EXPECT_EQ(Numbers(run), (std::vector<std::string>{"    1", "    2", "    4", "    5", "    7", "    8", "    9",
                                                    "   10", "   11"}));
  EXPECT_EQ(run.err, "vdecode: " + mixed + ": skipped 2 packets of link types vdecode does not decode: 2 of unknown (147)\n");
  std::vector<std::string> lines = Lines(run.out);
  EXPECT_NE(lines[1].find(" 192.0.2.1         -> 192.0.2.80        TCP "), std::string::npos) << lines[1];
}

TEST(VdecodeLinks, PcapngTimeStampResolutionsAndSections) {
  TempDir dir;
  std::string frame = Text(UdpFrame(1, 2, {}));
  // Nanoseconds, 2^-20 seconds, milliseconds, and the default microseconds; a
  // second section, big-endian, whose interface 0 is a new one, with a simple
  // packet block (no time stamp) after an enhanced one.
  std::string file = dir.Write(
      "resolutions.pcapng",
      PcapngSection({{kLinkEthernet, 9}, {kLinkEthernet, 0x80 | 20}, {kLinkEthernet, 3}, {kLinkEthernet}},
                    {{0, 1500000000123456789ull, frame}, {1, 3ull << 20, frame}, {2, 1234, frame}, {3, 42, frame}}) +
          PcapngSection({{kLinkRawIp}}, {{0, 7, Text(kUdp)}, {0, 0, Text(kUdp6), true}}, true));
  RunResult run = Vdecode({"--json", file});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<Json> packets = JsonLines(run);
  ASSERT_EQ(packets.size(), 6u);
  const uint64_t micros[] = {1500000000123456, 3000000, 1234000, 42, 7, 0};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(packets[i]["timestamp"], micros[i]) << i;
  EXPECT_EQ(packets[4]["groups"][1]["name"], "IP - Internet Protocol (v4)");
  EXPECT_EQ(packets[5]["groups"][1]["name"], "IPv6 - Internet Protocol (v6)");
  EXPECT_EQ(packets[5]["capture_length"], kUdp6.size());
}

TEST(VdecodeLinks, DamagedPcapngEndsWithOneLineAfterItsPackets) {
  TempDir dir;
  std::string frame = Text(UdpFrame(1, 2, {}));
  std::string good = PcapngSection({{kLinkEthernet}}, {{0, 1, frame}, {0, 2, frame}, {0, 3, frame}});
  size_t thirdBlock = good.size() - (28 + (frame.size() + 3) / 4 * 4 + 4);
  std::string trailerWrong = good;
  trailerWrong[trailerWrong.size() - 4] ^= 0x04;
  std::string lyingLength = good;
  lyingLength[thirdBlock + 4] = 0x7C;  // the block claims more than the file holds
  std::string unknownInterface = good;
  unknownInterface[thirdBlock + 8] = 5;
  std::string notPcapng = "\x0A\x0D\x0D\x0A" + std::string(20, 'x');
  struct Case {
    std::string bytes;
    size_t printed;
    std::string message;
  } cases[] = {
      {trailerWrong, 2,
       "capture file is damaged after packet 2 (block at byte " + std::to_string(thirdBlock) +
           ": the block's leading and trailing lengths differ)"},
      {lyingLength, 2,
       "capture file is truncated after packet 2 (the file ends inside the block at byte " +
           std::to_string(thirdBlock) + ", which claims 124 bytes"},
      {good.substr(0, good.size() - 1), 2, "capture file is truncated after packet 2"},
      {unknownInterface, 2, "a packet of interface 5, which the section does not describe"},
      {notPcapng, 0, "capture file is damaged after packet 0 (block at byte 0: the section header has no byte-order magic)"},
  };
  for (const Case& c : cases) {
    std::string file = dir.Write("damaged.pcapng", c.bytes);
    for (const std::string& input : {file, std::string("-")}) {
      RunResult run = Vdecode({input}, input == "-" ? c.bytes : "");
      EXPECT_EQ(run.status, kInputError) << c.message;
      EXPECT_EQ(Lines(run.out).size(), c.printed) << c.message;
      EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
      EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
  }
}

}  // namespace
}  // namespace vel::test
