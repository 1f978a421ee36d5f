// The sample capture and the tool that writes it: the committed capture is
// exactly what mksample makes of samples/frames, and it shows every protocol
// the engine's modules decode.
#include <gtest/gtest.h>

#include <set>

#include <nlohmann/json.hpp>

#include "capture_files.h"
#include "process_runner.h"

namespace vel::test {
namespace {

TEST(Mksample, CommittedSampleMatchesTheFrameFiles) {
  TempDir dir;
  std::string regenerated = dir.File("sample.pcap");
  RunResult run = RunProgram({{MksamplePath(), regenerated, SourcePath("samples/frames")}, {}, {}});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(ReadFile(regenerated) == ReadFile(SourcePath("samples/sample.pcap")))
      << "samples/sample.pcap is out of date: rebuild it with the 'sample' target";
}

TEST(Mksample, FramesAreStampedAMillisecondApart) {
  TempDir dir;
  dir.Write("a.txt", "# two frames\n00 11\n2233\n\n# the second\n4455\n");
  dir.Write("b.txt", "66\n");
  dir.Write("ignored.md", "zz\n");
  std::string out = dir.File("out.pcap");
  ASSERT_EQ(RunProgram({{MksamplePath(), out, dir.path()}, {}, {}}).status, 0);
  std::string expected = ClassicPcap(kLinkEthernet, {});
  auto record = [](uint32_t micros, const std::string& frame) {
    std::string r;
    for (uint32_t v : {1704067200u, micros, uint32_t(frame.size()), uint32_t(frame.size())})
      for (int shift = 0; shift < 32; shift += 8) r += static_cast<char>(v >> shift & 0xFF);
    return r + frame;
  };
  expected += record(0, std::string("\x00\x11\x22\x33", 4)) + record(1000, "\x44\x55") + record(2000, "\x66");
  EXPECT_TRUE(ReadFile(out) == expected);
}

TEST(Mksample, BadFrameFilesAreRefusedWithTheirLine) {
  TempDir dir;
  dir.Write("bad.txt", "# comment\n0011\n22g3\n");
  RunResult badDigit = RunProgram({{MksamplePath(), dir.File("out.pcap"), dir.path()}, {}, {}});
  EXPECT_EQ(badDigit.status, 1);
  EXPECT_EQ(badDigit.err, "mksample: " + dir.File("bad.txt") + ":3: 'g' is not a hex digit\n");

  dir.Write("bad.txt", "001\n\n");
  RunResult halfByte = RunProgram({{MksamplePath(), dir.File("out.pcap"), dir.path()}, {}, {}});
  EXPECT_EQ(halfByte.status, 1);
  EXPECT_EQ(halfByte.err, "mksample: " + dir.File("bad.txt") + ":2: the frame ends with half a byte\n");
}

TEST(Mksample, CommittedLinkSamplesMatchTheirFrameFiles) {
  TempDir dir;
  std::string links = SourcePath("samples/links/"), frames = SourcePath("samples/frames/");
  struct Sample {
    std::string name;
    std::vector<std::string> args;
  } samples[] = {
      {"sll2.pcap", {"--link-type", "276", dir.File("sll2.pcap"), links + "sll2.txt"}},
      {"raw-ip.pcap", {"--link-type", "12", dir.File("raw-ip.pcap"), links + "raw.txt"}},
      {"loop.pcap", {"--link-type", "108", dir.File("loop.pcap"), links + "loop.txt"}},
      {"mixed.pcapng",
       {"--pcapng", dir.File("mixed.pcapng"), "1:" + frames + "tcp_udp.txt", "101:" + links + "raw.txt",
        "147:" + links + "private.txt"}},
  };
  for (const Sample& sample : samples) {
    std::vector<std::string> args = sample.args;
    args.insert(args.begin(), MksamplePath());
    RunResult run = RunProgram({args, {}, {}});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(ReadFile(dir.File(sample.name)) == ReadFile(links + sample.name))
        << "samples/links/" << sample.name << " is out of date: rebuild it with the 'sample' target";
  }
}


TEST(Mksample, PcapngInterfacesTakeTurns) {
  TempDir dir;
  dir.Write("a.txt", "0011\n\n2233\n");
  dir.Write("b.txt", "4455\n");
  std::string out = dir.File("out.pcapng");
  RunResult run = RunProgram({{MksamplePath(), "--pcapng", out, "1:" + dir.File("a.txt"), "101:" + dir.File("b.txt")}, {}, {}});
  ASSERT_EQ(run.status, 0) << run.err;
  constexpr uint64_t kStart = 1704067200000000;
  std::string expected = PcapngSection({{kLinkEthernet}, {kLinkRawIp}}, {{0, kStart, std::string("\x00\x11", 2)},
                                                                         {1, kStart + 1000, "\x44\x55"},
                                                                         {0, kStart + 2000, "\x22\x33"}});
  EXPECT_TRUE(ReadFile(out) == expected);

  RunResult bad = RunProgram({{MksamplePath(), "--pcapng", out, dir.File("a.txt")}, {}, {}});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err.rfind("mksample: '" + dir.File("a.txt") + "' is not LINKTYPE:FRAMES\nusage: ", 0), 0u) << bad.err;
}

TEST(Mksample, SampleShowsEveryModuleOfTheGraph) {
  TempDir emptyStore;
  RunResult json = RunProgram({{VdecodePath(), "--json", SourcePath("samples/sample.pcap")}, {},
                               {{"VEL_REGISTRY_ROOT", emptyStore.path()}}});
  ASSERT_EQ(json.status, 0) << json.err;
  std::set<uint32_t> shown;
  for (const std::string& line : Lines(json.out)) {
    const nlohmann::json packet = nlohmann::json::parse(line);
    for (const auto& group : packet["groups"]) shown.insert(group["protocol"].get<uint32_t>());
  }

  RunResult modules = RunProgram({{VdecodePath(), "--modules"}, {}, {{"VEL_REGISTRY_ROOT", emptyStore.path()}}});
  std::vector<std::string> lines = Lines(modules.out);
  ASSERT_GT(lines.size(), 1u);
  for (size_t i = 1; i < lines.size(); ++i) {
    // "{CLASS}  TYPE  PROTOCOL ..."
    uint32_t type = static_cast<uint32_t>(std::stoul(lines[i].substr(40, 4)));
    EXPECT_TRUE(shown.count(type)) << "no frame of the sample shows protocol type " << type << ": " << lines[i];
  }
}

}  // namespace
}  // namespace vel::test
