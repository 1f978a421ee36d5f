// Bounded reading of captured bytes. Every read of packet data goes through a
// ByteView; one that would pass the end of the captured data throws
// CapturedDataEnd instead, which ends the decoding of the current layer.
#pragma once

#include <cstdint>

namespace vel {

// A read that needed more captured bytes than there were.
struct CapturedDataEnd {
  uint32_t offset;     // frame offset where the read started
  uint32_t needed;     // bytes the read needed
  uint32_t available;  // bytes captured from offset on
};

class ByteView {
 public:
  ByteView() = default;
  // The bytes [begin, end) of a frame that starts at frame.
  ByteView(const uint8_t* frame, const uint8_t* begin, const uint8_t* end)
      : frame_(frame), begin_(begin), end_(end < begin ? begin : end) {}

  uint32_t size() const { return static_cast<uint32_t>(end_ - begin_); }
  bool empty() const { return begin_ == end_; }
  const uint8_t* data() const { return begin_; }
  // Frame offset of byte 0 of the view.
  uint32_t offset() const { return static_cast<uint32_t>(begin_ - frame_); }
  bool Has(uint32_t at, uint32_t count) const { return at <= size() && count <= size() - at; }

  // Throws CapturedDataEnd unless count bytes from at are captured.
  void Require(uint32_t at, uint32_t count) const {
    if (!Has(at, count)) Fail(at, count);
  }

  uint8_t U8(uint32_t at) const {
    Require(at, 1);
    return begin_[at];
  }
  uint32_t U16(uint32_t at) const {
    Require(at, 2);
    return uint32_t{begin_[at]} << 8 | begin_[at + 1];
  }
  uint32_t U24(uint32_t at) const {
    Require(at, 3);
    return uint32_t{begin_[at]} << 16 | uint32_t{begin_[at + 1]} << 8 | begin_[at + 2];
  }
  uint32_t U32(uint32_t at) const {
    Require(at, 4);
    return uint32_t{begin_[at]} << 24 | uint32_t{begin_[at + 1]} << 16 | uint32_t{begin_[at + 2]} << 8 |
           begin_[at + 3];
  }
  uint32_t U16LE(uint32_t at) const {
    Require(at, 2);
    return uint32_t{begin_[at + 1]} << 8 | begin_[at];
  }
  uint32_t U32LE(uint32_t at) const {
    Require(at, 4);
    return uint32_t{begin_[at + 3]} << 24 | uint32_t{begin_[at + 2]} << 16 | uint32_t{begin_[at + 1]} << 8 |
           begin_[at];
  }
  // Pointer to count captured bytes starting at at.
  const uint8_t* Bytes(uint32_t at, uint32_t count) const {
    Require(at, count);
    return begin_ + at;
  }
  // The view of count bytes from at; throws unless all are captured.
  ByteView Sub(uint32_t at, uint32_t count) const {
    Require(at, count);
    return ByteView(frame_, begin_ + at, begin_ + at + count);
  }
  // The view from at to the end, or at most count bytes of it: never throws.
  ByteView Clamp(uint32_t at, uint32_t count = UINT32_MAX) const {
    const uint8_t* from = at <= size() ? begin_ + at : end_;
    uint32_t left = static_cast<uint32_t>(end_ - from);
    return ByteView(frame_, from, from + (count < left ? count : left));
  }

 private:
  [[noreturn]] void Fail(uint32_t at, uint32_t count) const {
    uint32_t available = at <= size() ? size() - at : 0;
    throw CapturedDataEnd{offset() + at, count, available};
  }

  const uint8_t* frame_ = nullptr;
  const uint8_t* begin_ = nullptr;
  const uint8_t* end_ = nullptr;
};

}  // namespace vel
