// Real traffic nobody here wrote (tcpdump's public test suite: Ethernet
// captures in tests/data/tcpdump, other link types in
// tests/data/tcpdump-other-links) through vdecode: every capture decodes in
// both the tree and the JSON form, and every JSON line is valid JSON.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "capture_files.h"
#include "captures.h"
#include "process_runner.h"

namespace vel::test {
namespace {

// One vdecode run reads a share of the captures; a few run side by side.
constexpr size_t kShares = 2;
constexpr uint32_t kIPv4 = 1, kIPv6 = 52;

bool IsPcapng(const std::string& file) { return file.ends_with(".pcapng"); }

uint32_t ClassicLinkType(const std::string& pcap) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(pcap[20 + i]);
  return v;
}

std::vector<std::vector<std::string>> Shares(const std::vector<std::string>& files) {
  std::vector<std::vector<std::string>> shares(kShares);
  for (size_t i = 0; i < files.size(); ++i) shares[i * kShares / files.size()].push_back(files[i]);
  return shares;
}

// What standard error said about the run: packets skipped per file (of link
// types vdecode does not decode), and whether every other line reports a
// damaged capture.
struct ErrorLines {
  std::map<std::string, size_t> skipped;
  std::vector<std::string> others;
};

ErrorLines ReadErrors(const std::string& err) {
  ErrorLines lines;
  for (const std::string& line : Lines(err)) {
    size_t at = line.find(": skipped ");
    if (line.rfind("vdecode: ", 0) == 0 && at != std::string::npos &&
        line.find(" of link types vdecode does not decode: ") != std::string::npos)
      lines.skipped[line.substr(9, at - 9)] = std::stoul(line.substr(at + 10));
    else
      lines.others.push_back(line);
  }
  return lines;
}

// Exit 0 with nothing but skipped-packet notes on standard error, or exit 1
// with one line per damaged capture besides.
ErrorLines ExpectDecodedOrDamaged(const RunResult& run, const std::string& mode) {
  ErrorLines errors = ReadErrors(run.err);
  if (run.status == 0) {
    EXPECT_TRUE(errors.others.empty()) << mode << ": " << run.err;
    return errors;
  }
  EXPECT_EQ(run.status, 1) << mode << ": " << run.err;
  for (const std::string& line : errors.others)
    EXPECT_NE(line.find(": capture file is"), std::string::npos) << mode << ": " << line;
  return errors;
}

// The packets of a capture that vdecode decodes: all its records but those skipped.
size_t DecodedPackets(const std::string& file, const ErrorLines& errors) {
  std::string bytes = ReadFile(file);
  size_t records = IsPcapng(file) ? CountPcapngPackets(bytes) : CountRecords(bytes);
  auto skipped = errors.skipped.find(file);
  return records - (skipped == errors.skipped.end() ? 0 : skipped->second);
}

void ExpectTree(const RunResult& run, const std::vector<std::string>& files) {
  ErrorLines errors = ExpectDecodedOrDamaged(run, "-V");
  size_t headers = 0, packets = 0, expectedPackets = 0;
  for (const std::string& line : Lines(run.out)) {
    headers += line.rfind("==> ", 0) == 0;
    packets += line.rfind("Packet Info", 0) == 0;
  }
  for (const std::string& file : files) expectedPackets += DecodedPackets(file, errors);
  EXPECT_EQ(headers, files.size());
  if (run.status == 0) {
    EXPECT_EQ(packets, expectedPackets);
  }
}

// Each capture's objects are valid JSON, numbered in the capture's order.
// Returns the packets, by file.
std::map<std::string, std::vector<nlohmann::json>> ExpectJson(const RunResult& run, const std::vector<std::string>& files) {
  ErrorLines errors = ExpectDecodedOrDamaged(run, "--json");
  std::vector<std::string> lines = Lines(run.out);
  std::map<std::string, std::vector<nlohmann::json>> packets;
  size_t line = 0;
  for (const std::string& file : files) {
    size_t decoded = DecodedPackets(file, errors);
    uint64_t previous = 0;
    for (size_t k = 0; k < decoded && line < lines.size(); ++k, ++line) {
      nlohmann::json packet = nlohmann::json::parse(lines[line], nullptr, false);
      EXPECT_FALSE(packet.is_discarded()) << file << " packet " << k + 1;
      if (packet.is_discarded()) continue;
      if (run.status == 0) {
        EXPECT_GT(packet["number"].get<uint64_t>(), previous) << file;
      }
      previous = packet["number"].get<uint64_t>();
      packets[file].push_back(std::move(packet));
    }
  }
  EXPECT_EQ(line, lines.size());
  return packets;
}

// Runs every capture of the directory through -V and --json; returns the JSON packets by file.
std::map<std::string, std::vector<nlohmann::json>> DecodeEveryCapture(const std::vector<std::string>& files) {
  std::vector<std::vector<std::string>> shares = Shares(files);
  std::vector<Invocation> runs;
  for (const std::vector<std::string>& share : shares) {
    std::vector<std::string> tree = {VdecodePath(), "-V"}, json = {VdecodePath(), "--json"};
    tree.insert(tree.end(), share.begin(), share.end());
    json.insert(json.end(), share.begin(), share.end());
    runs.push_back({tree, {}, {}});
    runs.push_back({json, {}, {}});
  }
  std::vector<RunResult> results = RunPrograms(runs);
  std::map<std::string, std::vector<nlohmann::json>> packets;
  for (size_t i = 0; i < shares.size(); ++i) {
    ExpectTree(results[2 * i], shares[i]);
    packets.merge(ExpectJson(results[2 * i + 1], shares[i]));
  }
  return packets;
}

TEST(VdecodeCaptures, EveryCaptureDecodesAsTreeAndAsJson) {
  std::vector<std::string> files = CaptureFilesIn("tcpdump");
  ASSERT_GE(files.size(), 190u);
  DecodeEveryCapture(files);
}

// Linux cooked, raw IP and loopback captures decode their IP layers and
// above; pcapng files of several link types decode the packets of the link
// types the engine knows and count the others.
TEST(VdecodeCaptures, CapturesOfOtherLinkTypesDecodeFromTheirIpLayer) {
  std::vector<std::string> files = CaptureFilesIn("tcpdump-other-links");
  ASSERT_EQ(files.size(), 53u);
  std::map<std::string, std::vector<nlohmann::json>> packets = DecodeEveryCapture(files);
  std::set<uint32_t> linkTypes;
  for (const std::string& file : files) {
    if (IsPcapng(file)) continue;
    linkTypes.insert(ClassicLinkType(ReadFile(file)));
    ASSERT_FALSE(packets[file].empty()) << file;
    for (const nlohmann::json& packet : packets[file]) {
      const auto& groups = packet["groups"];
      EXPECT_TRUE(std::any_of(groups.begin(), groups.end(), [](const nlohmann::json& group) {
        return group["protocol"] == kIPv4 || group["protocol"] == kIPv6;
      })) << file << " packet " << packet["number"];
    }
  }
  EXPECT_EQ(linkTypes, (std::set<uint32_t>{kLinkNull, kLinkRawIp, kLinkLinuxCooked, kLinkIPv4, kLinkIPv6}));
}

}  // namespace
}  // namespace vel::test
