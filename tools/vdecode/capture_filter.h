// Capture filters in libpcap's syntax ("udp port 53"), compiled by libpcap
// for each link type they meet and applied to packets read from files.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "tools/vdecode/capture_input.h"

struct bpf_program;

namespace vdecode {

// An expression libpcap does not compile (for a link type); the message names
// the expression and libpcap's complaint.
class FilterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CaptureFilter {
 public:
  explicit CaptureFilter(std::string expression) : expression_(std::move(expression)) {}

  // Whether the packet passes. Throws FilterError when the expression does
  // not compile for the packet's link type.
  bool Matches(const RawPacket& packet);
  // Compiles the expression for a link type ahead of the first packet, so a
  // bad expression is reported also for an input without packets.
  void Prepare(uint32_t linkType) { ProgramFor(linkType); }

 private:
  struct ProgramDeleter {
    void operator()(bpf_program* program) const;
  };
  using Program = std::unique_ptr<bpf_program, ProgramDeleter>;

  const bpf_program& ProgramFor(uint32_t linkType);

  std::string expression_;
  std::map<uint32_t, Program> programs_;
};

// The message for an expression libpcap refused, with what libpcap said.
std::string FilterProblem(const std::string& expression, const std::string& reason);

}  // namespace vdecode
