// vdecode -j: several threads decode one capture and write exactly what one
// thread writes: the same packets in the same order, the same messages on
// standard error and the same exit status.
#include <gtest/gtest.h>

#include <filesystem>

#include "capture_files.h"
#include "captures.h"
#include "process_runner.h"

namespace vel::test {
namespace {

// Every Ethernet frame of the classic captures in tests/data/tcpdump, in one
// capture: thousands of packets of real traffic, so that many batches are
// under way at once.
std::string AllEthernetFrames() {
  std::vector<std::string> frames;
  for (const std::string& file : CaptureFilesIn("tcpdump")) {
    std::string name = std::filesystem::path(file).filename().string();
    std::string bytes = ReadFile(file);
    bool ethernet = !name.ends_with(".pcapng") && bytes.size() >= 24 && static_cast<uint8_t>(bytes[20]) == 1 &&
                    bytes[21] == 0 && bytes[22] == 0 && bytes[23] == 0;
    if (!ethernet) continue;
    for (const Bytes& frame : ReadPcapFrames("tcpdump/" + name)) frames.emplace_back(frame.begin(), frame.end());
  }
  return ClassicPcap(kLinkEthernet, frames);
}

// Runs vdecode with -j 1 and with -j 2 on the same arguments and expects the same result.
void ExpectSameWithTwoThreads(const std::vector<std::string>& args) {
  std::vector<Invocation> runs;
  for (const char* jobs : {"1", "2"}) {
    std::vector<std::string> line = {VdecodePath(), "-j", jobs};
    line.insert(line.end(), args.begin(), args.end());
    runs.push_back({line, {}, {}});
  }
  std::vector<RunResult> results = RunPrograms(runs);
  std::string what = args.front() + (args.size() > 1 ? " " + args[1] : "");
  EXPECT_FALSE(results[0].out.empty()) << what;
  EXPECT_EQ(results[0].status, results[1].status) << what;
  EXPECT_EQ(results[0].err, results[1].err) << what;
  // Compared as a whole, not printed: the outputs run to megabytes.
  EXPECT_TRUE(results[0].out == results[1].out) << what << ": the outputs differ";
}

TEST(VdecodeJobs, EveryCaptureGivesTheSameJsonOnTwoThreads) {
  std::vector<std::string> args = {"--json"};
  for (const char* directory : {"tcpdump", "tcpdump-other-links"})
    for (const std::string& file : CaptureFilesIn(directory)) args.push_back(file);
  ASSERT_GT(args.size(), 240u);
  ExpectSameWithTwoThreads(args);
}

TEST(VdecodeJobs, ALongCaptureGivesTheSameOutputInEveryModeOnTwoThreads) {
  TempDir dir;
  std::string capture = dir.Write("all.pcap", AllEthernetFrames());
  ASSERT_GT(CountRecords(ReadFile(capture)), 2000u);
  ExpectSameWithTwoThreads({"--json", capture});
  ExpectSameWithTwoThreads({"-V", capture});
  ExpectSameWithTwoThreads({"-x", "-t", "ad", capture});
  // Stopping after a count that the workers read past, and printing only some packets.
  ExpectSameWithTwoThreads({"-c", "1000", capture});
  ExpectSameWithTwoThreads({"--protocol", "DNS", "-c", "40", capture});
  ExpectSameWithTwoThreads({"--packet", "1500", capture});
}

}  // namespace
}  // namespace vel::test
