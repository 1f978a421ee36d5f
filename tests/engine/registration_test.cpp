#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

#include "engine/class_table.h"
#include "engine/registry_store.h"
#include "process_runner.h"
#include "support/diagnostic_log.h"
#include "test_module.h"
#include "test_support.h"

namespace vel::test {
namespace {

namespace fs = std::filesystem;
using registry::Hive;

// Points the store at a fresh directory for the test and back afterwards.
class RegistrationTest : public ::testing::Test {
 protected:
  static std::string EntryKey(const CLSID& clsid) { return std::string(kModuleListKey) + "\\" + GuidToString(clsid); }
  static std::optional<registry::Value> ModuleValue(const CLSID& clsid, const char* name) {
    return registry::GetValue(Hive::kLocalMachine, EntryKey(clsid), name);
  }

  TempDir store_;
  const std::string& root_ = store_.path();
  StoreAt storeAt_{root_};
};

constexpr CLSID kIPv4 = MakeGuid("{4A513EC6-FBD3-455D-B8C5-D212A8DD7D08}");
constexpr CLSID kThirdParty = MakeGuid("{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
constexpr const char* kLldpClass = "{7C1E5A90-3B4D-4E21-9F6A-2D8B0C4E7A15}";
const Bytes kLldpFrame = Hex("0180c200000e 001122334455 88cc 0207 04 001122334455 0407 03 001122334466 0602 0078 "
                             "0a07 73776974636831 0000");

std::string BuiltLldpLibrary() { return std::string(VEL_BUILD_DIR) + "/examples/lldp/libvel_lldp.so"; }

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

// ProgIDs that do not repeat the class name; CIFS is a class outside the module list that takes TCP input only.
TEST(ModuleClasses, OwnProgIdsAndTheClassOutsideTheModuleList) {
  const char* const cases[][3] = {
      {"{044E2AB8-1289-49AA-BC86-DC7F214DBFB9}", "TFTPDecoder.CTFTPDecoder.1.0", "CTFTPDecoder.CTFTPDecoder"},
      {"{1A6F7E93-4A38-4E8C-9B61-73C396857FA3}", "SSLDecoder.CSSLDecoder.1.0", "CSSLDecoder.CSSLDecoder"},
      {"{84D22236-7E4E-4EE9-8F67-7EC8E0C89C10}", "CCIFSDecoder.CCIFSDecoder.1.0", "CCIFSDecoder.CCIFSDecoder"}};
  for (const auto& [clsid, progId, independentProgId] : cases) {
    CLSID id{};
    ASSERT_TRUE(GuidFromString(clsid, &id)) << clsid;
    const ClassEntry* entry = FindClass(id);
    ASSERT_NE(entry, nullptr) << clsid;
    EXPECT_EQ(ProgIdOf(*entry), progId);
    EXPECT_EQ(VersionIndependentProgIdOf(*entry), independentProgId);
  }
  constexpr CLSID kCifs = MakeGuid("{84D22236-7E4E-4EE9-8F67-7EC8E0C89C10}");
  EXPECT_EQ(FindClass(kCifs)->moduleName, nullptr);
  ComPtr<IVELDcoder> cifs;
  ASSERT_EQ(S_OK, CreateInstance(kCifs, &cifs));
  uint32_t type = 0;
  cifs->get_ProtocolType(&type);
  EXPECT_EQ(type, 47u);
  EXPECT_EQ(CTestModule::Make(2, {})->ConnectModule(cifs.get()), S_OK);
  EXPECT_EQ(CTestModule::Make(46, {})->ConnectModule(cifs.get()), S_FALSE);
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
  EXPECT_EQ(GraphModules(manager.get()).size(), BuiltInModuleClasses().size());  // root, all but IPv4
  ComPtr<IVELDcoder> ipv4;
  manager->LookforModule(Bstr(u"{4A513EC6-FBD3-455D-B8C5-D212A8DD7D08}"), &ipv4);
  EXPECT_FALSE(ipv4);
}

TEST_F(RegistrationTest, ExtensionModuleLoadsFromItsOwnLibrary) {
  void* library = dlopen(BuiltLldpLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto registerServer = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"));
  auto unregisterServer = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllUnregisterServer"));
  ASSERT_EQ(S_OK, registerServer());
  auto entries = registry::SubKeys(Hive::kLocalMachine, kModuleListKey);
  ASSERT_EQ(entries, (std::vector<std::string>{kLldpClass}));

  ComPtr<IOrvDecoderManager> manager;
  CreateInstance(CLSID_COrvDecoderManager, &manager);
  ASSERT_EQ(S_OK, manager->Initialize());
  EXPECT_EQ(GraphModules(manager.get()).size(), 2u);
  const Bytes& lldp = kLldpFrame;
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
  EXPECT_EQ(GraphModules(after.get()).size(), 1u);
  auto again = Decode(after.get(), lldp);
  EXPECT_EQ(FindGroupNth(again.get(), "LLDP", 0), nullptr);
}

// The built-in modules and the LLDP extension registered in the test's store;
// each case spoils one thing the extension's loading depends on.
class ExtensionTrustTest : public RegistrationTest {
 protected:
  void SetUp() override {
    RegistrationTest::SetUp();
    DiagnosticLog::Instance().SetListener([this](std::string_view line) { log_.emplace_back(line); });
    ASSERT_EQ(S_OK, DllRegisterServer());
    void* library = dlopen(BuiltLldpLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    ASSERT_EQ(S_OK, reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"))());
  }
  void TearDown() override {
    DiagnosticLog::Instance().SetListener(nullptr);
    RegistrationTest::TearDown();
  }

  static std::string EntryFile() {
    return registry::ValuesFile(Hive::kClassesRoot, std::string("CLSID\\") + kLldpClass + "\\InprocServer32")->string();
  }
  static void RegisterLibraryPath(const std::string& path) {
    ASSERT_TRUE(registry::SetValue(Hive::kClassesRoot, std::string("CLSID\\") + kLldpClass + "\\InprocServer32", "",
                                   Utf8ToUtf16(path)));
  }
  // A copy of the library in a directory of its own, with the given mode.
  std::string CopyLibrary(fs::perms mode) {
    std::string copy = libraries_.File("libvel_lldp.so");
    fs::copy_file(BuiltLldpLibrary(), copy, fs::copy_options::overwrite_existing);
    fs::permissions(copy, mode);
    return copy;
  }
  static void ChangeTreeMode(const std::string& top, fs::perms directories, fs::perms files) {
    fs::permissions(top, directories);
    for (const auto& entry : fs::recursive_directory_iterator(top))
      fs::permissions(entry.path(), entry.is_directory() ? directories : files);
  }
  static void GiveTreeToNobody(const std::string& top) {
    ASSERT_EQ(lchown(top.c_str(), kNobody, kNobody), 0);
    for (const auto& entry : fs::recursive_directory_iterator(top))
      ASSERT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0);
  }

  ComPtr<IOrvDecoderManager> InitializedManager() {
    log_.clear();
    ComPtr<IOrvDecoderManager> manager;
    CreateInstance(CLSID_COrvDecoderManager, &manager);
    EXPECT_EQ(S_OK, manager->Initialize());
    return manager;
  }

  // The extension is left out with one log line naming the library and the
  // reason; the built-in modules all joined and decode as usual.
  void ExpectRefused(const std::string& library, const std::string& reason) {
    auto manager = InitializedManager();
    ASSERT_EQ(log_.size(), 1u);
    std::string line = " [ERROR] Extension library " + library + " of class " + kLldpClass + " not loaded: " + reason;
    EXPECT_TRUE(log_[0].ends_with(line + "\r\n")) << log_[0] << "\nexpected the end:\n" << line;
    EXPECT_EQ(GraphModules(manager.get()).size(), 1 + BuiltInModuleClasses().size());
    EXPECT_NE(FindGroup(Decode(manager.get(), UdpFrame(1025, 4000, Hex("0102"))).get(), "UDP"), nullptr);
    EXPECT_EQ(FindGroupNth(Decode(manager.get(), kLldpFrame).get(), "LLDP", 0), nullptr);
  }
  void ExpectLoaded() {
    auto manager = InitializedManager();
    EXPECT_TRUE(log_.empty()) << log_.front();
    EXPECT_NE(FindGroup(Decode(manager.get(), kLldpFrame).get(), "LLDP"), nullptr);
  }

  static constexpr uid_t kNobody = 65534;
  std::vector<std::string> log_;
  TempDir libraries_;
};

TEST_F(ExtensionTrustTest, StoreMadeWritableByAllByHand) {
  ExpectLoaded();
  ChangeTreeMode(root_, fs::perms::all, fs::perms(0666));
  ExpectRefused(BuiltLldpLibrary(), EntryFile() + " is writable by group or others");
  ChangeTreeMode(root_, fs::perms(0755), fs::perms(0644));
  fs::permissions(root_, fs::perms(0775));
  ExpectRefused(BuiltLldpLibrary(), root_ + " is writable by group or others");
}

TEST_F(ExtensionTrustTest, LibraryOrItsDirectoryWritableByOthers) {
  std::string copy = CopyLibrary(fs::perms(0644));
  RegisterLibraryPath(copy);
  ExpectLoaded();  // its directory is the test's own, in the sticky /tmp
  fs::permissions(copy, fs::perms(0646));
  ExpectRefused(copy, copy + " is writable by group or others");
  fs::permissions(copy, fs::perms(0644));
  fs::permissions(libraries_.path(), fs::perms(0775));
  ExpectRefused(copy, libraries_.path() + " is writable by group or others");
}

TEST_F(ExtensionTrustTest, LinksAreJudgedByWhatTheyLeadTo) {
  std::string target = libraries_.File("shared");
  fs::create_directory(target);
  fs::copy_file(BuiltLldpLibrary(), target + "/libvel_lldp.so");
  std::string link = libraries_.File("link.so");
  fs::create_symlink(target + "/libvel_lldp.so", link);
  RegisterLibraryPath(link);
  ExpectLoaded();
  fs::permissions(target, fs::perms::all);
  ExpectRefused(link, target + " is writable by group or others");
}

TEST_F(ExtensionTrustTest, RelativeOrMissingLibraryPath) {
  RegisterLibraryPath("examples/lldp/libvel_lldp.so");
  ExpectRefused("examples/lldp/libvel_lldp.so", "the library path is not absolute");
  RegisterLibraryPath(libraries_.File("gone.so"));
  ExpectRefused(libraries_.File("gone.so"), "cannot examine " + libraries_.File("gone.so") + ": No such file or directory");
}

TEST_F(ExtensionTrustTest, LibraryOrStoreOwnedByAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "giving files to another user needs root";
  std::string copy = CopyLibrary(fs::perms(0644));
  ASSERT_EQ(lchown(copy.c_str(), kNobody, kNobody), 0);
  RegisterLibraryPath(copy);
  ExpectRefused(copy, copy + " is owned by user 65534");

  RegisterLibraryPath(BuiltLldpLibrary());
  ExpectLoaded();
  GiveTreeToNobody(root_);
  ExpectRefused(BuiltLldpLibrary(), EntryFile() + " is owned by user 65534");
}

}  // namespace
}  // namespace vel::test
