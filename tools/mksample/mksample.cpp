// mksample: builds the sample capture from the frame files of samples/frames.
//
//   mksample OUTPUT.pcap FRAMES_DIRECTORY
//
// Every *.txt file of the directory, in name order, holds frames written as
// hex digits: lines starting with '#' are comments, a blank line ends a
// frame, and blanks inside a frame are ignored. The output is a classic pcap
// file (little-endian, microsecond time stamps, link type Ethernet) whose
// bytes depend on the frame files alone: frame k is stamped k milliseconds
// after 2024-01-01 00:00:00 UTC.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
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

std::vector<fs::path> FrameFiles(const fs::path& directory) {
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory))
    if (entry.is_regular_file() && entry.path().extension() == ".txt") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
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

std::string PcapFile(const std::vector<Frame>& frames) {
  std::string out;
  PutU32(out, 0xA1B2C3D4);  // magic: microsecond time stamps
  PutU16(out, 2);           // version 2.4
  PutU16(out, 4);
  PutU32(out, 0);  // time zone offset
  PutU32(out, 0);  // time stamp accuracy
  PutU32(out, kSnapLength);
  PutU32(out, kLinkTypeEthernet);
  for (size_t k = 0; k < frames.size(); ++k) {
    uint64_t micros = static_cast<uint64_t>(k) * kMicrosecondsApart;
    PutU32(out, kFirstSecond + static_cast<uint32_t>(micros / 1000000));
    PutU32(out, static_cast<uint32_t>(micros % 1000000));
    PutU32(out, static_cast<uint32_t>(frames[k].size()));
    PutU32(out, static_cast<uint32_t>(frames[k].size()));
    out.append(frames[k].begin(), frames[k].end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: mksample OUTPUT.pcap FRAMES_DIRECTORY\n";
    return 2;
  }
  try {
    std::vector<Frame> frames;
    for (const fs::path& file : FrameFiles(argv[2])) {
      std::vector<Frame> more = FrameFileReader(file).Read();
      frames.insert(frames.end(), more.begin(), more.end());
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << PcapFile(frames);
    if (!out.flush()) throw std::runtime_error(std::string(argv[1]) + ": cannot write");
    std::cout << "mksample: wrote " << frames.size() << " frames to " << argv[1] << "\n";
  } catch (const std::exception& problem) {
    std::cerr << "mksample: " << problem.what() << "\n";
    return 1;
  }
  return 0;
}
