#include "smb_frames.h"

namespace vel::test {

Bytes Le16(uint32_t value) { return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)}; }
Bytes Le32(uint32_t value) { return Concat({Le16(value & 0xFFFF), Le16(value >> 16)}); }

Bytes Utf16(std::string_view text) {
  Bytes out;
  for (char c : text) out.insert(out.end(), {static_cast<uint8_t>(c), 0});
  return out;
}
Bytes Utf16z(std::string_view text) { return Concat({Utf16(text), {0, 0}}); }
Bytes Cstr(std::string_view text) { return Concat({Ascii(text), {0}}); }

Bytes Der(uint8_t tag, const Bytes& content) {
  const size_t size = content.size();
  Bytes length;
  if (size < 0x80)
    length = {static_cast<uint8_t>(size)};
  else if (size < 0x100)
    length = {0x81, static_cast<uint8_t>(size)};
  else
    length = {0x82, static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)};
  return Concat({{tag}, length, content});
}

Bytes SmbHeader(uint8_t command, uint8_t flags, uint16_t flags2, uint32_t status) {
  return Concat({Hex("ff534d42"),
                 {command},
                 Le32(status),
                 {flags},
                 Le16(flags2),
                 Hex("0000 efcdab8967452301 0000 0008 feff 6400 0200")});
}

Bytes SmbSessionFrame(const Bytes& smb) {
  Bytes session = Concat({Hex("0000"), {static_cast<uint8_t>(smb.size() >> 8), static_cast<uint8_t>(smb.size())}, smb});
  return TcpFrame(1025, 139, session);
}

Bytes SmbMessage(uint8_t command, uint8_t flags, uint16_t flags2, const Bytes& body, uint32_t status) {
  return SmbSessionFrame(Concat({SmbHeader(command, flags, flags2, status), body}));
}

const Node* SmbLayer(IVELPacketsDecodingInfo* info) { return FindGroup(info, "SMB - Server Message Block"); }
const Node* SmbCommand(IVELPacketsDecodingInfo* info) { return Child(SmbLayer(info), 12); }

void ExpectItemsWithin(const Node* item, size_t frameSize) {
  EXPECT_LE(item->startPos + item->length, frameSize) << Narrow(item->Name());
  for (const Node* child : item->Children()) ExpectItemsWithin(child, frameSize);
}

}  // namespace vel::test
