#include <gtest/gtest.h>

#include "results/decoding_info.h"
#include "vel/interfaces.h"
#include "vel/object.h"

namespace vel {
namespace {

TEST(Guid, RegistryTextRoundTrip) {
  constexpr GUID g = MakeGuid("{04027398-E6D6-42BA-AA6B-24FC4C71F7AC}");
  EXPECT_EQ(GuidToString(g), "{04027398-E6D6-42BA-AA6B-24FC4C71F7AC}");
  GUID parsed{};
  ASSERT_TRUE(GuidFromString(std::string_view("{04027398-e6d6-42ba-aa6b-24fc4c71f7ac}"), &parsed));
  EXPECT_EQ(parsed, g);
  EXPECT_EQ(GuidToU16String(g), u"{04027398-E6D6-42BA-AA6B-24FC4C71F7AC}");
  for (const char* bad : {"", "04027398-E6D6-42BA-AA6B-24FC4C71F7AC", "{04027398-E6D6-42BA-AA6B-24FC4C71F7A}",
                          "{0402739X-E6D6-42BA-AA6B-24FC4C71F7AC}", "{04027398+E6D6-42BA-AA6B-24FC4C71F7AC}"})
    EXPECT_FALSE(GuidFromString(std::string_view(bad), &parsed)) << bad;
}

TEST(Bstr, LengthPrefixedAndNullMeansEmpty) {
  BSTR s = SysAllocString(u"abc");
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(s[3], u'\0');
  EXPECT_EQ(reinterpret_cast<uint32_t*>(s)[-1], 6u);  // byte count before the text
  SysFreeString(s);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_TRUE(BstrView(nullptr).empty());
  BSTR embedded = SysAllocStringLen(u"a\0b", 3);
  EXPECT_EQ(BstrView(embedded), std::u16string_view(u"a\0b", 3));
  SysFreeString(embedded);
}

TEST(Variant, ConvertsIntegersAndNumericText) {
  Variant text(u" 42 ");
  Variant number;
  ASSERT_EQ(S_OK, VariantChangeType(&number, &text, 0, VT_I4));
  EXPECT_EQ(number.lVal, 42);
  Variant word(u"x1");
  EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantChangeType(&number, &word, 0, VT_I4));
  Variant big(uint64_t{1} << 40);
  ASSERT_EQ(S_OK, VariantChangeType(&text, &big, 0, VT_BSTR));
  EXPECT_EQ(BstrView(text.bstrVal), u"1099511627776");
}

TEST(Variant, CopiesHoldTheirOwnReference) {
  auto* info = static_cast<CVELPacketsDecodingInfo*>([] {
    IVELPacketsDecodingInfo* p = nullptr;
    CreateDecodingInfo(IVELPacketsDecodingInfo::kIID, reinterpret_cast<void**>(&p));
    return p;
  }());
  {
    Variant a(static_cast<IDispatch*>(info));
    Variant b = a;
    EXPECT_EQ(info->AddRef(), 4u);
    info->Release();
  }
  EXPECT_EQ(info->Release(), 0u);
}

TEST(Dispatch, CallsOperationsByName) {
  ComPtr<IVELPacketsDecodingInfo> info;
  ASSERT_EQ(S_OK, CreateInstance(CLSID_CVELPacketsDecodingInfo, &info));
  IDispatch* d = info.get();
  ASSERT_EQ(S_OK, InvokeByName(d, u"Sequence", DISPATCH_PROPERTYPUT, {Variant(uint32_t{7})}, nullptr));
  Variant result;
  ASSERT_EQ(S_OK, InvokeByName(d, u"sequence", DISPATCH_PROPERTYGET, {}, &result));
  EXPECT_EQ(result.vt, VT_UI4);
  EXPECT_EQ(result.ulVal, 7u);

  // A method with an interface result, then calls on that result by name.
  ASSERT_EQ(S_OK, InvokeByName(d, u"CreateGroupEx", DISPATCH_METHOD, {Variant(uint32_t{20})}, &result));
  ASSERT_EQ(result.vt, VT_DISPATCH);
  Variant name;
  ASSERT_EQ(S_OK, InvokeByName(result.pdispVal, u"Name", DISPATCH_PROPERTYGET, {}, &name));
  EXPECT_EQ(BstrView(name.bstrVal), u"UDP - User Datagram Protocol");
  ASSERT_EQ(S_OK, InvokeByName(result.pdispVal, u"AppendSummary", DISPATCH_METHOD, {Variant(u"x")}, nullptr));
  Variant summary;
  ASSERT_EQ(S_OK, InvokeByName(d, u"Summary", DISPATCH_PROPERTYGET, {Variant(uint32_t{0})}, &summary));
  EXPECT_EQ(BstrView(summary.bstrVal), u"x");

  Variant groups, count;
  ASSERT_EQ(S_OK, InvokeByName(d, u"EmunGroups", DISPATCH_METHOD, {}, &groups));
  ASSERT_EQ(S_OK, InvokeByName(groups.pdispVal, u"Count", DISPATCH_PROPERTYGET, {}, &count));
  EXPECT_EQ(count.lVal, 1);
  Variant first;
  ASSERT_EQ(S_OK, InvokeByName(groups.pdispVal, u"Item", DISPATCH_PROPERTYGET, {Variant(u"1")}, &first));
  EXPECT_EQ(first.vt, VT_DISPATCH);

  EXPECT_EQ(DISP_E_UNKNOWNNAME, InvokeByName(d, u"NoSuchMember", DISPATCH_METHOD, {}, nullptr));
  EXPECT_EQ(DISP_E_BADPARAMCOUNT, InvokeByName(d, u"CreateGroupEx", DISPATCH_METHOD, {}, nullptr));
}

TEST(Dispatch, ManagerAndModulesByName) {
  ComPtr<IOrvDecoderManager> manager;
  ASSERT_EQ(S_OK, CreateInstance(CLSID_COrvDecoderManager, &manager));
  Variant verify;
  ASSERT_EQ(S_OK, InvokeByName(manager.get(), u"VerifyChecksum", DISPATCH_PROPERTYGET, {}, &verify));
  EXPECT_EQ(verify.lVal, 1);
  ASSERT_EQ(S_OK, InvokeByName(manager.get(), u"Initialize", DISPATCH_METHOD, {}, nullptr));
  Variant modules, root;
  ASSERT_EQ(S_OK, InvokeByName(manager.get(), u"EnumerateModules", DISPATCH_METHOD, {}, &modules));
  ASSERT_EQ(S_OK, InvokeByName(modules.pdispVal, u"Item", DISPATCH_PROPERTYGET, {Variant(int32_t{1})}, &root));
  Variant clsid, type;
  ASSERT_EQ(S_OK, InvokeByName(root.pdispVal, u"CLSID", DISPATCH_PROPERTYGET, {}, &clsid));
  EXPECT_EQ(BstrView(clsid.bstrVal), u"{0E0B92FD-E942-4649-B36D-987410322621}");
  ASSERT_EQ(S_OK, InvokeByName(root.pdispVal, u"ProtocolType", DISPATCH_PROPERTYGET, {}, &type));
  EXPECT_EQ(type.ulVal, 48u);
}

TEST(ClassFactory, CreatesKnownClassesAndRefusesOthers) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(S_OK, DllGetClassObject(&CLSID_COrvDecoderManager, &IClassFactory::kIID, reinterpret_cast<void**>(&factory)));
  IOrvDecoderManager* manager = nullptr;
  EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IOrvDecoderManager::kIID, reinterpret_cast<void**>(&manager)));
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  manager->Release();
  factory->Release();
  constexpr CLSID unknown = MakeGuid("{11111111-2222-3333-4444-555555555555}");
  void* none = nullptr;
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(&unknown, &IClassFactory::kIID, &none));
}

}  // namespace
}  // namespace vel
