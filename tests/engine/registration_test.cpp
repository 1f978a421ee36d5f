#include <dlfcn.h>
#include <stdlib.h>

#include <filesystem>

#include "engine/registry_store.h"
#include "test_support.h"

namespace vel::test {
namespace {

namespace fs = std::filesystem;
using registry::Hive;

// Points the store at a fresh directory for the test and back afterwards.
class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* saved = getenv("VEL_REGISTRY_ROOT");
    previous_ = saved ? saved : "";
    char pattern[] = "/tmp/vel-registry-XXXXXX";
    root_ = mkdtemp(pattern);
    setenv("VEL_REGISTRY_ROOT", root_.c_str(), 1);
  }
  void TearDown() override {
    fs::remove_all(root_);
    previous_.empty() ? unsetenv("VEL_REGISTRY_ROOT") : setenv("VEL_REGISTRY_ROOT", previous_.c_str(), 1);
  }
  static std::string EntryKey(const CLSID& clsid) { return std::string(kModuleListKey) + "\\" + GuidToString(clsid); }
  static std::optional<registry::Value> ModuleValue(const CLSID& clsid, const char* name) {
    return registry::GetValue(Hive::kLocalMachine, EntryKey(clsid), name);
  }
  static int ModuleCount(IOrvDecoderManager* manager) {
    ComPtr<IIDECollection> modules;
    manager->EnumerateModules(&modules);
    int32_t count = 0;
    modules->get_Count(&count);
    return count;
  }

  std::string root_, previous_;
};

constexpr CLSID kIPv4 = MakeGuid("{4A513EC6-FBD3-455D-B8C5-D212A8DD7D08}");
constexpr CLSID kThirdParty = MakeGuid("{12345678-9ABC-DEF0-1234-56789ABCDEF0}");

TEST_F(RegistrationTest, StoreValuesSurviveAReadBack) {
  ASSERT_TRUE(registry::SetValue(Hive::kLocalMachine, "A\\B", "Text", std::u16string(u"line\\one\nzwei 中")));
  ASSERT_TRUE(registry::SetValue(Hive::kLocalMachine, "A\\B", "Number", uint32_t{0xDEADBEEF}));
  EXPECT_EQ(std::get<std::u16string>(*registry::GetValue(Hive::kLocalMachine, "A\\B", "Text")), u"line\\one\nzwei 中");
  EXPECT_EQ(std::get<uint32_t>(*registry::GetValue(Hive::kLocalMachine, "A\\B", "Number")), 0xDEADBEEFu);
  EXPECT_EQ(registry::SubKeys(Hive::kLocalMachine, "A"), (std::vector<std::string>{"B"}));
  EXPECT_FALSE(registry::CreateKey(Hive::kLocalMachine, "A\\..\\..\\escape"));
  EXPECT_FALSE(registry::GetValue(Hive::kLocalMachine, "A\\B", "Missing"));
}

TEST_F(RegistrationTest, RegisteringTwiceLeavesOneEnabledEntryPerModule) {
  ASSERT_EQ(S_OK, DllRegisterServer());
  registry::SetValue(Hive::kLocalMachine, EntryKey(kIPv4), "Enable", uint32_t{0});
  ASSERT_EQ(S_OK, DllRegisterServer());
  auto modules = BuiltInModuleClasses();
  EXPECT_EQ(registry::SubKeys(Hive::kLocalMachine, kModuleListKey).size(), modules.size());
  for (const CLSID& clsid : modules) EXPECT_EQ(std::get<uint32_t>(*ModuleValue(clsid, "Enable")), 1u);
  EXPECT_EQ(std::get<std::u16string>(*ModuleValue(kIPv4, "Name")), u"IPv4 Decoder");
  EXPECT_EQ(std::get<std::u16string>(*ModuleValue(kIPv4, "Description")), u"IPv4 Decoder Module");
}

TEST_F(RegistrationTest, ClassRegistrationsNameTheLibrary) {
  ASSERT_EQ(S_OK, DllRegisterServer());
  auto text = [](const std::string& key, const char* name = "") {
    auto v = registry::GetValue(Hive::kClassesRoot, key, name);
    return v ? Narrow(std::get<std::u16string>(*v)) : std::string("<none>");
  };
  std::string manager = "CLSID\\{FED08E96-C756-4625-A171-8CA6829B6464}";
  EXPECT_EQ(text(manager + "\\ProgID"), "VEL.OrvDecoderManager.1");
  EXPECT_EQ(text("VEL.OrvDecoderManager\\CurVer"), "VEL.OrvDecoderManager.1");
  EXPECT_NE(text(manager + "\\InprocServer32").find("libveldecoder.so"), std::string::npos);
  EXPECT_EQ(text("CLSID\\{4A513EC6-FBD3-455D-B8C5-D212A8DD7D08}"), "CIPv4Decoder Object");
  EXPECT_EQ(text("CIPv4Decoder.CIPv4Decoder.1.0\\CLSID"), "{4A513EC6-FBD3-455D-B8C5-D212A8DD7D08}");
  EXPECT_EQ(text("CLSID\\{0E0B92FD-E942-4649-B36D-987410322621}\\ProgID"), "EthernetDcoder.CEthernetDcoder.1.0");
  EXPECT_EQ(text("AppID\\{6F31291D-2D82-41A4-A903-F8809BCA847B}"), "VdDecoderMagr");
  EXPECT_EQ(text("AppID\\VdDecoderMagr.DLL", "AppID"), "{6F31291D-2D82-41A4-A903-F8809BCA847B}");
}

TEST_F(RegistrationTest, UnregisteringKeepsTheBaseKeyAndThirdParties) {
  ASSERT_EQ(S_OK, DllRegisterServer());
  ASSERT_TRUE(RegisterModuleEntry(kThirdParty, u"Other", u"Somebody else's", 1));
  ASSERT_EQ(S_OK, DllUnregisterServer());
  EXPECT_TRUE(registry::KeyExists(Hive::kLocalMachine, kModuleListKey));
  EXPECT_EQ(registry::SubKeys(Hive::kLocalMachine, kModuleListKey),
            (std::vector<std::string>{GuidToString(kThirdParty)}));
  EXPECT_FALSE(registry::KeyExists(Hive::kClassesRoot, "CLSID\\{FED08E96-C756-4625-A171-8CA6829B6464}"));
  EXPECT_TRUE(registry::KeyExists(Hive::kClassesRoot, "AppID"));
}

TEST_F(RegistrationTest, InitializeBuildsTheGraphFromEnabledEntries) {
  ASSERT_EQ(S_OK, DllRegisterServer());
  registry::SetValue(Hive::kLocalMachine, EntryKey(kIPv4), "Enable", uint32_t{0});
  RegisterModuleEntry(kThirdParty, u"Unknown class", u"", 1);  // cannot be created: skipped
  registry::SetValue(Hive::kLocalMachine, std::string(kModuleListKey) + "\\not-a-class-id", "Enable", uint32_t{1});
  ComPtr<IOrvDecoderManager> manager;
  CreateInstance(CLSID_COrvDecoderManager, &manager);
  ASSERT_EQ(S_OK, manager->Initialize());
  EXPECT_EQ(ModuleCount(manager.get()), static_cast<int>(BuiltInModuleClasses().size()));  // root, all but IPv4
  ComPtr<IVELDcoder> ipv4;
  manager->LookforModule(Bstr(u"{4A513EC6-FBD3-455D-B8C5-D212A8DD7D08}"), &ipv4);
  EXPECT_FALSE(ipv4);
}

TEST_F(RegistrationTest, ExtensionModuleLoadsFromItsOwnLibrary) {
  std::string path = std::string(VEL_BUILD_DIR) + "/examples/lldp/libvel_lldp.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto registerServer = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"));
  auto unregisterServer = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllUnregisterServer"));
  ASSERT_EQ(S_OK, registerServer());
  auto entries = registry::SubKeys(Hive::kLocalMachine, kModuleListKey);
  ASSERT_EQ(entries, (std::vector<std::string>{"{7C1E5A90-3B4D-4E21-9F6A-2D8B0C4E7A15}"}));

  ComPtr<IOrvDecoderManager> manager;
  CreateInstance(CLSID_COrvDecoderManager, &manager);
  ASSERT_EQ(S_OK, manager->Initialize());
  EXPECT_EQ(ModuleCount(manager.get()), 2);
  const Bytes lldp = Hex("0180c200000e 001122334455 88cc 0207 04 001122334455 0407 03 001122334466 0602 0078 "
                         "0a07 73776974636831 0000");
  auto info = Decode(manager.get(), lldp);
  const auto* group = FindGroup(info.get(), "LLDP - Link Layer Discovery Protocol");
  EXPECT_EQ(ChildNames(group), (std::vector<std::string>{"Chassis ID", "Port ID", "Time to Live", "System Name",
                                                         "End of LLDPDU"}));
  EXPECT_EQ(ValueOf(FindItem(group, "Chassis ID")), "00:11:22:33:44:55");
  EXPECT_EQ(ValueOf(FindItem(group, "Time to Live")), "120");
  EXPECT_EQ(ValueOf(FindItem(group, "System Name")), "switch1");
  EXPECT_EQ(group->length, lldp.size() - 14);
  TruncationSweep(manager.get(), lldp);

  ASSERT_EQ(S_OK, unregisterServer());
  ComPtr<IOrvDecoderManager> after;
  CreateInstance(CLSID_COrvDecoderManager, &after);
  after->Initialize();
  EXPECT_EQ(ModuleCount(after.get()), 1);
  auto again = Decode(after.get(), lldp);
  EXPECT_EQ(FindGroupNth(again.get(), "LLDP", 0), nullptr);
}

}  // namespace
}  // namespace vel::test
