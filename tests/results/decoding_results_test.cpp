#include <gtest/gtest.h>

#include "results/collection.h"
#include "results/decoding_info.h"
#include "test_support.h"

namespace vel::test {
namespace {

// A fresh info holding one reference.
ComPtr<IVELPacketsDecodingInfo> NewInfo() {
  ComPtr<IVELPacketsDecodingInfo> info;
  EXPECT_EQ(S_OK, CreateInstance(CLSID_CVELPacketsDecodingInfo, &info));
  return info;
}

std::u16string Get(HRESULT (IVELPacketsDecodingItem::*getter)(BSTR*), IVELPacketsDecodingItem* item) {
  Bstr text;
  EXPECT_EQ(S_OK, (item->*getter)(&text));
  return std::u16string(text.view());
}

TEST(DecodingItem, FreshItemHasDefaults) {
  auto info = NewInfo();
  IVELPacketsDecodingItem* group = nullptr;
  ASSERT_EQ(S_OK, info->CreateGroup(nullptr, &group));
  IVELPacketsDecodingItem* item = nullptr;
  ASSERT_EQ(S_OK, group->CreateDecodingItem(nullptr, &item));
  uint32_t n = 99;
  int32_t isGroup = 99;
  for (auto getter : {&IVELPacketsDecodingItem::get_StartPos, &IVELPacketsDecodingItem::get_Length,
                      &IVELPacketsDecodingItem::get_Protocol, &IVELPacketsDecodingItem::get_Type,
                      &IVELPacketsDecodingItem::get_MaxValueLen, &IVELPacketsDecodingItem::get_Cookie,
                      &IVELPacketsDecodingItem::get_Index}) {
    (item->*getter)(&n);
    EXPECT_EQ(n, 0u);
  }
  item->get_Severity(&n);
  EXPECT_EQ(n, 1u);
  item->get_IsGroup(&isGroup);
  EXPECT_EQ(isGroup, 0);
  for (auto getter : {&IVELPacketsDecodingItem::get_Name, &IVELPacketsDecodingItem::get_Value,
                      &IVELPacketsDecodingItem::get_Comment, &IVELPacketsDecodingItem::get_Description,
                      &IVELPacketsDecodingItem::get_Summary})
    EXPECT_EQ(Get(getter, item), u"");
  EXPECT_EQ(E_POINTER, item->get_ID(nullptr));
  EXPECT_EQ(E_POINTER, item->GetText(0, 0, nullptr));
}

TEST(DecodingItem, IdentitySelectsTheItemCreatedWithIt) {
  auto info = NewInfo();
  info->put_ItemIDSelected(Bstr(u"BAG"));
  IVELPacketsDecodingItem *g, *a, *b;
  info->CreateGroup(Bstr(u"G"), &g);
  g->CreateGroup(Bstr(u"A"), &a);
  a->CreateDecodingItem(Bstr(u"B"), &b);
  EXPECT_EQ(Get(&IVELPacketsDecodingItem::get_ID, b), u"BAG");
  ComPtr<IVELPacketsDecodingItem> selected;
  ASSERT_EQ(S_OK, info->DecodingItemSelected(&selected));
  EXPECT_EQ(selected.get(), b);

  // Setting the identity later does not search existing items.
  auto other = NewInfo();
  IVELPacketsDecodingItem* group;
  other->CreateGroup(Bstr(u"G"), &group);
  other->put_ItemIDSelected(Bstr(u"G"));
  ComPtr<IVELPacketsDecodingItem> none;
  ASSERT_EQ(S_OK, other->DecodingItemSelected(&none));
  EXPECT_FALSE(none);
}

TEST(DecodingItem, LongestNameAndValueOnlyGrow) {
  auto info = NewInfo();
  IVELPacketsDecodingItem *group, *sub, *field;
  info->CreateGroup(Bstr(u"G"), &group);
  group->CreateGroup(Bstr(u"Sub"), &sub);
  sub->CreateDecodingItem(Bstr(u"A longer name"), &field);
  uint32_t n = 0;
  info->get_MaxItemLen(&n);
  EXPECT_EQ(n, 13u);
  field->put_Value(Bstr(u"sixsix"));
  field->put_Value(Bstr(u"abc"));
  group->get_MaxValueLen(&n);
  EXPECT_EQ(n, 6u);
  field->get_MaxValueLen(&n);
  EXPECT_EQ(n, 0u);
  field->put_Name(Bstr(u"x"));
  info->get_MaxItemLen(&n);
  EXPECT_EQ(n, 13u);
}

TEST(DecodingItem, AppendSummaryJoinsWithCommaBlank) {
  auto info = NewInfo();
  IVELPacketsDecodingItem* group;
  info->CreateGroup(Bstr(u"G"), &group);
  group->AppendSummary(Bstr(u"x"));
  EXPECT_EQ(Get(&IVELPacketsDecodingItem::get_Summary, group), u"x");
  group->AppendSummary(Bstr(u"y"));
  EXPECT_EQ(Get(&IVELPacketsDecodingItem::get_Summary, group), u"x, y");
}

TEST(DecodingItem, TextLineForms) {
  auto info = NewInfo();
  IVELPacketsDecodingItem *group, *item;
  info->CreateGroup(Bstr(u"G"), &group);
  group->CreateDecodingItem(Bstr(u"Version"), &item);
  item->put_Value(Bstr(u"4"));
  item->put_Length(1);
  item->put_StartPos(14);
  Bstr line;
  item->GetText(0, 0, &line);
  EXPECT_EQ(line.view(), u"Version             4                    [1 / 14-15] \r\n");
  item->put_Length(0);
  item->put_Comment(Bstr(u"note"));
  item->GetText(8, 3, &line);
  EXPECT_EQ(line.view(), u"Version 4   note\r\n");
}

TEST(DecodingInfo, RendersEveryItemIndentedPerLevel) {
  auto info = NewInfo();
  IVELPacketsDecodingItem *group, *sub, *field;
  info->CreateGroup(Bstr(u"Grp"), &group);
  group->CreateGroup(Bstr(u"Sub"), &sub);
  sub->CreateDecodingItem(Bstr(u"Fld"), &field);
  field->put_Value(Bstr(u"v"));
  info->put_MaxItemLen(4);
  group->put_MaxValueLen(2);
  Bstr text;
  info->GetText(&text);
  EXPECT_EQ(text.view(), u"Grp    \r\n Sub    \r\n  Fld v  \r\n");
}

TEST(DecodingInfo, SeverityOnlyRises) {
  auto info = NewInfo();
  uint32_t s = 0;
  info->get_Severity(&s);
  EXPECT_EQ(s, 1u);
  info->put_Severity(3);
  info->put_Severity(2);
  info->get_Severity(&s);
  EXPECT_EQ(s, 3u);
  info->put_Severity(4);
  info->get_Severity(&s);
  EXPECT_EQ(s, 4u);
}

TEST(DecodingInfo, SummaryOfHighestLayerOrOfAProtocol) {
  auto info = NewInfo();
  IVELPacketsDecodingItem *frame, *ip, *tcp;
  info->CreateGroup(Bstr(u"frame"), &frame);
  info->CreateGroupEx(1, &ip);
  info->CreateGroupEx(2, &tcp);
  ip->put_Summary(Bstr(u"A"));
  Bstr text;
  EXPECT_EQ(S_OK, info->get_Summary(0, &text));
  EXPECT_EQ(text.view(), u"A");
  EXPECT_EQ(S_OK, info->get_Summary(2, &text));
  EXPECT_EQ(text.view(), u"");
  BSTR untouched = reinterpret_cast<BSTR>(0x1);
  EXPECT_EQ(S_FALSE, info->get_Summary(7, &untouched));
  EXPECT_EQ(untouched, reinterpret_cast<BSTR>(0x1));
}

TEST(DecodingInfo, GroupsAreNumberedAndNamedFromTheCatalogue) {
  auto info = NewInfo();
  IVELPacketsDecodingItem *first, *ip;
  info->CreateGroup(Bstr(u"frame"), &first);
  info->CreateGroupEx(1, &ip);
  EXPECT_EQ(Get(&IVELPacketsDecodingItem::get_Name, ip), u"IP - Internet Protocol (v4)");
  uint32_t n = 0;
  ip->get_Index(&n);
  EXPECT_EQ(n, 2u);
  ip->get_Protocol(&n);
  EXPECT_EQ(n, 1u);
  int32_t isGroup = 0;
  ip->get_IsGroup(&isGroup);
  EXPECT_EQ(isGroup, 1);
  ComPtr<IVELPacketsDecodingItem> top;
  ASSERT_EQ(S_OK, info->TopLayerDecodingItem(&top));
  EXPECT_EQ(top.get(), ip);
  IVELPacketsDecodingItem* untouched = reinterpret_cast<IVELPacketsDecodingItem*>(0x1);
  EXPECT_EQ(S_FALSE, NewInfo()->TopLayerDecodingItem(&untouched));
  EXPECT_EQ(untouched, reinterpret_cast<IVELPacketsDecodingItem*>(0x1));
}

TEST(DecodingInfo, OffsetLookupFindsTheDeepestFirstCoveringItem) {
  auto info = NewInfo();
  IVELPacketsDecodingItem *group, *a, *b, *empty;
  info->CreateGroup(Bstr(u"G"), &group);
  group->put_StartPos(0);
  group->put_Length(20);
  group->CreateDecodingItem(Bstr(u"a"), &a);
  a->put_StartPos(14);
  a->put_Length(2);
  group->CreateDecodingItem(Bstr(u"b"), &b);
  b->put_StartPos(14);
  b->put_Length(4);
  group->CreateDecodingItem(Bstr(u"empty"), &empty);
  empty->put_StartPos(3);
  ComPtr<IVELPacketsDecodingItem> found;
  EXPECT_EQ(S_OK, info->LooupDecodingItemEx(15, &found));
  EXPECT_EQ(found.get(), a);
  EXPECT_EQ(S_OK, info->LooupDecodingItemEx(16, &found));
  EXPECT_EQ(found.get(), b);
  EXPECT_EQ(S_OK, info->LooupDecodingItemEx(3, &found));
  EXPECT_EQ(found.get(), group);
  EXPECT_EQ(S_FALSE, info->LooupDecodingItemEx(20, &found));
  EXPECT_FALSE(found);
}

TEST(DecodingInfo, CookieLookupSearchesGroupsDepthFirst) {
  auto info = NewInfo();
  IVELPacketsDecodingItem *group, *field, *nested;
  info->CreateGroup(Bstr(u"G"), &group);
  group->CreateDecodingItem(Bstr(u"f"), &field);
  field->CreateDecodingItem(Bstr(u"under a field"), &nested);
  group->put_Cookie(1);
  field->put_Cookie(5);
  nested->put_Cookie(9);
  ComPtr<IVELPacketsDecodingItem> found;
  EXPECT_EQ(S_OK, info->LooupDecodingItem(5, &found));
  EXPECT_EQ(found.get(), field);
  EXPECT_EQ(S_FALSE, info->LooupDecodingItem(9, &found));  // fields are not searched below
  EXPECT_FALSE(found);
}

TEST(Collection, ItemByNumberTextAndOtherText) {
  auto info = NewInfo();
  IVELPacketsDecodingItem *g1, *g2;
  info->CreateGroup(Bstr(u"one"), &g1);
  info->CreateGroup(Bstr(u"two"), &g2);
  ComPtr<IIDECollection> groups;
  ASSERT_EQ(S_OK, info->EmunGroups(&groups));
  int32_t count = 0;
  groups->get_Count(&count);
  EXPECT_EQ(count, 2);
  Variant result;
  EXPECT_EQ(E_INVALIDARG, groups->get_Item(Variant(int32_t{0}), &result));
  EXPECT_EQ(E_INVALIDARG, groups->get_Item(Variant(int32_t{3}), &result));
  EXPECT_EQ(E_FAIL, groups->get_Item(Variant(u"two"), &result));
  ASSERT_EQ(S_OK, groups->get_Item(Variant(u"2"), &result));
  ASSERT_EQ(result.vt, VT_DISPATCH);
  ComPtr<IVELPacketsDecodingItem> second;
  result.pdispVal->QueryInterface(IVELPacketsDecodingItem::kIID, reinterpret_cast<void**>(&second));
  EXPECT_EQ(second.get(), g2);
  EXPECT_EQ(E_POINTER, groups->get_Count(nullptr));
}

TEST(Collection, EnumeratorCopiesHoldReferences) {
  auto info = NewInfo();
  IVELPacketsDecodingItem* g;
  info->CreateGroup(Bstr(u"one"), &g);
  ComPtr<IIDECollection> groups;
  info->EmunGroups(&groups);
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(S_OK, groups->get__NewEnum(&unknown));
  auto enumerator = unknown.As<IEnumVARIANT>();
  ASSERT_TRUE(enumerator);
  groups.reset();
  info.reset();  // the enumerator's copy keeps the group alive
  Variant v[2];
  uint32_t fetched = 0;
  EXPECT_EQ(S_FALSE, enumerator->Next(2, v, &fetched));
  EXPECT_EQ(fetched, 1u);
  Variant name;
  ASSERT_EQ(S_OK, InvokeByName(v[0].pdispVal, u"Name", DISPATCH_PROPERTYGET, {}, &name));
  EXPECT_EQ(BstrView(name.bstrVal), u"one");
  ComPtr<IEnumVARIANT> clone;
  enumerator->Reset();
  ASSERT_EQ(S_OK, enumerator->Clone(&clone));
  EXPECT_EQ(S_OK, clone->Skip(1));
  EXPECT_EQ(S_FALSE, clone->Skip(1));
}


}  // namespace
}  // namespace vel::test
