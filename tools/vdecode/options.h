// The command line of vdecode.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vdecode {

// A command line that cannot be carried out; the message names the problem.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Command { kDecode, kListModules, kListInterfaces, kRegister, kUnregister };
enum class OutputMode { kSummary, kVerbose, kJson };
// Time column of the summary line: seconds since the first packet, time of
// day, date and time, or seconds since 1970.
enum class TimeFormat { kRelative, kAbsolute, kAbsoluteWithDate, kEpoch };

struct Options {
  Command command = Command::kDecode;

  // Input: capture files, decoded one after the other ("-" for standard
  // input), one frame given as hex, or live capture from an interface.
  std::vector<std::string> files;
  bool hexInput = false;
  std::vector<uint8_t> hexFrame;
  uint64_t hexTimestamp = 0;
  std::optional<std::string> interface;
  bool promiscuous = true;
  int snapLength = 262144;

  // A capture filter in libpcap's syntax (empty: none), applied before
  // decoding, and the short names of which a decoded packet needs a layer to
  // be printed (empty: all).
  std::string filter;
  std::vector<std::string> protocols;

  OutputMode mode = OutputMode::kSummary;
  bool hexDump = false;
  bool crlf = false;
  TimeFormat timeFormat = TimeFormat::kRelative;
  bool quiet = false;

  // Per input: the first N packets, or packet N alone.
  std::optional<uint64_t> count;
  std::optional<uint64_t> onlyPacket;
  std::optional<uint32_t> offset;
  std::optional<std::string> select;

  // Threads that decode a capture file, each with a manager of its own; the
  // output is the same whatever the number.
  unsigned jobs = 1;

  // Engine settings.
  std::optional<uint16_t> language;
  bool verifyChecksum = true;
  // The registry that names the vendors of hardware addresses; empty: none.
  std::string ouiFile;
};

// Parses the arguments. Returns nothing when --help or --version was answered
// (the text is printed already); throws UsageError for a bad command line.
std::optional<Options> ParseOptions(int argc, const char* const* argv);

}  // namespace vdecode
