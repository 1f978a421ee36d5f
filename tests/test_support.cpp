#include "test_support.h"

#include <fstream>
#include <iterator>

#include "vel/text.h"

namespace vel::test {

Bytes Hex(std::string_view hex) {
  Bytes out;
  int high = -1;
  for (char c : hex) {
    int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : (c >= 'a' && c <= 'f')                     ? c - 'a' + 10
            : (c >= 'A' && c <= 'F')                     ? c - 'A' + 10
                                                         : -1;
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::string Narrow(std::u16string_view text) { return Utf16ToUtf8(text); }

std::u16string Wide(std::string_view text) { return Utf8ToUtf16(text); }

PacketRecord::PacketRecord(const Bytes& frame, uint32_t captureLength, uint32_t sequence, uint64_t timestamp)
    : block_(new uint8_t[sizeof(CapturedPacket) + captureLength]) {
  CapturedPacket header{};
  header.Sequence = sequence;
  header.TimeStamp = timestamp;
  header.CaptureLength = captureLength;
  header.OriginalLength = static_cast<uint32_t>(frame.size());
  header.HeaderSize = sizeof(CapturedPacket);
  std::memcpy(block_.get(), &header, sizeof header);
  if (captureLength) std::memcpy(block_.get() + sizeof header, frame.data(), captureLength);
}

ComPtr<IOrvDecoderManager> MakeManager(bool initialize) {
  ComPtr<IOrvDecoderManager> manager;
  EXPECT_EQ(S_OK, CreateInstance(CLSID_COrvDecoderManager, &manager));
  if (!initialize) return manager;
  // The root comes from Initialize (with whatever the test store lists); the
  // built-in modules are added as a host does without a module list.
  manager->Initialize();
  ComPtr<IIDECollection> modules;
  manager->EnumerateModules(&modules);
  int32_t count = 0;
  modules->get_Count(&count);
  if (count == 1) {
    for (const CLSID& clsid : BuiltInModuleClasses()) {
      ComPtr<IVELDcoder> module;
      if (SUCCEEDED(CreateInstance(clsid, &module))) manager->AddModule(module.get());
    }
  }
  return manager;
}

ComPtr<IVELPacketsDecodingInfo> Decode(IOrvDecoderManager* manager, const Bytes& frame, uint32_t captureLength) {
  PacketRecord record(frame, captureLength);
  ComPtr<IVELPacketsDecodingInfo> info;
  EXPECT_EQ(S_OK, manager->Decode(record.data(), &info));
  return info;
}

ComPtr<IVELPacketsDecodingInfo> Decode(IOrvDecoderManager* manager, const Bytes& frame) {
  return Decode(manager, frame, static_cast<uint32_t>(frame.size()));
}

std::vector<std::string> GroupNames(IVELPacketsDecodingInfo* info) {
  std::vector<std::string> names;
  for (const auto* g : Impl(info)->Groups()) names.push_back(Narrow(g->Name()));
  return names;
}

const CVELPacketsDecodingItem* FindGroupNth(IVELPacketsDecodingInfo* info, std::string_view prefix, int nth) {
  for (const auto* g : Impl(info)->Groups())
    if (Narrow(g->Name()).rfind(prefix, 0) == 0 && nth-- == 0) return g;
  return nullptr;
}

const CVELPacketsDecodingItem* FindGroup(IVELPacketsDecodingInfo* info, std::string_view prefix) {
  const CVELPacketsDecodingItem* group = FindGroupNth(info, prefix, 0);
  EXPECT_NE(group, nullptr) << "no group " << prefix;
  return group;
}

const CVELPacketsDecodingItem* FindItemOrNull(const CVELPacketsDecodingItem* parent, std::string_view name) {
  if (!parent) return nullptr;
  for (const auto* child : parent->Children()) {
    if (Narrow(child->Name()) == name) return child;
    if (const auto* found = FindItemOrNull(child, name)) return found;
  }
  return nullptr;
}

const CVELPacketsDecodingItem* FindItem(const CVELPacketsDecodingItem* parent, std::string_view name) {
  const CVELPacketsDecodingItem* item = FindItemOrNull(parent, name);
  EXPECT_NE(item, nullptr) << "no item " << name;
  return item;
}

std::vector<std::string> ChildNames(const CVELPacketsDecodingItem* parent) {
  std::vector<std::string> names;
  if (parent)
    for (const auto* child : parent->Children()) names.push_back(Narrow(child->Name()));
  return names;
}

std::string ValueOf(const CVELPacketsDecodingItem* item) { return item ? Narrow(item->Value()) : "<missing>"; }
std::string CommentOf(const CVELPacketsDecodingItem* item) { return item ? Narrow(item->Comment()) : "<missing>"; }
std::string SummaryOf(const CVELPacketsDecodingItem* item) { return item ? Narrow(item->Summary()) : "<missing>"; }

std::string TextOf(IVELPacketsDecodingInfo* info) {
  Bstr text;
  info->GetText(&text);
  return Narrow(text.view());
}

void TruncationSweep(IOrvDecoderManager* manager, const Bytes& frame) {
  for (uint32_t length = 0; length <= frame.size(); ++length) {
    ComPtr<IVELPacketsDecodingInfo> info = Decode(manager, frame, length);
    ASSERT_TRUE(info) << "capture length " << length;
    EXPECT_FALSE(TextOf(info.get()).empty());
  }
}

Bytes ReadDataFile(const std::string& name) {
  std::ifstream in(std::string(VEL_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vel::test

namespace vel::test {

std::vector<Bytes> ReadPcapFrames(const std::string& name) {
  Bytes file = ReadDataFile(name);
  std::vector<Bytes> frames;
  if (file.size() < 24) return frames;
  uint32_t magic = file[0] | file[1] << 8 | file[2] << 16 | uint32_t{file[3]} << 24;
  bool swapped = magic == 0xD4C3B2A1 || magic == 0x4D3CB2A1;
  auto u32 = [&](size_t at) {
    uint32_t v = file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t{file[at + 3]} << 24;
    return swapped ? __builtin_bswap32(v) : v;
  };
  for (size_t at = 24; at + 16 <= file.size();) {
    uint32_t captured = u32(at + 8);
    if (captured > file.size() - at - 16) break;
    frames.emplace_back(file.begin() + at + 16, file.begin() + at + 16 + captured);
    at += 16 + captured;
  }
  return frames;
}

std::vector<std::string> DecodeCapture(IOrvDecoderManager* manager, const std::string& name) {
  std::vector<std::string> texts;
  for (const Bytes& frame : ReadPcapFrames(name)) texts.push_back(TextOf(Decode(manager, frame).get()));
  EXPECT_FALSE(texts.empty()) << name;
  return texts;
}

}  // namespace vel::test
