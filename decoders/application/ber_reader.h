// A small reader of BER elements as SNMP messages use them: the identifier
// and length of one element, and its content as an integer or an object
// identifier. Every read goes through a bounded view, so an element whose
// header or content was not captured ends the reading with CapturedDataEnd.
#pragma once

#include <cstdint>

#include "vel/byte_view.h"
#include "vel/text.h"

namespace vel::ber {

inline constexpr uint32_t kUniversal = 0, kApplication = 1, kContext = 2, kPrivate = 3;
inline constexpr uint32_t kInteger = 2, kOctetString = 4, kNull = 5, kObjectIdentifier = 6, kGeneralString = 27;

// Identifier and length of one element.
struct Header {
  uint32_t tagClass = kUniversal;  // the top two bits of the identifier byte
  uint32_t tag = 0;
  uint32_t headerLength = 0;  // identifier and length bytes
  uint32_t contentLength = 0;

  // Header and content together, saturated to 32 bits.
  uint32_t Extent() const {
    uint64_t extent = uint64_t{headerLength} + contentLength;
    return extent > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(extent);
  }
};

// A long-form length of more than four length bytes, which no SNMP message
// needs and a 32-bit length cannot hold.
struct LengthTooLong {
  uint32_t lengthBytes;  // the count the first length byte gives
  uint32_t readBytes;    // identifier bytes and the first length byte
};

// Reads the header at the start of at. A tag number of 31 is followed by
// identifier bytes up to the first one below 0x80; the tag is then their sum.
// Throws LengthTooLong for more than four length bytes.
Header ReadHeader(ByteView at);

// Two's complement of up to eight content bytes; longer contents are not decoded and give 0.
int64_t SignedValue(ByteView content);
// The content bytes read big-endian, for up to eight of them; longer contents give 0.
uint64_t UnsignedValue(ByteView content);

// Dotted text of an object identifier: the first sub-identifier is split into
// value / 40 and value % 40, each further one follows after a dot. A
// sub-identifier still open when the content ends is shown as read.
void AppendOidText(TextBuffer& out, ByteView content);

}  // namespace vel::ber
