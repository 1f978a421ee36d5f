// libFuzzer target: arbitrary bytes as a pcapng file, read to its end or to
// the first damage by vdecode's pcapng reader. Every packet's bytes are
// touched, so a span that points past the block is reported.
#include <cstdio>
#include <cstring>

#include "tools/vdecode/pcapng_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  vdecode::PcapngReader reader(file);
  vdecode::PcapngPacket packet;
  uint32_t sum = 0;
  try {
    while (reader.Next(packet))
      for (uint8_t byte : packet.data) sum += byte;
  } catch (const vdecode::PcapngError&) {
    // A damaged file ends the reading: that is the reader's answer.
  }
  std::fclose(file);
  return static_cast<int>(sum & 0);
}
