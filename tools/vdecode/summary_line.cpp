#include "tools/vdecode/summary_line.h"

#include <ctime>

#include "tools/vdecode/decoding_tree.h"
#include "tools/vdecode/text_output.h"
#include "vel/protocol_catalogue.h"

namespace vdecode {

using namespace vel;

namespace {

constexpr uint64_t kMicrosecondsPerSecond = 1000000;
constexpr size_t kAddressWidth = 17;  // a hardware address; IP addresses fit as well
constexpr size_t kProtocolWidth = 6;
constexpr size_t kSecondsWidth = 11;  // right-aligned up to 9999.999999 seconds
constexpr size_t kNumberWidth = 5;

constexpr uint32_t kIPv6 = 52;

// The addresses of a packet, from the items marked with the address item
// types: the first IPv4 source and destination (source / destination IP),
// else the source and destination of the first IPv6 header (its first two
// IP address items), else the hardware addresses.
class Endpoints {
 public:
  explicit Endpoints(const DecodingInfo& info) {
    for (const DecodingItem* group : info.Groups()) Collect(*group, group->protocol == kIPv6 && ipv6Count_ == 0);
  }

  std::u16string_view Source() const { return Pick(VEL_DII_SOURCE_IP, 0, VEL_DII_SOURCE_ADDRESS); }
  std::u16string_view Destination() const { return Pick(VEL_DII_DESTINATION_IP, 1, VEL_DII_DESTINATION_ADDRESS); }

 private:
  void Collect(const DecodingItem& item, bool inFirstIPv6Header) {
    for (const DecodingItem* child : item.Children()) {
      uint32_t type = child->type;
      if (type >= VEL_DII_DESTINATION_ADDRESS && type <= VEL_DII_DESTINATION_IP && !found_[type]) {
        found_[type] = true;
        typed_[type] = child->Value();
      }
      if (type == VEL_DII_IP_ADRESS && inFirstIPv6Header && ipv6Count_ < 2) ipv6Addresses_[ipv6Count_++] = child->Value();
      Collect(*child, false);
    }
  }

  std::u16string_view Pick(uint32_t ipType, size_t ipv6Position, uint32_t hardwareType) const {
    if (found_[VEL_DII_SOURCE_IP] || found_[VEL_DII_DESTINATION_IP]) return typed_[ipType];
    if (ipv6Count_ == 2) return ipv6Addresses_[ipv6Position];
    return typed_[hardwareType];
  }

  std::u16string_view typed_[VEL_DII_DESTINATION_IP + 1];
  bool found_[VEL_DII_DESTINATION_IP + 1] = {};
  std::u16string_view ipv6Addresses_[2];
  size_t ipv6Count_ = 0;
};

void AppendPadded(std::string& out, std::u16string_view text, size_t width) {
  size_t start = out.size();
  AppendTerminalText(out, text, "", false);
  size_t written = out.size() - start;
  if (written < width) out.append(width - written, ' ');
}

std::u16string_view TopProtocolName(const DecodingInfo& info) {
  if (!info.Groups().empty()) return LayerShortName(*info.Groups().back());
  return ProtocolShortName(0);
}

// Writes value in decimal, at least minDigits digits, at text[length]; returns the new length.
size_t AppendDecimal(char* text, size_t length, uint64_t value, int minDigits) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value);
  while (count < minDigits) digits[count++] = '0';
  while (count) text[length++] = digits[--count];
  return length;
}

std::string_view SeverityMarker(uint32_t severity) {
  switch (severity) {
    case VEL_SST_INFOMATION: return "";
    case VEL_SST_NOTICE: return " [Notice]";
    case VEL_SST_WARNING: return " [Warning]";
    case VEL_SST_CRITICAL: return " [Critical]";
    default: return " [Severity?]";
  }
}

}  // namespace

void SummaryLine::AppendTime(std::string& out, uint64_t timestamp) {
  if (timeFormat_ == TimeFormat::kRelative || timeFormat_ == TimeFormat::kEpoch) {
    bool before = timeFormat_ == TimeFormat::kRelative && timestamp < reference_;
    uint64_t value = timeFormat_ == TimeFormat::kEpoch ? timestamp
                     : before                          ? reference_ - timestamp
                                                       : timestamp - reference_;
    char seconds[32];
    size_t length = 0;
    if (before) seconds[length++] = '-';
    length = AppendDecimal(seconds, length, value / kMicrosecondsPerSecond, 1);
    seconds[length++] = '.';
    length = AppendDecimal(seconds, length, value % kMicrosecondsPerSecond, 6);
    if (length < kSecondsWidth) out.append(kSecondsWidth - length, ' ');
    out.append(seconds, length);
    return;
  }
  auto second = static_cast<int64_t>(timestamp / kMicrosecondsPerSecond);
  if (second != dateSecond_) {
    std::time_t seconds = static_cast<std::time_t>(second);
    std::tm local{};
    localtime_r(&seconds, &local);
    const char* pattern = timeFormat_ == TimeFormat::kAbsolute ? "%H:%M:%S" : "%Y-%m-%d %H:%M:%S";
    char text[64];
    date_.assign(text, std::strftime(text, sizeof text, pattern, &local));
    dateSecond_ = second;
  }
  out += date_;
  char fraction[8] = {'.'};
  out.append(fraction, AppendDecimal(fraction, 1, timestamp % kMicrosecondsPerSecond, 6));
}

void SummaryLine::Append(std::string& out, vel::IVELPacketsDecodingInfo* decoding, std::string_view newline) {
  const DecodingInfo& info = InfoOf(decoding);
  char number[16];
  size_t length = AppendDecimal(number, 0, info.sequence, 1);
  if (length < kNumberWidth) out.append(kNumberWidth - length, ' ');
  out.append(number, length);
  out += ' ';
  AppendTime(out, info.timeStamp);
  out += ' ';

  Endpoints endpoints(info);
  AppendPadded(out, endpoints.Source(), kAddressWidth);
  out += " -> ";
  AppendPadded(out, endpoints.Destination(), kAddressWidth);
  out += ' ';
  std::u16string_view summary = PacketSummary(info);
  if (summary.empty()) {
    AppendTerminalText(out, TopProtocolName(info), "", false);
  } else {
    AppendPadded(out, TopProtocolName(info), kProtocolWidth);
    out += ' ';
    AppendTerminalText(out, summary, "", false);
  }
  out += SeverityMarker(info.Severity());
  out += newline;
}

}  // namespace vdecode
