// The decoding loop: packets from the source through the manager to the output.
#pragma once

#include "tools/vdecode/capture_filter.h"
#include "tools/vdecode/capture_input.h"
#include "tools/vdecode/options.h"
#include "vel/interfaces.h"

namespace vdecode {

class DecoderPool;

// Where packets are decoded: on the calling thread with manager, or by the
// pool's workers (null: no workers). Live captures are always decoded on the
// calling thread, so that each packet is written as soon as it arrives.
struct DecodingThreads {
  vel::IOrvDecoderManager* manager;
  DecoderPool* pool;
};

// Decodes and prints the packets the options select: those the capture
// filter (when given) passes, of a link type the engine decodes, whose
// decoding has a layer the options name (when they name any). Packets keep
// their numbers in the input. Returns the exit status. A damaged input ends
// the loop with its message after everything decoded before it has been
// written; packets of undecoded link types are counted in a closing line.
int DecodePackets(const Options& options, DecodingThreads& threads, PacketSource& source, CaptureFilter* filter);

}  // namespace vdecode
