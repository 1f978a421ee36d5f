// Live capture on the loopback interface, driven from outside: vdecode
// captures the UDP datagrams the test sends to 127.0.0.1 itself. Capturing
// needs the right to (the suite runs as root in CI); without it the tests
// skip and say why.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include <nlohmann/json.hpp>

#include "process_runner.h"

namespace vel::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kPatience = 10s;
constexpr int kMostDatagrams = 200;

// A port for this test process alone, so that runs side by side do not see each other's datagrams.
uint16_t TestPort(int n) { return static_cast<uint16_t>(20000 + (getpid() * 3 + n) % 30000); }

void SendDatagram(uint16_t port) {
  int s = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(s, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const char payload[] = "vdecode live test";
  sendto(s, payload, sizeof payload - 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  close(s);
}

// Starts vdecode capturing on lo and waits until it listens. Returns null
// with the reason in `refused` when it may not capture.
std::unique_ptr<RunningProgram> StartCapture(std::vector<std::string> args, std::string& refused) {
  args.insert(args.begin(), {VdecodePath(), "-i", "lo"});
  auto program = std::make_unique<RunningProgram>(Invocation{args, {}, {}});
  auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (program->ErrorSoFar().find("listening on lo") == std::string::npos) {
    if (!program->Running() || std::chrono::steady_clock::now() > deadline) {
      RunResult ended = program->Wait(1s);
      refused = "vdecode may not capture on lo here: " + ended.err;
      return nullptr;
    }
    std::this_thread::sleep_for(10ms);
  }
  return program;
}

size_t LineCount(const std::string& text) { return Lines(text).size(); }

TEST(VdecodeLive, CapturesACountOfDatagramsOnLoopback) {
  uint16_t port = TestPort(1);
  std::string refused;
  auto program = StartCapture({"-c", "3", "--json", "udp dst port " + std::to_string(port)}, refused);
  if (!program) GTEST_SKIP() << refused;
  for (int sent = 0; sent < kMostDatagrams && program->Running(); ++sent) {
    SendDatagram(port);
    std::this_thread::sleep_for(20ms);
  }
  RunResult run = program->Wait(kPatience);
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  for (size_t i = 0; i < lines.size(); ++i) {
    nlohmann::json packet = nlohmann::json::parse(lines[i]);
    EXPECT_EQ(packet["number"], i + 1);
    const nlohmann::json& udp = packet["groups"].back();
    EXPECT_EQ(udp["name"], "UDP - User Datagram Protocol");
    EXPECT_EQ(udp["children"][1]["value"].get<std::string>().rfind(std::to_string(port) + " (", 0), 0u) << lines[i];
  }
  std::vector<std::string> errors = Lines(run.err);
  ASSERT_EQ(errors.size(), 2u) << run.err;
  EXPECT_EQ(errors[0].rfind("vdecode: listening on lo, link type EN10MB (Ethernet, 1), snapshot length 262144 bytes", 0),
            0u);
  EXPECT_EQ(errors[1].rfind("vdecode: lo: 3 packets captured, ", 0), 0u) << errors[1];
  EXPECT_TRUE(errors[1].ends_with(" dropped by the kernel")) << errors[1];
}

// SIGINT (Ctrl-C) and SIGTERM end a capture cleanly: every packet captured so
// far is printed whole, and the closing line counts them.
TEST(VdecodeLive, SignalsEndTheCaptureWithTheClosingLine) {
  for (int signal : {SIGINT, SIGTERM}) {
    uint16_t port = TestPort(2 + signal);
    std::string refused;
    auto program = StartCapture({"-s", "128", "udp dst port " + std::to_string(port)}, refused);
    if (!program) GTEST_SKIP() << refused;
    for (int sent = 0; sent < kMostDatagrams && LineCount(program->OutputSoFar()) < 2; ++sent) {
      SendDatagram(port);
      std::this_thread::sleep_for(20ms);
    }
    program->Signal(signal);
    RunResult run = program->Wait(kPatience);
    EXPECT_EQ(run.status, 0) << run.err;
    size_t packets = LineCount(run.out);
    EXPECT_GE(packets, 2u);
    for (const std::string& line : Lines(run.out)) EXPECT_NE(line.find(" UDP "), std::string::npos) << line;
    std::vector<std::string> errors = Lines(run.err);
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.front().find("snapshot length 128 bytes"), std::string::npos) << errors.front();
    EXPECT_EQ(errors.back().rfind("vdecode: lo: " + std::to_string(packets) + " packets captured, ", 0), 0u)
        << "signal " << signal << ": " << run.err;
  }
}

// Without the right to capture: one clear line and exit 1. The test drops
// root's rights with setpriv, so it needs both.
TEST(VdecodeLive, WithoutTheRightToCaptureOneLine) {
  const char* setpriv = "/usr/bin/setpriv";
  if (geteuid() != 0 || !std::filesystem::exists(setpriv)) GTEST_SKIP() << "needs root and " << setpriv;
  RunResult run = RunProgram({{setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--inh-caps=-all",
                               "--bounding-set=-all", VdecodePath(), "-i", "lo"},
                              {},
                              {}});
  if (run.status == 126 || run.status == 127 || run.err.find("setpriv") != std::string::npos)
    GTEST_SKIP() << "nobody may not run vdecode here: " << run.err;
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
  EXPECT_EQ(run.err.rfind("vdecode: lo: no permission to capture", 0), 0u) << run.err;
}

TEST(VdecodeLive, ListsTheInterfaces) {
  RunResult run = RunProgram({{VdecodePath(), "-D"}, {}, {}});
  ASSERT_EQ(run.status, 0) << run.err;
  bool loopback = false;
  for (const std::string& line : Lines(run.out)) loopback |= line.find(".lo [") != std::string::npos &&
                                                            line.find("Loopback") != std::string::npos;
  EXPECT_TRUE(loopback) << run.out;
}

}  // namespace
}  // namespace vel::test
