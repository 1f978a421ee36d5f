// vdecode's output modes, driven through the program itself on hex frames and
// on the sample capture.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "capture_files.h"
#include "process_runner.h"
#include "test_support.h"

namespace vel::test {
namespace {

using Json = nlohmann::json;

// Ethernet only, of an unknown type.
constexpr const char* kUnknownType = "0011223344556655443322111234";
// ARP request: who has 10.0.0.2, tell 10.0.0.1.
constexpr const char* kArpRequest =
    "ffffffffffff000c293a5b7c0806 0001 0800 06 04 0001 000c293a5b7c 0a000001 000000000000 0a000002";
// IPv4 with the don't-fragment flag (a notice) carrying UDP; both checksums correct.
constexpr const char* kUdpDontFragment =
    "020000000002020000000001080045000020000140004011 26ca 0a000001 0a000002 9c40 0009 000c 70b9 70696e67";
// IPv6 carrying UDP, whose addresses are plain IP address items.
constexpr const char* kIPv6Udp =
    "02000000000202000000000186dd 6000000000081140 20010db8000000000000000000000001 20010db8000000000000000000000002"
    "9c40000900080820";

std::string SamplePath() { return SourcePath("samples/sample.pcap"); }
size_t SamplePackets() { return CountRecords(ReadFile(SamplePath())); }

TEST(VdecodeOutput, VerboseHexFrameShowsPacketInfoAndEthernet) {
  RunResult run = Vdecode({"-V", "--hex", kUnknownType, "--time", "1000000123"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 10u) << run.out;
  EXPECT_EQ(lines[0].rfind("Packet Info", 0), 0u);
  const char* frameItems[] = {" Number ", " Packet Length ", " Capture Length ", " Timestamp "};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(lines[1 + i].rfind(frameItems[i], 0), 0u) << lines[1 + i];
  EXPECT_NE(lines[4].find(" 1970-01-01 00:16:40.000123 "), std::string::npos) << lines[4];
  EXPECT_EQ(lines[5].rfind("Ethernet II - Ethernet II Frame ", 0), 0u);
  EXPECT_NE(lines[8].find("0x1234"), std::string::npos);
  EXPECT_NE(lines[8].find("[2 / 12-14] Unknown Protocol"), std::string::npos) << lines[8];
  EXPECT_EQ(lines[9], "");  // packets are set apart by a blank line
  EXPECT_EQ(run.out.find('\r'), std::string::npos);
}

TEST(VdecodeOutput, VerboseIsTheEngineRenderingWithLineFeeds) {
  auto manager = MakeManager();
  std::string rendering = TextOf(Decode(manager.get(), Hex(kUdpDontFragment)).get());
  std::string expected;
  for (char c : rendering)
    if (c != '\r') expected += c;
  // The child inherits this process's time zone, so both render time 0 alike.
  RunResult run = RunProgram({{VdecodePath(), "-V", "--hex", kUdpDontFragment}, {}, {}});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, expected + "\n");

  RunResult crlf = RunProgram({{VdecodePath(), "-V", "--crlf", "--hex", kUdpDontFragment}, {}, {}});
  EXPECT_EQ(crlf.out, rendering + "\r\n");
}

TEST(VdecodeOutput, SummaryLineColumns) {
  EXPECT_EQ(Vdecode({"--hex", kUnknownType}).out,
            "    1    0.000000 66:55:44:33:22:11 -> 00:11:22:33:44:55 Ethernet II\n");
  // IP addresses win over hardware addresses; the layer's summary follows the protocol.
  EXPECT_EQ(Vdecode({"--hex", kArpRequest}).out,
            "    1    0.000000 10.0.0.1          -> 10.0.0.2          ARP    Who has 10.0.0.2? Tell 10.0.0.1\n");
  EXPECT_EQ(Vdecode({"--hex", kIPv6Udp}).out.rfind("    1    0.000000 2001:DB8::1       -> 2001:DB8::2       UDP", 0), 0u);
  // A packet above "information" severity is marked.
  std::string notice = Vdecode({"--hex", kUdpDontFragment}).out;
  EXPECT_EQ(notice.rfind("    1    0.000000 10.0.0.1          -> 10.0.0.2          UDP    ", 0), 0u) << notice;
  EXPECT_TRUE(notice.ends_with(" [Notice]\n")) << notice;
}

TEST(VdecodeOutput, TimeColumnFormats) {
  auto timeOf = [](const std::string& format) {
    std::string line = Vdecode({"-t", format, "--time", "1000000123", "--hex", kUnknownType}).out;
    return line.substr(6, line.find(" 66:55") - 6);
  };
  EXPECT_EQ(timeOf("r"), "   0.000000");
  EXPECT_EQ(timeOf("e"), "1000.000123");
  EXPECT_EQ(timeOf("a"), "00:16:40.000123");
  EXPECT_EQ(timeOf("ad"), "1970-01-01 00:16:40.000123");
}

TEST(VdecodeOutput, LanguageOfTheDecoding) {
  EXPECT_NE(Vdecode({"--lang", "en", "--hex", kArpRequest}).out.find("Who has 10.0.0.2? Tell 10.0.0.1"), std::string::npos);
  EXPECT_NE(Vdecode({"--lang", "zh", "--hex", kArpRequest}).out.find("谁是10.0.0.2? 告诉10.0.0.1"), std::string::npos);
}

TEST(VdecodeOutput, HexDump) {
  RunResult run = Vdecode({"-x", "--hex", kUnknownType});
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_EQ(lines[1], std::string("0000  00 11 22 33 44 55 66 55  44 33 22 11 12 34 ") + std::string(7, ' ') +
                          "..\"3DUfUD3\"..4");
  EXPECT_EQ(lines[2], "");

  RunResult sample = Vdecode({"-x", "--packet", "1", SamplePath()});
  std::vector<std::string> dump = Lines(sample.out);
  ASSERT_GE(dump.size(), 3u);
  EXPECT_EQ(dump[1].substr(0, 6), "0000  ");
  EXPECT_EQ(dump[2].substr(0, 6), "0010  ");
}

TEST(VdecodeOutput, ItemAtOffset) {
  auto offsetLine = [](const std::string& offset) {
    return Lines(Vdecode({"--offset", offset, "--hex", kUnknownType}).out).at(1);
  };
  EXPECT_EQ(offsetLine("0"), "Destination Address: 00:11:22:33:44:55 [0/6]");
  EXPECT_EQ(offsetLine("13"), "Type: 0x1234 [12/2]");
  EXPECT_EQ(offsetLine("14"), "(no item covers frame byte 14)");
}

TEST(VdecodeOutput, SelectedItemIsMarked) {
  const std::string type = "TypeEthernet II - Ethernet II Frame";
  std::vector<std::string> tree = Lines(Vdecode({"-V", "--select", type, "--hex", kUnknownType}).out);
  ASSERT_EQ(tree.size(), 10u);
  for (size_t i = 0; i + 1 < tree.size(); ++i)
    EXPECT_EQ(tree[i].substr(0, 2), i == 8 ? "* " : "  ") << tree[i];
  EXPECT_EQ(tree[8].rfind("*  Type ", 0), 0u);

  std::vector<std::string> summary = Lines(Vdecode({"--select", type, "--hex", kUnknownType}).out);
  ASSERT_EQ(summary.size(), 2u);
  EXPECT_EQ(summary[1], "* Type: 0x1234 [12/2]");
  EXPECT_EQ(Lines(Vdecode({"--select", "no such item", "--hex", kUnknownType}).out).size(), 1u);
}

TEST(VdecodeOutput, ChecksumVerificationCanBeTurnedOff) {
  auto ipChecksumComment = [](std::vector<std::string> args) {
    args.insert(args.end(), {"--json", "--hex", kUdpDontFragment});
    Json packet = Json::parse(Vdecode(args).out);
    for (const Json& item : packet["groups"][2]["children"])
      if (item["start"] == 24) return item["comment"].get<std::string>();
    return std::string("<no item at 24>");
  };
  EXPECT_EQ(ipChecksumComment({}), "Correct");
  EXPECT_EQ(ipChecksumComment({"--no-checksum"}), "");
}

TEST(VdecodeOutput, JsonObjectsCarryExactlyTheirKeys) {
  RunResult run = Vdecode({"--json", "--time", "1000000123", "--hex", kUnknownType});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(Lines(run.out).size(), 1u);
  Json packet = Json::parse(run.out);
  std::vector<std::string> keys;
  for (const auto& [key, value] : packet.items()) keys.push_back(key);
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"capture_length", "groups", "number", "original_length", "severity",
                                            "summary", "timestamp"}));
  EXPECT_EQ(packet["number"], 1);
  EXPECT_EQ(packet["timestamp"], 1000000123);
  EXPECT_EQ(packet["capture_length"], 14);
  EXPECT_EQ(packet["original_length"], 14);
  EXPECT_EQ(packet["severity"], 1);
  EXPECT_EQ(packet["summary"], "");

  ASSERT_EQ(packet["groups"].size(), 2u);
  const Json& ethernet = packet["groups"][1];
  EXPECT_EQ(ethernet["name"], "Ethernet II - Ethernet II Frame");
  EXPECT_EQ(ethernet["protocol"], 48);
  EXPECT_EQ(ethernet["is_group"], true);
  const Json& type = ethernet["children"][2];
  EXPECT_EQ(type, Json::parse(R"({"name": "Type", "value": "0x1234", "comment": "Unknown Protocol", "start": 12,
      "length": 2, "type": 0, "severity": 1, "protocol": 0, "summary": "", "is_group": false, "children": []})"));
  EXPECT_EQ(packet["groups"][0]["children"][2]["type"], 9);  // Capture Length: the packet-length item type
}

TEST(VdecodeOutput, SummaryCoversTheWholeSampleFromFileOrStandardInput) {
  size_t packets = SamplePackets();
  ASSERT_GT(packets, 0u);

  RunResult summary = Vdecode({SamplePath()});
  ASSERT_EQ(summary.status, 0) << summary.err;
  EXPECT_EQ(Lines(summary.out).size(), packets);

  // Standard input gives the same as the file.
  EXPECT_EQ(Vdecode({"-"}, ReadFile(SamplePath())).out, summary.out);
}

TEST(VdecodeOutput, PacketSelection) {
  size_t packets = SamplePackets();
  ASSERT_GE(packets, 3u);
  EXPECT_EQ(Lines(Vdecode({"-c", "2", SamplePath()}).out).size(), 2u);
  std::vector<std::string> third = Lines(Vdecode({"--packet", "3", SamplePath()}).out);
  ASSERT_EQ(third.size(), 1u);
  EXPECT_EQ(third[0].rfind("    3 ", 0), 0u);
  // Relative times count from the capture's first packet, printed or not.
  EXPECT_EQ(third[0].substr(6, 11), "   0.002000");
}

}  // namespace
}  // namespace vel::test
