// DER elements as security tokens carry them: a one-byte tag, a length in its
// short or long form, and the value, read through the bounded views of the
// captured data.
#pragma once

#include <cstdint>

#include "vel/byte_view.h"
#include "vel/text.h"

namespace vel {

struct DerElement {
  uint8_t tag = 0;
  uint32_t headerLength = 0;  // bytes of the tag and the length
  uint32_t length = 0;        // bytes of the value, cut to the enclosing data
  // The encoded length runs past the enclosing data, or uses a form that
  // gives no length (indefinite, or more than four length bytes); the
  // element then takes what the enclosing data has left.
  bool overruns = false;
  ByteView value;  // the value's captured bytes: fewer than length where the capture ends
  uint32_t size() const { return headerLength + length; }
};

// The element at the start of data (which ends with the captured data); limit
// is what the enclosing data has left from there, at least 1. Throws
// CapturedDataEnd when the tag or a length byte inside limit was not captured.
DerElement ReadDerElement(ByteView data, uint32_t limit);

// Appends an object identifier's value in dotted decimal (1.3.6.1.5.5.2).
void AppendObjectIdentifier(TextBuffer& out, ByteView value);

}  // namespace vel
