// Exit statuses and the one-line error messages on standard error.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vdecode {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitInputError = 1;
inline constexpr int kExitUsageError = 2;

// Prints "vdecode: message", a remark or a problem that does not stop the run.
inline void Note(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "vdecode: %s\n", message.c_str());
}

// Prints "vdecode: message" and returns status, for `return Fail(...)`.
inline int Fail(int status, const std::string& message) {
  Note(message);  // what was decoded before the problem comes first
  return status;
}

inline std::string ResultText(int32_t result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(result));
  return text;
}

}  // namespace vdecode
