#include "results.h"

#include "vel/text.h"

namespace vel::test {

std::string Narrow(std::u16string_view text) { return Utf16ToUtf8(text); }

std::u16string Wide(std::string_view text) { return Utf8ToUtf16(text); }

std::vector<std::string> GroupNames(IVELPacketsDecodingInfo* info) {
  std::vector<std::string> names;
  for (const auto* g : Impl(info)->Groups()) names.push_back(Narrow(g->Name()));
  return names;
}

const Node* FindGroupNth(IVELPacketsDecodingInfo* info, std::string_view prefix, int nth) {
  for (const auto* g : Impl(info)->Groups())
    if (Narrow(g->Name()).rfind(prefix, 0) == 0 && nth-- == 0) return g;
  return nullptr;
}

const Node* FindGroup(IVELPacketsDecodingInfo* info, std::string_view prefix) {
  const Node* group = FindGroupNth(info, prefix, 0);
  EXPECT_NE(group, nullptr) << "no group " << prefix;
  return group;
}

const Node* FindItemOrNull(const Node* parent, std::string_view name) {
  if (!parent) return nullptr;
  for (const auto* child : parent->Children()) {
    if (Narrow(child->Name()) == name) return child;
    if (const auto* found = FindItemOrNull(child, name)) return found;
  }
  return nullptr;
}

const Node* FindItem(const Node* parent, std::string_view name) {
  const Node* item = FindItemOrNull(parent, name);
  EXPECT_NE(item, nullptr) << "no item " << name;
  return item;
}

const Node* ItemAt(IVELPacketsDecodingInfo* info, std::initializer_list<std::string_view> path) {
  if (path.size() == 0) return nullptr;
  const Node* node = FindGroup(info, *path.begin());
  std::string walked(*path.begin());
  for (auto step = path.begin() + 1; node && step != path.end(); ++step) {
    const Node* next = nullptr;
    for (const auto* child : node->Children())
      if (Narrow(child->Name()) == *step) {
        next = child;
        break;
      }
    EXPECT_NE(next, nullptr) << "no item " << *step << " under " << walked;
    walked += " / " + std::string(*step);
    node = next;
  }
  return node;
}

const Node* Child(const Node* parent, size_t i) {
  return parent && i < parent->Children().size() ? parent->Children()[i] : nullptr;
}

std::vector<std::string> ChildNames(const Node* parent) {
  std::vector<std::string> names;
  if (parent)
    for (const auto* child : parent->Children()) names.push_back(Narrow(child->Name()));
  return names;
}

std::string ValueOf(const Node* item) { return item ? Narrow(item->Value()) : "<missing>"; }
std::string CommentOf(const Node* item) { return item ? Narrow(item->Comment()) : "<missing>"; }
std::string SummaryOf(const Node* item) { return item ? Narrow(item->Summary()) : "<missing>"; }
uint32_t PacketSeverity(IVELPacketsDecodingInfo* info) { return Impl(info)->Severity(); }

std::string TextOf(IVELPacketsDecodingInfo* info) {
  Bstr text;
  info->GetText(&text);
  return Narrow(text.view());
}

void ExpectFields(const Node* parent, std::initializer_list<Field> fields) {
  ASSERT_NE(parent, nullptr);
  std::vector<std::string> labels;
  for (const Field& f : fields) labels.push_back(f.label);
  ASSERT_EQ(ChildNames(parent), labels);
  size_t i = 0;
  for (const Field& f : fields) {
    const Node* item = parent->Children()[i++];
    ExpectItem(item, f.start, f.length, f.value, f.comment);
    EXPECT_EQ(item->type, f.type) << f.label;
  }
}

void ExpectEmptyGroup(const Node* group) {
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(ChildNames(group), std::vector<std::string>{}) << Narrow(group->Name());
  EXPECT_EQ(SummaryOf(group), "") << Narrow(group->Name());
  EXPECT_EQ(group->length, 0u) << Narrow(group->Name());
}

void ExpectValue(const Node* parent, std::string_view label, const std::string& value, const std::string& comment) {
  const Node* item = FindItem(parent, label);
  EXPECT_EQ(ValueOf(item), value) << label;
  EXPECT_EQ(CommentOf(item), comment) << label;
}

void ExpectItem(const Node* item, uint32_t start, uint32_t length, const std::string& value,
                const std::string& comment) {
  ASSERT_NE(item, nullptr);
  std::string label = Narrow(item->Name());
  EXPECT_EQ(item->startPos, start) << label;
  EXPECT_EQ(item->length, length) << label;
  EXPECT_EQ(ValueOf(item), value) << label;
  EXPECT_EQ(CommentOf(item), comment) << label;
}

}  // namespace vel::test
