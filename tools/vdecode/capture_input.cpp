#include "tools/vdecode/capture_input.h"

#include <pcap/pcap.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/vdecode/pcap_packet.h"
#include "tools/vdecode/pcapng_reader.h"
#include "vel/interfaces.h"

namespace vdecode {

namespace {

constexpr std::string_view kTruncatedPrefix = "truncated dump file; ";
constexpr int kPcapngFirstByte = 0x0A;  // of the section header's block type
constexpr uint32_t kLinkTypeRaw = 101;

class PcapFileSource : public PacketSource {
 public:
  PcapFileSource(std::string path, pcap_t* capture, uint64_t size)
      : path_(std::move(path)), capture_(capture), size_(size) {}
  ~PcapFileSource() override { pcap_close(capture_); }

  bool Next(RawPacket& packet) override {
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    int result = pcap_next_ex(capture_, &header, &data);
    if (result == PCAP_ERROR_BREAK) return false;
    if (result != 1) throw InputError(DamageText(pcap_geterr(capture_)));
    ++packetsRead_;
    TakePcapPacket(capture_, *header, data, packet);
    return true;
  }

  std::string Name() const override { return path_; }
  uint64_t Position() const override {
    long position = std::ftell(pcap_file(capture_));
    return position > 0 ? static_cast<uint64_t>(position) : 0;
  }
  uint64_t Size() const override { return size_; }
  std::optional<uint32_t> LinkType() const override { return static_cast<uint32_t>(pcap_datalink(capture_)); }

 private:
  std::string DamageText(std::string_view reason) const {
    std::string where = path_ + ": capture file is ";
    if (reason.starts_with(kTruncatedPrefix)) {
      reason.remove_prefix(kTruncatedPrefix.size());
      where += "truncated";
    } else {
      where += "damaged";
    }
    return where + " after packet " + std::to_string(packetsRead_) + " (" + std::string(reason) + ")";
  }

  std::string path_;
  pcap_t* capture_;
  uint64_t size_;
  uint64_t packetsRead_ = 0;
};

class PcapngFileSource : public PacketSource {
 public:
  PcapngFileSource(std::string path, FILE* file, uint64_t size)
      : path_(std::move(path)), file_(file), reader_(file), size_(size) {}
  ~PcapngFileSource() override {
    if (file_ != stdin) std::fclose(file_);
  }

  bool Next(RawPacket& packet) override {
    PcapngPacket read;
    try {
      if (!reader_.Next(read)) return false;
    } catch (const PcapngError& damage) {
      throw InputError(path_ + ": capture file is " + (damage.truncated() ? "truncated" : "damaged") + " after packet " +
                       std::to_string(packetsRead_) + " (" + damage.what() + ")");
    }
    ++packetsRead_;
    packet.timestamp = read.timestamp;
    packet.originalLength = read.originalLength;
    packet.linkType = read.linkType;
    packet.frame = read.data;
    return true;
  }

  std::string Name() const override { return path_; }
  uint64_t Position() const override { return reader_.Position(); }
  uint64_t Size() const override { return size_; }

 private:
  std::string path_;
  FILE* file_;
  PcapngReader reader_;
  uint64_t size_;
  uint64_t packetsRead_ = 0;
};

class FrameSource : public PacketSource {
 public:
  FrameSource(std::vector<uint8_t> frame, uint64_t timestamp) : frame_(std::move(frame)), timestamp_(timestamp) {}

  std::string Name() const override { return "--hex"; }
  std::optional<uint32_t> LinkType() const override { return kLinkTypeEthernet; }
  bool Next(RawPacket& packet) override {
    if (delivered_) return false;
    delivered_ = true;
    packet.timestamp = timestamp_;
    packet.originalLength = static_cast<uint32_t>(frame_.size());
    packet.frame = frame_;
    return true;
  }

 private:
  std::vector<uint8_t> frame_;
  uint64_t timestamp_;
  bool delivered_ = false;
};

// The opened file and its size (0 for standard input and other streams).
FILE* OpenInput(const std::string& path, uint64_t& size) {
  size = 0;
  if (path == "-") return stdin;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw InputError(path + ": cannot open: " + std::strerror(errno));
  struct stat status {};
  if (fstat(fileno(file), &status) == 0) {
    if (S_ISDIR(status.st_mode)) {
      std::fclose(file);
      throw InputError(path + ": is a directory, not a capture file");
    }
    if (S_ISREG(status.st_mode)) size = static_cast<uint64_t>(status.st_size);
  }
  if (S_ISREG(status.st_mode) && size == 0) {
    std::fclose(file);
    throw InputError(path + ": is empty, not a capture file");
  }
  return file;
}

// A character of a bad hex argument as the user typed it.
std::string Shown(char c) {
  if (c == ' ') return "a blank";
  if (c == '\t') return "a tab";
  if (c > ' ' && c < 0x7F) return std::string("'") + c + "'";
  char text[16];
  std::snprintf(text, sizeof text, "byte 0x%02X", static_cast<unsigned char>(c));
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The first byte tells a pcapng file from a classic one (whose magic number
// starts with 0xA1, 0xD4 or 0x4D); peeking at one byte works on pipes too.
bool IsPcapng(FILE* file) {
  int first = std::getc(file);
  if (first == EOF) return false;
  std::ungetc(first, file);
  return first == kPcapngFirstByte;
}

}  // namespace

std::string LinkTypeText(uint32_t linkType) {
  int dataLink = PcapDataLink(linkType);
  const char* name = pcap_datalink_val_to_name(dataLink);
  const char* description = pcap_datalink_val_to_description(dataLink);
  std::string text = std::string(name ? name : "unknown") + " (";
  if (description) text += std::string(description) + ", ";
  return text + std::to_string(linkType) + ")";
}

int PcapDataLink(uint32_t linkType) { return linkType == kLinkTypeRaw ? DLT_RAW : static_cast<int>(linkType); }

std::unique_ptr<PacketSource> OpenCaptureFile(const std::string& path) {
  uint64_t size = 0;
  FILE* file = OpenInput(path, size);
  std::string name = path == "-" ? "standard input" : path;
  if (IsPcapng(file)) return std::make_unique<PcapngFileSource>(name, file, size);
  char error[PCAP_ERRBUF_SIZE] = {};
  // libpcap takes the file over, closing it also when the open fails.
  pcap_t* capture = pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_MICRO, error);
  if (!capture) throw InputError(name + ": not a pcap or pcapng capture (" + error + ")");
  auto source = std::make_unique<PcapFileSource>(name, capture, size);
  int linkType = pcap_datalink(capture);
  if (vel::LinkTypeFromPcap(static_cast<uint32_t>(linkType)) < 0)
    throw InputError(name + ": link type " + LinkTypeText(static_cast<uint32_t>(linkType)) +
                     " is not supported; vdecode decodes Ethernet, Linux cooked, raw IP and BSD loopback captures");
  return source;
}

std::unique_ptr<PacketSource> MakeFrameSource(std::vector<uint8_t> frame, uint64_t timestamp) {
  return std::make_unique<FrameSource>(std::move(frame), timestamp);
}

std::vector<uint8_t> ParseHexFrame(std::string_view text) {
  std::vector<uint8_t> frame;
  int high = -1;
  for (size_t position = 0; position < text.size(); ++position) {
    char c = text[position];
    if (c == ' ' || c == '\t' || c == ':') {
      if (high >= 0) 
        throw std::invalid_argument("a byte is split by " + Shown(c) + " at position " + std::to_string(position + 1));
      continue;
    }
    int value = HexValue(c);
    if (value < 0)
      throw std::invalid_argument(Shown(c) + " at position " + std::to_string(position + 1) + " is not a hex digit");
    if (high < 0) {
      high = value;
    } else {
      frame.push_back(static_cast<uint8_t>(high << 4 | value));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd number of hex digits");
  if (frame.empty()) throw std::invalid_argument("no bytes given");
  return frame;
}

}  // namespace vdecode
