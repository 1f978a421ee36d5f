#include "captures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host.h"
#include "results.h"

namespace vel::test {

Bytes ReadDataFile(const std::string& name) {
  std::ifstream in(std::string(VEL_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> CaptureFilesIn(const std::string& directory) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(VEL_TEST_DATA_DIR "/" + directory))
    if (entry.path().extension() == ".pcap" || entry.path().extension() == ".pcapng") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<Bytes> ReadPcapFrames(const std::string& name) {
  Bytes file = ReadDataFile(name);
  std::vector<Bytes> frames;
  if (file.size() < 24) return frames;
  uint32_t magic = file[0] | file[1] << 8 | file[2] << 16 | uint32_t{file[3]} << 24;
  bool swapped = magic == 0xD4C3B2A1 || magic == 0x4D3CB2A1;
  auto u32 = [&](size_t at) {
    uint32_t v = file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t{file[at + 3]} << 24;
    return swapped ? __builtin_bswap32(v) : v;
  };
  for (size_t at = 24; at + 16 <= file.size();) {
    uint32_t captured = u32(at + 8);
    if (captured > file.size() - at - 16) break;
    frames.emplace_back(file.begin() + at + 16, file.begin() + at + 16 + captured);
    at += 16 + captured;
  }
  return frames;
}

std::vector<std::string> DecodeCapture(IOrvDecoderManager* manager, const std::string& name) {
  std::vector<std::string> texts;
  for (const Bytes& frame : ReadPcapFrames(name)) texts.push_back(TextOf(Decode(manager, frame).get()));
  EXPECT_FALSE(texts.empty()) << name;
  return texts;
}

void SweepCapture(IOrvDecoderManager* manager, const std::string& name) {
  std::vector<Bytes> frames = ReadPcapFrames(name);
  EXPECT_FALSE(frames.empty()) << name;
  for (const Bytes& frame : frames) TruncationSweep(manager, frame);
}

}  // namespace vel::test
