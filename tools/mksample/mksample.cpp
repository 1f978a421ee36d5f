// mksample: builds sample captures from frame files.
//
//   mksample [--link-type N] OUTPUT.pcap FRAMES
//   mksample --pcapng OUTPUT.pcapng N:FRAMES [N:FRAMES...]
//
// FRAMES is a frame file or a directory whose *.txt files are read in name
// order. A frame file holds frames written as hex digits: lines starting with
// '#' are comments, a blank line ends a frame, and blanks inside a frame are
// ignored. The first form writes a classic pcap file (little-endian,
// microsecond time stamps) of link type N, Ethernet (1) by default; the
// second a pcapng file with one interface of link type N per argument, whose
// frames take turns with the other interfaces' (the first frame of each
// interface in argument order, then the second, ...). The bytes depend on the
// frame files alone: frame k of the capture is stamped k milliseconds after
// 2024-01-01 00:00:00 UTC.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Frame = std::vector<uint8_t>;

constexpr uint32_t kFirstSecond = 1704067200;  // 2024-01-01 00:00:00 UTC
constexpr uint32_t kMicrosecondsApart = 1000;
constexpr uint32_t kSnapLength = 65535;
constexpr uint32_t kLinkTypeEthernet = 1;
constexpr const char* kUsage =
    "usage: mksample [--link-type N] OUTPUT.pcap FRAMES\n"
    "       mksample --pcapng OUTPUT.pcapng N:FRAMES [N:FRAMES...]\n";

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ---- Frame files ---------------------------------------------------------------

class FrameFileError : public std::runtime_error {
 public:
  FrameFileError(const fs::path& file, int line, const std::string& problem)
      : std::runtime_error(file.string() + ":" + std::to_string(line) + ": " + problem) {}
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

bool IsComment(const std::string& line) {
  size_t first = line.find_first_not_of(" \t");
  return first != std::string::npos && line[first] == '#';
}

class FrameFileReader {
 public:
  explicit FrameFileReader(fs::path file) : file_(std::move(file)) {}

  std::vector<Frame> Read() {
    std::ifstream in(file_);
    if (!in) throw std::runtime_error(file_.string() + ": cannot read");
    std::string line;
    while (std::getline(in, line)) {
      ++lineNumber_;
      if (IsComment(line)) continue;
      if (IsBlank(line))
        EndFrame();
      else
        AddHexLine(line);
    }
    EndFrame();
    return std::move(frames_);
  }

 private:
  void AddHexLine(const std::string& line) {
    for (char c : line) {
      if (c == ' ' || c == '\t' || c == '\r') continue;
      int value = HexValue(c);
      if (value < 0) throw FrameFileError(file_, lineNumber_, std::string("'") + c + "' is not a hex digit");
      if (highNibble_ < 0) {
        highNibble_ = value;
      } else {
        current_.push_back(static_cast<uint8_t>(highNibble_ << 4 | value));
        highNibble_ = -1;
      }
    }
  }

  void EndFrame() {
    if (highNibble_ >= 0) throw FrameFileError(file_, lineNumber_, "the frame ends with half a byte");
    if (current_.size() > kSnapLength) throw FrameFileError(file_, lineNumber_, "the frame is longer than 65535 bytes");
    if (!current_.empty()) frames_.push_back(std::move(current_));
    current_.clear();
  }

  fs::path file_;
  int lineNumber_ = 0;
  int highNibble_ = -1;
  Frame current_;
  std::vector<Frame> frames_;
};

// The frames of a frame file, or of a directory's *.txt files in name order.
std::vector<Frame> ReadFrames(const fs::path& source) {
  std::vector<fs::path> files;
  if (fs::is_directory(source)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(source))
      if (entry.is_regular_file() && entry.path().extension() == ".txt") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
  } else {
    files.push_back(source);
  }
  std::vector<Frame> frames;
  for (const fs::path& file : files) {
    std::vector<Frame> more = FrameFileReader(file).Read();
    frames.insert(frames.end(), more.begin(), more.end());
  }
  return frames;
}

uint32_t LinkTypeNumber(const std::string& text) {
  size_t used = 0;
  unsigned long value = 0;
  try {
    value = std::stoul(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || value > 0xFFFF) throw UsageError("'" + text + "' is not a link type number");
  return static_cast<uint32_t>(value);
}

// ---- Classic pcap, written byte by byte so the file is the same on every host ---

void PutU16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8 & 0xFF);
}

void PutU32(std::string& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

uint64_t FrameMicroseconds(size_t k) { return uint64_t{kFirstSecond} * 1000000 + k * kMicrosecondsApart; }

std::string PcapFile(uint32_t linkType, const std::vector<Frame>& frames) {
  std::string out;
  PutU32(out, 0xA1B2C3D4);  // magic: microsecond time stamps
  PutU16(out, 2);           // version 2.4
  PutU16(out, 4);
  PutU32(out, 0);  // time zone offset
  PutU32(out, 0);  // time stamp accuracy
  PutU32(out, kSnapLength);
  PutU32(out, linkType);
  for (size_t k = 0; k < frames.size(); ++k) {
    uint64_t micros = FrameMicroseconds(k);
    PutU32(out, static_cast<uint32_t>(micros / 1000000));
    PutU32(out, static_cast<uint32_t>(micros % 1000000));
    PutU32(out, static_cast<uint32_t>(frames[k].size()));
    PutU32(out, static_cast<uint32_t>(frames[k].size()));
    out.append(frames[k].begin(), frames[k].end());
  }
  return out;
}

// ---- pcapng: one section, little-endian, microsecond time stamps -------------------

std::string PcapngBlock(uint32_t type, const std::string& body) {
  std::string block;
  uint32_t length = static_cast<uint32_t>(12 + (body.size() + 3) / 4 * 4);
  PutU32(block, type);
  PutU32(block, length);
  block += body;
  block.append((4 - body.size() % 4) % 4, '\0');
  PutU32(block, length);
  return block;
}

struct Interface {
  uint32_t linkType;
  std::vector<Frame> frames;
};

std::string PcapngFile(const std::vector<Interface>& interfaces) {
  std::string section;
  PutU32(section, 0x1A2B3C4D);  // byte-order magic
  PutU16(section, 1);           // version 1.0
  PutU16(section, 0);
  PutU32(section, 0xFFFFFFFF);  // section length not given
  PutU32(section, 0xFFFFFFFF);
  std::string out = PcapngBlock(0x0A0D0D0A, section);
  for (const Interface& interface : interfaces) {
    std::string description;
    PutU16(description, interface.linkType);
    PutU16(description, 0);
    PutU32(description, kSnapLength);
    out += PcapngBlock(1, description);
  }
  size_t total = std::accumulate(interfaces.begin(), interfaces.end(), size_t{0},
                                 [](size_t n, const Interface& interface) { return n + interface.frames.size(); });
  size_t k = 0;
  for (size_t turn = 0; k < total; ++turn) {
    for (size_t id = 0; id < interfaces.size(); ++id) {
      if (turn >= interfaces[id].frames.size()) continue;
      const Frame& frame = interfaces[id].frames[turn];
      uint64_t micros = FrameMicroseconds(k++);
      std::string packet;
      PutU32(packet, static_cast<uint32_t>(id));
      PutU32(packet, static_cast<uint32_t>(micros >> 32));
      PutU32(packet, static_cast<uint32_t>(micros));
      PutU32(packet, static_cast<uint32_t>(frame.size()));
      PutU32(packet, static_cast<uint32_t>(frame.size()));
      packet.append(frame.begin(), frame.end());
      out += PcapngBlock(6, packet);
    }
  }
  return out;
}

// "N:FRAMES"
Interface InterfaceArgument(const std::string& argument) {
  size_t colon = argument.find(':');
  if (colon == std::string::npos) throw UsageError("'" + argument + "' is not LINKTYPE:FRAMES");
  return {LinkTypeNumber(argument.substr(0, colon)), ReadFrames(argument.substr(colon + 1))};
}

void Write(const std::string& path, const std::string& bytes, size_t frames) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out.flush()) throw std::runtime_error(path + ": cannot write");
  std::cout << "mksample: wrote " << frames << " frames to " << path << "\n";
}

void Run(const std::vector<std::string>& args) {
  if (args.size() >= 3 && args[0] == "--pcapng") {
    std::vector<Interface> interfaces;
    size_t frames = 0;
    for (size_t i = 2; i < args.size(); ++i) {
      interfaces.push_back(InterfaceArgument(args[i]));
      frames += interfaces.back().frames.size();
    }
    return Write(args[1], PcapngFile(interfaces), frames);
  }
  uint32_t linkType = kLinkTypeEthernet;
  size_t first = 0;
  if (args.size() == 4 && args[0] == "--link-type") {
    linkType = LinkTypeNumber(args[1]);
    first = 2;
  }
  if (args.size() - first != 2) throw UsageError("");
  std::vector<Frame> frames = ReadFrames(args[first + 1]);
  Write(args[first], PcapFile(linkType, frames), frames.size());
}

}  // namespace

int main(int argc, char** argv) {
  try {
    Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& problem) {
    std::cerr << (*problem.what() ? std::string("mksample: ") + problem.what() + "\n" : "") << kUsage;
    return 2;
  } catch (const std::exception& problem) {
    std::cerr << "mksample: " << problem.what() << "\n";
    return 1;
  }
  return 0;
}
