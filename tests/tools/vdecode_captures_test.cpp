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

std::vector<std::string> Captures() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(VEL_TEST_DATA_DIR "/tcpdump"))
    if (entry.path().extension() == ".pcap") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// Exit 0 and nothing on standard error, or exit 1 with one line naming the damage.
void ExpectDecodedOrDamaged(const RunResult& run, const std::string& context) {
  if (run.status == 0) {
    EXPECT_EQ(run.err, "") << context;
    return;
  }
  EXPECT_EQ(run.status, 1) << context << ": " << run.err;
  EXPECT_EQ(Lines(run.err).size(), 1u) << context << ": " << run.err;
  EXPECT_NE(run.err.find("capture file is"), std::string::npos) << context << ": " << run.err;
}

TEST(VdecodeCaptures, EveryCaptureDecodesAsTreeAndAsJson) {
  std::vector<std::string> files = Captures();
  ASSERT_GE(files.size(), 190u);
  std::vector<Invocation> runs;
  for (const std::string& file : files) {
    runs.push_back({{VdecodePath(), "-V", file}, {}, {}});
    runs.push_back({{VdecodePath(), "--json", file}, {}, {}});
  }
  std::vector<RunResult> results = RunPrograms(runs);
  for (size_t i = 0; i < files.size(); ++i) {
    const RunResult& tree = results[2 * i];
    const RunResult& json = results[2 * i + 1];
    ExpectDecodedOrDamaged(tree, files[i] + " -V");
    ExpectDecodedOrDamaged(json, files[i] + " --json");
    std::vector<std::string> lines = Lines(json.out);
    if (json.status == 0) {
      EXPECT_EQ(lines.size(), CountRecords(ReadFile(files[i]))) << files[i];
    }
    for (size_t k = 0; k < lines.size(); ++k) {
      nlohmann::json packet = nlohmann::json::parse(lines[k], nullptr, false);
      ASSERT_FALSE(packet.is_discarded()) << files[i] << " packet " << k + 1;
      EXPECT_EQ(packet["number"], k + 1) << files[i];
    }
  }
}

}  // namespace
}  // namespace vel::test
