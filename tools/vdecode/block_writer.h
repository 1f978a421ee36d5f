// Appending to a text through a block on the stack: small pieces (a quote, a
// key, one character) cost a store, and the text grows by whole blocks.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

namespace vdecode {

class BlockWriter {
 public:
  static constexpr size_t kBlockSize = 4096;

  explicit BlockWriter(std::string& out) : out_(out) {}
  ~BlockWriter() { Flush(); }
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  BlockWriter& operator+=(char c) {
    if (used_ == kBlockSize) Flush();
    block_[used_++] = c;
    return *this;
  }
  BlockWriter& operator+=(std::string_view text) {
    if (text.size() > kBlockSize - used_) {
      Flush();
      if (text.size() > kBlockSize) {
        out_.append(text);
        return *this;
      }
    }
    std::memcpy(block_ + used_, text.data(), text.size());
    used_ += text.size();
    return *this;
  }
  // A string literal: its length is known, so the copy is a few stores.
  template <size_t N>
  void AppendLiteral(const char (&literal)[N]) {
    static_assert(N - 1 <= kBlockSize);
    if (N - 1 > kBlockSize - used_) Flush();
    std::memcpy(block_ + used_, literal, N - 1);
    used_ += N - 1;
  }
  // Room for count (at most kBlockSize) bytes; Advance says how many were written.
  char* Room(size_t count) {
    if (count > kBlockSize - used_) Flush();
    return block_ + used_;
  }
  void Advance(size_t count) { used_ += count; }

  void Flush() {
    out_.append(block_, used_);
    used_ = 0;
  }

 private:
  std::string& out_;
  size_t used_ = 0;
  char block_[kBlockSize];
};

}  // namespace vdecode
