// Names of TLS cipher suites by their 16-bit code. The names are the suites'
// registered identifiers, the same in every language, so they are constants
// here rather than string-table texts.
#pragma once

#include <cstdint>
#include <string_view>

namespace vel {

// The name of the suite with this code; empty for a code without one.
std::u16string_view CipherSuiteName(uint32_t code);

}  // namespace vel
