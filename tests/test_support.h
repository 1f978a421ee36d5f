// Shared test helpers: frames from hex, a manager with the built-in graph,
// navigation of decoding results by name, and the truncation sweep.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "results/decoding_info.h"
#include "results/decoding_item.h"
#include "vel/interfaces.h"
#include "vel/registration.h"

namespace vel::test {

using Bytes = std::vector<uint8_t>;

// Hex digits to bytes; blanks, colons and newlines are ignored.
Bytes Hex(std::string_view hex);
// Joins byte strings.
Bytes Concat(std::initializer_list<Bytes> parts);

std::string Narrow(std::u16string_view text);
std::u16string Wide(std::string_view text);

// A host packet record followed by its frame, in one heap block of exactly
// that size, so that any read past the frame's end is a sanitizer report.
class PacketRecord {
 public:
  PacketRecord(const Bytes& frame, uint32_t captureLength, uint32_t sequence = 1, uint64_t timestamp = 0);
  explicit PacketRecord(const Bytes& frame) : PacketRecord(frame, static_cast<uint32_t>(frame.size())) {}
  uint8_t* data() { return block_.get(); }

 private:
  std::unique_ptr<uint8_t[]> block_;
};

// A manager holding every built-in module, in registration order.
ComPtr<IOrvDecoderManager> MakeManager(bool initialize = true);

// Decodes one frame (or its first captureLength bytes).
ComPtr<IVELPacketsDecodingInfo> Decode(IOrvDecoderManager* manager, const Bytes& frame);
ComPtr<IVELPacketsDecodingInfo> Decode(IOrvDecoderManager* manager, const Bytes& frame, uint32_t captureLength);

inline CVELPacketsDecodingInfo* Impl(IVELPacketsDecodingInfo* info) { return static_cast<CVELPacketsDecodingInfo*>(info); }
inline CVELPacketsDecodingItem* Impl(IVELPacketsDecodingItem* item) { return static_cast<CVELPacketsDecodingItem*>(item); }

// Group names in order, e.g. {"Packet Info", "Ethernet II - Ethernet II Frame", ...}.
std::vector<std::string> GroupNames(IVELPacketsDecodingInfo* info);
// The first group whose name starts with prefix (fails the test when there is none).
const CVELPacketsDecodingItem* FindGroup(IVELPacketsDecodingInfo* info, std::string_view prefix);
// The nth group (0-based) whose name starts with prefix, or null.
const CVELPacketsDecodingItem* FindGroupNth(IVELPacketsDecodingInfo* info, std::string_view prefix, int nth);
// The first item named name anywhere below parent, depth first (fails the test when there is none).
const CVELPacketsDecodingItem* FindItem(const CVELPacketsDecodingItem* parent, std::string_view name);
const CVELPacketsDecodingItem* FindItemOrNull(const CVELPacketsDecodingItem* parent, std::string_view name);
// Names of the direct children of parent.
std::vector<std::string> ChildNames(const CVELPacketsDecodingItem* parent);

std::string ValueOf(const CVELPacketsDecodingItem* item);
std::string CommentOf(const CVELPacketsDecodingItem* item);
std::string SummaryOf(const CVELPacketsDecodingItem* item);
// The whole text rendering of the info.
std::string TextOf(IVELPacketsDecodingInfo* info);

// Decodes every capture length from 0 to the whole frame, each from a heap
// block of exactly that size, and renders each result as text.
void TruncationSweep(IOrvDecoderManager* manager, const Bytes& frame);

// Reads a file of tests/data into memory.
Bytes ReadDataFile(const std::string& name);

// The frames of a classic pcap file of tests/data, as captured (either byte
// order); stops at the first damaged record.
std::vector<Bytes> ReadPcapFrames(const std::string& name);

// Decodes every frame of a pcap file of tests/data and renders each as text;
// returns the texts.
std::vector<std::string> DecodeCapture(IOrvDecoderManager* manager, const std::string& name);

}  // namespace vel::test
