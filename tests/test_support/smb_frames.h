// SMB test messages: the little-endian pieces SMB is made of, the 32-byte
// header, a message in a NetBIOS session over TCP port 139, DER elements for
// security blobs, the SMB layer and command sub-group of a result.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "frames.h"
#include "host.h"
#include "results.h"

namespace vel::test {

// Frame offsets in a session frame: the SMB header, and a command's parameters after it.
inline constexpr uint32_t kSmbHeader = kTcpPayload + 4, kSmbBody = kSmbHeader + 32;

inline constexpr uint8_t kSmbRequest = 0x18, kSmbResponse = 0x98;
// Flags2: Unicode, NT status, extended security and long names; or DOS error codes and ASCII.
inline constexpr uint16_t kNtUnicode = 0xC807, kDosAscii = 0x0001;

Bytes Le16(uint32_t value);
Bytes Le32(uint32_t value);
// Zero-terminated texts as SMB carries them: UTF-16 little-endian, or 8-bit.
Bytes Utf16z(std::string_view text);
Bytes Cstr(std::string_view text);
// UTF-16 little-endian without a terminator.
Bytes Utf16(std::string_view text);
// A DER element: the tag, the length in short or long form, the content.
Bytes Der(uint8_t tag, const Bytes& content);

// The header with signature 0123456789abcdef, tree 0x0800, process 0xFFFE, user 100 and multiplex 2.
Bytes SmbHeader(uint8_t command, uint8_t flags, uint16_t flags2, uint32_t status = 0);
// The SMB message header + body in a NetBIOS session message from port 1025 to port 139.
Bytes SmbSessionFrame(const Bytes& smb);
Bytes SmbMessage(uint8_t command, uint8_t flags, uint16_t flags2, const Bytes& body, uint32_t status = 0);

// The SMB layer of a result, and its command sub-group (the child after the 12 header items).
const Node* SmbLayer(IVELPacketsDecodingInfo* info);
const Node* SmbCommand(IVELPacketsDecodingInfo* info);
// Every item below and including item lies within a frame of frameSize bytes.
void ExpectItemsWithin(const Node* item, size_t frameSize);

}  // namespace vel::test
