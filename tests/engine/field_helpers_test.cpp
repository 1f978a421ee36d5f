#include "test_module.h"
#include "test_support.h"

namespace vel::test {
namespace {

// Runs body as the field decoding of a test module that takes the layer after
// Ethernet, over the given payload bytes.
ComPtr<IVELPacketsDecodingInfo> DecodeWith(const Bytes& payload, std::function<void(CTestModule&)> body) {
  // An unknown EtherType leaves the next layer type 0, which the test module takes.
  auto module = CTestModule::Make(0, {48});
  module->body = std::move(body);
  auto manager = MakeManager(false);
  manager->Initialize();
  manager->AddModule(module.get());
  return Decode(manager.get(), Concat({Hex("001122334455 665544332211 1234"), payload}));
}

const CVELPacketsDecodingItem* Field(IVELPacketsDecodingInfo* info, const char* name) {
  return FindItem(FindGroup(info, "UNKNOWN - Unknown Protocol"), name);
}

TEST(FieldHelpers, NumbersInTheHouseFormats) {
  uint32_t afterWord = 0, afterPeek = 0;
  auto info = DecodeWith(Hex("0800 0800 ff c0a80001"), [&](CTestModule& m) {
    m.AddWordItem(m.Group(), u"Peek", {}, 0, false);
    afterPeek = m.CursorOffset();
    m.AddWordItem(m.Group(), u"Big");
    m.AddWordItem(m.Group(), u"Little", {}, 0, true, false);
    afterWord = m.CursorOffset();
    m.AddByteItem(m.Group(), u"Byte", u"note", VEL_DII_SOURCE_PORT);
    m.AddDWordItem(m.Group(), u"Address");
  });
  EXPECT_EQ(afterPeek, 14u);
  EXPECT_EQ(afterWord, 18u);
  EXPECT_EQ(ValueOf(Field(info.get(), "Big")), "2048 (0x0800)");
  EXPECT_EQ(ValueOf(Field(info.get(), "Little")), "8 (0x0008)");
  const auto* byte = Field(info.get(), "Byte");
  EXPECT_EQ(ValueOf(byte), "255 (0xFF)");
  EXPECT_EQ(CommentOf(byte), "note");
  EXPECT_EQ(byte->type, uint32_t{VEL_DII_SOURCE_PORT});
  EXPECT_EQ(byte->startPos, 18u);
  EXPECT_EQ(byte->length, 1u);
  EXPECT_EQ(ValueOf(Field(info.get(), "Address")), "3232235521 (0xC0A80001)");
}

TEST(FieldHelpers, HexItemsShowAtMost32Bytes) {
  Bytes forty(40, 0xAB);
  forty[0] = 0x01;
  auto info = DecodeWith(Concat({Hex("01abff"), forty}), [](CTestModule& m) {
    m.AddHexItem(m.Group(), u"Three", 3);
    m.AddHexItem(m.Group(), u"Forty", 40);
  });
  EXPECT_EQ(ValueOf(Field(info.get(), "Three")), "01ABFF");
  const auto* forty_ = Field(info.get(), "Forty");
  std::string expected = "01";
  for (int i = 1; i < 32; ++i) expected += "AB";
  EXPECT_EQ(ValueOf(forty_), expected + "...");
  EXPECT_EQ(forty_->length, 40u);
}

TEST(FieldHelpers, RemainingBytes) {
  uint32_t cursor = 0;
  Item* none = reinterpret_cast<Item*>(1);
  auto info = DecodeWith(Bytes(10, 0), [&](CTestModule& m) {
    m.AddRemainingItem(m.Group(), u"Rest");
    cursor = m.CursorOffset();
    none = m.AddRemainingItem(m.Group(), u"Nothing");
  });
  const auto* rest = Field(info.get(), "Rest");
  EXPECT_EQ(rest->length, 10u);
  EXPECT_EQ(CommentOf(rest), "10 (0xA) Bytes Remaining");
  EXPECT_EQ(ValueOf(rest), "");
  EXPECT_EQ(cursor, 24u);
  EXPECT_EQ(none, nullptr);
}

TEST(FieldHelpers, GroupItemsAreClampedToTheCapture) {
  auto info = DecodeWith(Hex("0102"), [](CTestModule& m) {
    Item* sub = m.AddGroupItem(m.Group(), 40, u"Options", u"v", u"c");
    m.AddByteItem(sub, u"First");
  });
  const auto* options = Field(info.get(), "Options");
  EXPECT_EQ(options->isGroup, 1);
  EXPECT_EQ(options->length, 2u);
  EXPECT_EQ(ChildNames(options), (std::vector<std::string>{"First"}));
}

TEST(FieldHelpers, LayerTypeAccessorStopsAtTen) {
  ParsedPacket packet{};
  packet.nLayers[9] = 5;
  EXPECT_EQ(LayerProtocolType(&packet, 9), 5u);
  EXPECT_EQ(LayerProtocolType(&packet, 10), 0u);
  EXPECT_EQ(LayerProtocolType(nullptr, 0), 0u);
}

}  // namespace
}  // namespace vel::test
