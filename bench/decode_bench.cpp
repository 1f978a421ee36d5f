// Decoding throughput: a capture loaded into memory, repeated to at least
// 100,000 packets, decoded packet by packet (a) alone, (b) with the text
// rendering, (c) with the JSON form, and (d) alone by one to as many threads
// as there are cores, each with a decoder manager of its own, all decoding
// the capture at once (the rate is their sum). Each reports packets per second.
//
//   vel_bench [benchmark options]    VEL_BENCH_CAPTURE=file.pcap picks another capture
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tools/vdecode/capture_input.h"
#include "tools/vdecode/engine_setup.h"
#include "tools/vdecode/json_output.h"
#include "tools/vdecode/packet_record.h"

namespace {

using namespace vel;
using vdecode::PacketRecord;

constexpr size_t kMinimumPackets = 100000;

std::string CapturePath() {
  const char* chosen = std::getenv("VEL_BENCH_CAPTURE");
  return chosen && *chosen ? chosen : VEL_SAMPLE_CAPTURE;
}

// The capture's packets, numbered on through the repetitions.
std::vector<PacketRecord> LoadPackets() {
  std::vector<PacketRecord> once;
  auto source = vdecode::OpenCaptureFile(CapturePath());
  for (vdecode::RawPacket packet; source->Next(packet);)
    once.emplace_back(static_cast<uint32_t>(once.size() + 1), packet.timestamp, packet.frame, packet.originalLength);
  if (once.empty()) throw vdecode::InputError(CapturePath() + ": holds no packets");

  std::vector<PacketRecord> packets;
  packets.reserve(kMinimumPackets + once.size());
  while (packets.size() < kMinimumPackets)
    for (const PacketRecord& record : once)
      packets.emplace_back(static_cast<uint32_t>(packets.size() + 1), record.header().TimeStamp, record.frame(),
                           record.header().OriginalLength);
  return packets;
}

const std::vector<PacketRecord>& Packets() {
  static const std::vector<PacketRecord> packets = LoadPackets();
  return packets;
}

ComPtr<IOrvDecoderManager> Manager() {
  ComPtr<IOrvDecoderManager> manager;
  if (FAILED(vdecode::CreateDecoderManager(manager))) std::abort();
  return manager;
}

// Decodes every packet once per iteration and hands each result to use().
// Each thread of a multi-threaded run has a manager of its own.
template <class Use>
void DecodeAll(benchmark::State& state, Use use) {
  const std::vector<PacketRecord>& packets = Packets();
  ComPtr<IOrvDecoderManager> manager = Manager();
  for (auto _ : state) {
    for (const PacketRecord& packet : packets) {
      ComPtr<IVELPacketsDecodingInfo> info;
      manager->Decode(packet.data(), &info);
      use(info.get());
    }
  }
  // The library adds up the counters of all threads and divides a rate by
  // the threads' times added up; counting each thread's packets once per
  // thread makes the rate all threads' packets per second of wall clock.
  state.counters["packets_per_second"] =
      benchmark::Counter(static_cast<double>(packets.size()) * static_cast<double>(state.iterations()) *
                             static_cast<double>(state.threads()),
                         benchmark::Counter::kIsRate);
  state.counters["packets"] = static_cast<double>(packets.size());
}

void DecodeOnly(benchmark::State& state) {
  DecodeAll(state, [](IVELPacketsDecodingInfo* info) { benchmark::DoNotOptimize(info); });
}

void DecodeAndText(benchmark::State& state) {
  DecodeAll(state, [](IVELPacketsDecodingInfo* info) {
    Bstr text;
    info->GetText(&text);
    benchmark::DoNotOptimize(text.view().data());
  });
}

void DecodeAndJson(benchmark::State& state) {
  std::string line;
  DecodeAll(state, [&line](IVELPacketsDecodingInfo* info) {
    line.clear();
    vdecode::AppendPacketJsonLine(line, info);
    benchmark::DoNotOptimize(line.data());
  });
}

BENCHMARK(DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DecodeAndText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DecodeAndJson)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DecodeOnly)
    ->Name("DecodeOnlyManagers")
    ->DenseThreadRange(1, static_cast<int>(std::max(1u, std::thread::hardware_concurrency())))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    std::printf("capture: %s, %zu packets a pass\n", CapturePath().c_str(), Packets().size());
  } catch (const vdecode::InputError& problem) {
    std::fprintf(stderr, "vel_bench: %s\n", problem.what());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
