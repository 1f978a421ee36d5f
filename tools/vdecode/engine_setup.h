// Creating the decoder manager the way every host of the engine does.
#pragma once

#include <string>
#include <vector>

#include "vel/interfaces.h"

namespace vdecode {

// Creates and initialises a decoder manager. The graph then holds the modules
// of the store's module list; when the store lists none (a machine where the
// library was never registered), the library's built-in modules are added in
// their registration order, each named as the module list names it, as any
// host may add modules itself. The root is named kRootModuleName. The lines
// the engine writes to its diagnostic log meanwhile (an extension library it
// refused to load) are added to log, without their line ends.
vel::HRESULT CreateDecoderManager(vel::ComPtr<vel::IOrvDecoderManager>& manager,
                                  std::vector<std::string>* log = nullptr);

inline constexpr const char16_t* kRootModuleName = u"Ethernet Decoder";

}  // namespace vdecode
