// The decoding loop: packets from the source through the manager to the output.
#pragma once

#include "tools/vdecode/capture_input.h"
#include "tools/vdecode/options.h"
#include "vel/interfaces.h"

namespace vdecode {

// Decodes and prints the packets the options select; returns the exit
// status. A damaged input ends the loop with its message after everything
// decoded before it has been written.
int DecodePackets(const Options& options, vel::IOrvDecoderManager* manager, PacketSource& source);

}  // namespace vdecode
