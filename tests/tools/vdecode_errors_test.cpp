// Every way vdecode refuses: one line on standard error naming the problem,
// exit status 2 for a bad command line (a bad capture filter included) and 1
// for bad input; what was decoded before a damaged part of a capture is still
// printed.
#include <gtest/gtest.h>

#include "capture_files.h"
#include "process_runner.h"
#include "test_support.h"

namespace vel::test {
namespace {

constexpr int kInputError = 1;
constexpr int kUsageError = 2;

struct Refusal {
  std::vector<std::string> args;
  int status;
  std::string message;  // part of the line after "vdecode: "
};

void ExpectOneLine(const RunResult& run, const std::string& message, const std::string& context) {
  EXPECT_EQ(Lines(run.err).size(), 1u) << context << ": " << run.err;
  EXPECT_EQ(run.err.rfind("vdecode: ", 0), 0u) << context << ": " << run.err;
  EXPECT_TRUE(run.err.ends_with("\n")) << context;
  EXPECT_NE(run.err.find(message), std::string::npos) << context << ": " << run.err;
}

void ExpectRefusals(const std::vector<Refusal>& refusals) {
  std::vector<Invocation> runs;
  for (const Refusal& refusal : refusals) {
    std::vector<std::string> args = refusal.args;
    args.insert(args.begin(), VdecodePath());
    runs.push_back({args, {}, {}});
  }
  std::vector<RunResult> results = RunPrograms(runs);
  for (size_t i = 0; i < refusals.size(); ++i) {
    std::string context = "case " + std::to_string(i) + " (" + refusals[i].message + ")";
    EXPECT_EQ(results[i].status, refusals[i].status) << context;
    EXPECT_EQ(results[i].out, "") << context;
    ExpectOneLine(results[i], refusals[i].message, context);
  }
}

std::string Sample() { return ReadFile(SourcePath("samples/sample.pcap")); }

TEST(VdecodeErrors, BadCommandLines) {
  std::string sample = SourcePath("samples/sample.pcap");
  ExpectRefusals({
      {{}, kUsageError, "no input: give a capture file"},
      {{"--bogus", sample}, kUsageError, "--bogus"},
      {{"--hex", "00", sample}, kUsageError, "give either capture files or --hex, not both"},
      {{"-", sample, "-"}, kUsageError, "standard input (-) can be read only once"},
      {{"--time", "5", sample}, kUsageError, "--time requires --hex"},
      {{"-c", "0", sample}, kUsageError, "--count: '0' is not a whole number of at least 1"},
      {{"--packet", "x", sample}, kUsageError, "--packet: 'x' is not a whole number"},
      {{"--offset", "-1", "--hex", "00"}, kUsageError, "--offset: '-1' is not a whole number from 0 to 4294967295"},
      {{"--json", "-V", sample}, kUsageError, "--json"},
      {{"--lang", "fr", "--hex", "00"}, kUsageError, "--lang: fr not in {en,zh}"},
      {{"-t", "x", "--hex", "00"}, kUsageError, "-t: x not in {r,a,ad,e}"},
      {{"--modules", sample}, kUsageError, "cannot be combined with --modules"},
      {{"-D", sample}, kUsageError, "cannot be combined with --modules, -D"},
      {{"-p", sample}, kUsageError, "--no-promiscuous-mode requires --interface"},
      {{"-s", "0", "-i", "lo"}, kUsageError, "--snapshot-length: '0' is not a whole number from 1 to 262144"},
      {{"-i", "lo", sample}, kUsageError, "give either capture files or -i, not both"},
      {{"-i", "lo", "--hex", "00"}, kUsageError, "--hex excludes --interface"},
      {{"-f", "udp", sample, "tcp"}, kUsageError, "give the capture filter either with -f or after the inputs, not both"},
      {{sample, "udp prt 53"}, kUsageError, "bad capture filter 'udp prt 53': "},
      {{"-f", "udp prt 53", "--hex", "00"}, kUsageError, "bad capture filter 'udp prt 53': "},
  });
}

TEST(VdecodeErrors, BadHex) {
  ExpectRefusals({
      {{"--hex", "00 1g"}, kUsageError, "--hex: 'g' at position 5 is not a hex digit"},
      {{"--hex", "001"}, kUsageError, "--hex: odd number of hex digits"},
      {{"--hex", "0 0"}, kUsageError, "--hex: a byte is split by a blank at position 2"},
      {{"--hex", " : "}, kUsageError, "--hex: no bytes given"},
      {{"--hex", "00\xC3\xA4"}, kUsageError, "--hex: byte 0xC3 at position 3 is not a hex digit"},
  });
}

TEST(VdecodeErrors, InputsThatAreNoDecodableCaptures) {
  TempDir dir;
  std::string missing = dir.File("missing.pcap");
  std::string empty = dir.Write("empty.pcap", "");
  std::string text = dir.Write("notes.txt", "not a capture at all\n");
  std::string shortHeader = dir.Write("short.pcap", Sample().substr(0, 10));
  std::string wireless = dir.Write("wireless.pcap", ClassicPcap(kLinkIeee80211, {"abcd"}));
  ExpectRefusals({
      {{missing}, kInputError, missing + ": cannot open: No such file or directory"},
      {{dir.path()}, kInputError, dir.path() + ": is a directory, not a capture file"},
      {{empty}, kInputError, empty + ": is empty, not a capture file"},
      {{text}, kInputError, text + ": not a pcap or pcapng capture (unknown file format)"},
      {{shortHeader}, kInputError, shortHeader + ": not a pcap or pcapng capture (truncated dump file"},
      {{wireless}, kInputError, wireless + ": link type IEEE802_11 (802.11, 105) is not supported"},
      {{"-i", "nosuch0"}, kInputError, "nosuch0: no such interface"},
      {{"--packet", "999", SourcePath("samples/sample.pcap")}, kInputError, "sample.pcap: there is no packet 999; it holds"},
  });
}

TEST(VdecodeErrors, PacketsBeforeDamageAreStillPrinted) {
  TempDir dir;
  std::string sample = Sample();
  size_t packets = CountRecords(sample);
  ASSERT_GE(packets, 2u);
  std::string lastPacketCut = dir.Write("cut.pcap", sample.substr(0, sample.size() - 5));
  std::string headerCut = dir.Write("header.pcap", sample + std::string(6, '\0'));
  // A record that claims four gigabytes.
  std::string hugeRecord = sample + std::string("\x01\0\0\0\0\0\0\0\xF0\xFF\xFF\xFF\xF0\xFF\xFF\xFF", 16);
  std::string damaged = dir.Write("damaged.pcap", hugeRecord);
  struct Case {
    std::string file;
    size_t printed;
    std::string message;
  } cases[] = {
      {lastPacketCut, packets - 1,
       lastPacketCut + ": capture file is truncated after packet " + std::to_string(packets - 1) + " (tried to read"},
      {headerCut, packets,
       headerCut + ": capture file is truncated after packet " + std::to_string(packets) +
           " (tried to read 16 header bytes, only got 6)"},
      {damaged, packets, damaged + ": capture file is damaged after packet " + std::to_string(packets)},
  };
  for (const Case& c : cases) {
    RunResult run = Vdecode({c.file});
    EXPECT_EQ(run.status, kInputError) << c.file;
    EXPECT_EQ(Lines(run.out).size(), c.printed) << c.file << "\n" << run.out;
    ExpectOneLine(run, c.message, c.file);
  }
  // The same from standard input, where the input is named as such.
  RunResult piped = Vdecode({"-"}, ReadFile(lastPacketCut));
  EXPECT_EQ(Lines(piped.out).size(), packets - 1);
  ExpectOneLine(piped, "standard input: capture file is truncated after packet", "standard input");
}

TEST(VdecodeErrors, AProblemWithOneOfSeveralFilesLeavesTheOthers) {
  TempDir dir;
  std::string sample = SourcePath("samples/sample.pcap");
  size_t packets = CountRecords(Sample());
  std::string missing = dir.File("missing.pcap");
  RunResult run = Vdecode({sample, missing, sample});
  EXPECT_EQ(run.status, kInputError);
  ExpectOneLine(run, missing + ": cannot open", "missing second file");
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 2 * packets + 3);
  EXPECT_EQ(lines[0], "==> " + sample + " <==");
  EXPECT_EQ(lines[packets + 1], "==> " + missing + " <==");
  EXPECT_EQ(lines[packets + 2], "==> " + sample + " <==");
  EXPECT_EQ(lines[packets + 3].rfind("    1 ", 0), 0u);  // numbering starts again
}

}  // namespace
}  // namespace vel::test
