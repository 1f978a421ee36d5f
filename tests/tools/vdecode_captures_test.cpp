// Real traffic nobody here wrote (tcpdump's public test suite, in
// tests/data/tcpdump) through vdecode: every capture decodes in both the tree
// and the JSON form, and every JSON line is valid JSON.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "capture_files.h"
#include "process_runner.h"

namespace vel::test {
namespace {

// One vdecode run reads a share of the captures; a few run side by side.
constexpr size_t kShares = 2;

std::vector<std::string> Captures() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(VEL_TEST_DATA_DIR "/tcpdump"))
    if (entry.path().extension() == ".pcap") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::vector<std::string>> Shares(const std::vector<std::string>& files) {
  std::vector<std::vector<std::string>> shares(kShares);
  for (size_t i = 0; i < files.size(); ++i) shares[i * kShares / files.size()].push_back(files[i]);
  return shares;
}

// Exit 0 and nothing on standard error, or exit 1 with one line per damaged capture.
void ExpectDecodedOrDamaged(const RunResult& run, const std::string& mode) {
  if (run.status == 0) {
    EXPECT_EQ(run.err, "") << mode;
    return;
  }
  EXPECT_EQ(run.status, 1) << mode << ": " << run.err;
  for (const std::string& line : Lines(run.err))
    EXPECT_NE(line.find(": capture file is"), std::string::npos) << mode << ": " << line;
}

void ExpectTree(const RunResult& run, const std::vector<std::string>& files) {
  ExpectDecodedOrDamaged(run, "-V");
  size_t headers = 0, packets = 0, expectedPackets = 0;
  for (const std::string& line : Lines(run.out)) {
    headers += line.rfind("==> ", 0) == 0;
    packets += line.rfind("Packet Info", 0) == 0;
  }
  for (const std::string& file : files) expectedPackets += CountRecords(ReadFile(file));
  EXPECT_EQ(headers, files.size());
  if (run.status == 0) {
    EXPECT_EQ(packets, expectedPackets);
  }
}

// Each capture's objects are numbered from 1 up to its record count.
void ExpectJson(const RunResult& run, const std::vector<std::string>& files) {
  ExpectDecodedOrDamaged(run, "--json");
  std::vector<std::string> lines = Lines(run.out);
  size_t line = 0;
  for (const std::string& file : files) {
    size_t records = CountRecords(ReadFile(file));
    for (size_t number = 1; number <= records && line < lines.size(); ++number, ++line) {
      nlohmann::json packet = nlohmann::json::parse(lines[line], nullptr, false);
      ASSERT_FALSE(packet.is_discarded()) << file << " packet " << number;
      if (run.status == 0) {
        EXPECT_EQ(packet["number"], number) << file;
      }
    }
  }
  EXPECT_EQ(line, lines.size());
}

TEST(VdecodeCaptures, EveryCaptureDecodesAsTreeAndAsJson) {
  std::vector<std::string> files = Captures();
  ASSERT_GE(files.size(), 190u);
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
  for (size_t i = 0; i < shares.size(); ++i) {
    ExpectTree(results[2 * i], shares[i]);
    ExpectJson(results[2 * i + 1], shares[i]);
  }
}

}  // namespace
}  // namespace vel::test
