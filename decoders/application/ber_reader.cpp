#include "decoders/application/ber_reader.h"

namespace vel::ber {

namespace {

constexpr uint32_t kHighTagForm = 0x1F;
constexpr uint32_t kMoreBytes = 0x80;
constexpr uint32_t kMaxLengthBytes = 4;
constexpr uint32_t kMaxValueBytes = 8;
constexpr uint32_t kFirstArcs = 40;

void AppendSubIdentifier(TextBuffer& out, uint32_t value, bool first) {
  if (first)
    AppendFormat(out, u"%u.%u", value / kFirstArcs, value % kFirstArcs);
  else
    AppendFormat(out, u".%u", value);
}

}  // namespace

Header ReadHeader(ByteView at) {
  Header header;
  uint32_t identifier = at.U8(0);
  header.tagClass = identifier >> 6;
  header.tag = identifier & kHighTagForm;
  uint32_t next = 1;
  if (header.tag == kHighTagForm) {
    header.tag = 0;
    uint32_t byte = 0;
    do {
      byte = at.U8(next++);
      header.tag += byte;
    } while (byte & kMoreBytes);
  }

  uint32_t first = at.U8(next++);
  if (!(first & kMoreBytes)) {
    header.contentLength = first;
  } else {
    uint32_t count = first & ~kMoreBytes;
    if (count > kMaxLengthBytes) throw LengthTooLong{count, next};
    for (uint32_t i = 0; i < count; ++i) header.contentLength = header.contentLength << 8 | at.U8(next++);
  }
  header.headerLength = next;
  return header;
}

int64_t SignedValue(ByteView content) {
  if (content.empty() || content.size() > kMaxValueBytes) return 0;
  // The first byte carries the sign; the others are shifted in below it.
  int64_t value = static_cast<int8_t>(content.U8(0));
  for (uint32_t i = 1; i < content.size(); ++i)
    value = static_cast<int64_t>(static_cast<uint64_t>(value) << 8 | content.U8(i));
  return value;
}

uint64_t UnsignedValue(ByteView content) {
  if (content.size() > kMaxValueBytes) return 0;
  uint64_t value = 0;
  for (uint32_t i = 0; i < content.size(); ++i) value = value << 8 | content.U8(i);
  return value;
}

void AppendOidText(TextBuffer& out, ByteView content) {
  uint32_t value = 0;
  bool open = false, first = true;
  for (uint32_t i = 0; i < content.size(); ++i) {
    uint32_t byte = content.U8(i);
    value = value << 7 | (byte & ~kMoreBytes);
    open = true;
    if (byte & kMoreBytes) continue;
    AppendSubIdentifier(out, value, first);
    value = 0;
    open = first = false;
  }
  if (open) AppendSubIdentifier(out, value, first);
}

}  // namespace vel::ber
