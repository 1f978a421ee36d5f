// The --modules listing: the decoder modules of the manager's graph.
#pragma once

#include <string>

#include "vel/interfaces.h"

namespace vdecode {

// One line per module in graph order: class id, protocol type with its short
// name, module name, and whether it is enabled; a heading line first.
std::string ModuleListing(vel::IOrvDecoderManager* manager);

}  // namespace vdecode
