// Reading decoding results in tests: groups and items by label or by a path
// of labels, their texts, whole-field expectations, and the text rendering.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "results/decoding_info.h"
#include "results/decoding_item.h"
#include "vel/interfaces.h"

namespace vel::test {

using Node = CVELPacketsDecodingItem;

inline CVELPacketsDecodingInfo* Impl(IVELPacketsDecodingInfo* info) { return static_cast<CVELPacketsDecodingInfo*>(info); }
inline CVELPacketsDecodingItem* Impl(IVELPacketsDecodingItem* item) { return static_cast<CVELPacketsDecodingItem*>(item); }

// Labels in order, as GroupNames and ChildNames give them.
using Names = std::vector<std::string>;

std::string Narrow(std::u16string_view text);
std::u16string Wide(std::string_view text);

// Group names in order, e.g. {"Packet Info", "Ethernet II - Ethernet II Frame", ...}.
Names GroupNames(IVELPacketsDecodingInfo* info);
// The first group whose name starts with prefix (fails the test when there is none).
const Node* FindGroup(IVELPacketsDecodingInfo* info, std::string_view prefix);
// The nth group (0-based) whose name starts with prefix, or null.
const Node* FindGroupNth(IVELPacketsDecodingInfo* info, std::string_view prefix, int nth);
// The first item named name anywhere below parent, depth first (fails the test when there is none).
const Node* FindItem(const Node* parent, std::string_view name);
const Node* FindItemOrNull(const Node* parent, std::string_view name);
// The item at a path of labels: the first group whose name starts with the
// first label, then at each level the first direct child of that name, e.g.
// ItemAt(info, {"DNS - ", "Flags", "Response code"}). Fails the test when a step is missing.
const Node* ItemAt(IVELPacketsDecodingInfo* info, std::initializer_list<std::string_view> path);
// Child i (0-based) of parent, or null.
const Node* Child(const Node* parent, size_t i);
// Names of the direct children of parent.
Names ChildNames(const Node* parent);

std::string ValueOf(const Node* item);
std::string CommentOf(const Node* item);
std::string SummaryOf(const Node* item);
uint32_t PacketSeverity(IVELPacketsDecodingInfo* info);
// The whole text rendering of the info.
std::string TextOf(IVELPacketsDecodingInfo* info);

// One field as a test expects it.
struct Field {
  std::string label;
  uint32_t start, length;
  std::string value;
  std::string comment = {};
  uint32_t type = 0;
};
// The direct children of parent are exactly these fields, in this order.
void ExpectFields(const Node* parent, std::initializer_list<Field> fields);
// A layer group that shows nothing: no fields, no summary, Length 0.
void ExpectEmptyGroup(const Node* group);
// The first item named label anywhere below parent shows this value and comment.
void ExpectValue(const Node* parent, std::string_view label, const std::string& value, const std::string& comment = "");
// One item's place, value and comment.
void ExpectItem(const Node* item, uint32_t start, uint32_t length, const std::string& value,
                const std::string& comment = "");

}  // namespace vel::test
