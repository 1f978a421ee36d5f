// The base of the ICMPv6 decoder: the walk over the neighbour-discovery
// options that follow router, neighbour and redirect messages, and the item
// forms that messages and options share.
#pragma once

#include <span>

#include "vel/module_base.h"

namespace vel {

namespace icmpv6 {

// Labels and texts with a string-table entry.
constexpr uint32_t kType = 223, kCode = 224, kReserved = 117, kLength = 166, kFlags = 172, kLifetime = 260;
constexpr uint32_t kSeconds = 261, kTimestamp = 1004, kYes = 1269, kNo = 1270, kStatus = 1356;
constexpr uint32_t kOptionLabel = 1394;

// A code and the text that names it.
struct CodeText {
  uint32_t code;
  Text text;
};

// The text for code, empty when the table does not name it.
inline Text TextFor(std::span<const CodeText> table, uint32_t code) {
  for (const CodeText& entry : table)
    if (entry.code == code) return entry.text;
  return {};
}

inline Text YesNo(bool set) { return Res(set ? kYes : kNo); }

}  // namespace icmpv6

class CICMPv6OptionDecoder : public CVELBaseModuleImplT<IVELDcoder, 53> {
 protected:
  using CVELBaseModuleImplT::CVELBaseModuleImplT;

  // Shows options from the cursor until the captured data that followed the
  // message's fixed part is used up.
  void AddNeighborDiscoveryOptions();

  // An 8-byte number, "%u (0x%016X)", read big-endian.
  Item* AddQWordItem(Item* parent, Text name, Text comment = {});
  // A 16-byte IPv6 address.
  void AddAddress(Item* parent, Text label);
  // A flags field shown as a group of its bits; the cursor stays on the field.
  Item* AddFlagsGroup(Item* parent, uint32_t length, Text bits);
  // count bytes as hex digits; nothing when count is 0.
  void AddHexBytes(Item* parent, Text name, uint32_t count);

 private:
  void AddOptionBody(Item* option, uint32_t type, uint32_t end);
  // Bytes of the option ending at frame offset end that follow the cursor.
  uint32_t RestOf(uint32_t end) const;
  void AddLinkLayerAddress(Item* option, Text label);
  void AddPrefixInformation(Item* option, uint32_t end);
  void AddAddressList(Item* option, uint32_t end);
  void AddPaddedData(Item* option, Text label, uint32_t padLength, uint32_t end);
  void AddTrustAnchor(Item* option, uint32_t end);
  void AddHandoverKey(Item* option, bool withLifetime, uint32_t end);
  void AddMapOption(Item* option);
  void AddCodedValue(Item* option, std::span<const icmpv6::CodeText> codes, Text lengthLabel, Text valueLabel);
};

}  // namespace vel
