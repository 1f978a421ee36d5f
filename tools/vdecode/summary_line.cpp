#include "tools/vdecode/summary_line.h"

#include <cstdio>
#include <ctime>
#include <vector>

#include "tools/vdecode/decoding_tree.h"
#include "tools/vdecode/text_output.h"
#include "vel/protocol_catalogue.h"

namespace vdecode {

using namespace vel;

namespace {

constexpr uint64_t kMicrosecondsPerSecond = 1000000;
constexpr size_t kAddressWidth = 17;  // a hardware address; IP addresses fit as well
constexpr size_t kProtocolWidth = 6;
constexpr int kSecondsWidth = 11;  // right-aligned up to 9999.999999 seconds

constexpr uint32_t kIPv6 = 52;

// The addresses of a packet, from the items marked with the address item
// types: the first IPv4 source and destination (source / destination IP),
// else the source and destination of the first IPv6 header (its first two
// IP address items), else the hardware addresses.
class Endpoints {
 public:
  explicit Endpoints(IVELPacketsDecodingInfo* info) {
    for (const ItemPtr& group : Groups(info)) {
      bool ipv6 = ReadNumber(group.get(), &IVELPacketsDecodingItem::get_Protocol) == kIPv6;
      Collect(group.get(), ipv6 && ipv6Addresses_.empty());
    }
  }

  std::u16string_view Source() const { return Pick(VEL_DII_SOURCE_IP, 0, VEL_DII_SOURCE_ADDRESS); }
  std::u16string_view Destination() const { return Pick(VEL_DII_DESTINATION_IP, 1, VEL_DII_DESTINATION_ADDRESS); }

 private:
  void Collect(IVELPacketsDecodingItem* item, bool inFirstIPv6Header) {
    for (const ItemPtr& child : Children(item)) {
      uint32_t type = ReadNumber(child.get(), &IVELPacketsDecodingItem::get_Type);
      if (type >= VEL_DII_DESTINATION_ADDRESS && type <= VEL_DII_DESTINATION_IP && !found_[type]) {
        found_[type] = true;
        typed_[type] = ReadText(child.get(), &IVELPacketsDecodingItem::get_Value).view();
      }
      if (type == VEL_DII_IP_ADRESS && inFirstIPv6Header && ipv6Addresses_.size() < 2)
        ipv6Addresses_.emplace_back(ReadText(child.get(), &IVELPacketsDecodingItem::get_Value).view());
      Collect(child.get(), false);
    }
  }

  std::u16string_view Pick(uint32_t ipType, size_t ipv6Position, uint32_t hardwareType) const {
    if (found_[VEL_DII_SOURCE_IP] || found_[VEL_DII_DESTINATION_IP]) return typed_[ipType];
    if (ipv6Addresses_.size() == 2) return ipv6Addresses_[ipv6Position];
    return typed_[hardwareType];
  }

  std::u16string typed_[VEL_DII_DESTINATION_IP + 1];
  bool found_[VEL_DII_DESTINATION_IP + 1] = {};
  std::vector<std::u16string> ipv6Addresses_;
};

void AppendPadded(std::string& out, std::u16string_view text, size_t width) {
  size_t start = out.size();
  AppendTerminalText(out, text, "", false);
  size_t written = out.size() - start;
  if (written < width) out.append(width - written, ' ');
}

std::u16string TopProtocolName(IVELPacketsDecodingInfo* info) {
  ItemPtr top;
  if (info->TopLayerDecodingItem(&top) == S_OK && top) return LayerShortName(top.get());
  return ProtocolShortName(0);
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
  char text[64];
  if (timeFormat_ == TimeFormat::kRelative || timeFormat_ == TimeFormat::kEpoch) {
    bool before = timeFormat_ == TimeFormat::kRelative && timestamp < reference_;
    uint64_t value = timeFormat_ == TimeFormat::kEpoch ? timestamp
                     : before                          ? reference_ - timestamp
                                                       : timestamp - reference_;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%s%llu.%06llu", before ? "-" : "",
                  static_cast<unsigned long long>(value / kMicrosecondsPerSecond),
                  static_cast<unsigned long long>(value % kMicrosecondsPerSecond));
    std::snprintf(text, sizeof text, "%*s", kSecondsWidth, seconds);
    out += text;
    return;
  }
  std::time_t seconds = static_cast<std::time_t>(timestamp / kMicrosecondsPerSecond);
  std::tm local{};
  localtime_r(&seconds, &local);
  const char* pattern = timeFormat_ == TimeFormat::kAbsolute ? "%H:%M:%S" : "%Y-%m-%d %H:%M:%S";
  size_t length = std::strftime(text, sizeof text, pattern, &local);
  std::snprintf(text + length, sizeof text - length, ".%06llu",
                static_cast<unsigned long long>(timestamp % kMicrosecondsPerSecond));
  out += text;
}

void SummaryLine::Append(std::string& out, IVELPacketsDecodingInfo* info, std::string_view newline) {
  char number[16];
  std::snprintf(number, sizeof number, "%5u ", ReadNumber(info, &IVELPacketsDecodingInfo::get_Sequence));
  out += number;
  AppendTime(out, ReadNumber(info, &IVELPacketsDecodingInfo::get_TimeStamp));
  out += ' ';

  Endpoints endpoints(info);
  AppendPadded(out, endpoints.Source(), kAddressWidth);
  out += " -> ";
  AppendPadded(out, endpoints.Destination(), kAddressWidth);
  out += ' ';
  Bstr summary = PacketSummary(info);
  if (summary.view().empty()) {
    AppendTerminalText(out, TopProtocolName(info), "", false);
  } else {
    AppendPadded(out, TopProtocolName(info), kProtocolWidth);
    out += ' ';
    AppendTerminalText(out, summary.view(), "", false);
  }
  out += SeverityMarker(ReadNumber(info, &IVELPacketsDecodingInfo::get_Severity));
  out += newline;
}

}  // namespace vdecode
