// vdecode's commands besides decoding: the module listing, registration, help
// and version.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "process_runner.h"
#include "test_support.h"

namespace vel::test {
namespace {

// vdecode with its module-list store at registryRoot.
RunResult VdecodeAt(const std::vector<std::string>& args, const std::string& registryRoot) {
  return Vdecode(args, {}, {{"VEL_REGISTRY_ROOT", registryRoot}});
}

TEST(VdecodeCommands, ModulesOfAGraphBuiltWithoutAModuleList) {
  TempDir emptyStore;
  RunResult run = VdecodeAt({"--modules"}, emptyStore.path());
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  // A heading, the root, then every built-in module in registration order,
  // named as the module list names it.
  std::vector<BuiltInModule> modules = BuiltInModules();
  ASSERT_EQ(lines.size(), 2 + modules.size());
  EXPECT_EQ(lines[0].rfind("CLASS ", 0), 0u);
  EXPECT_NE(lines[0].find("TYPE  PROTOCOL"), std::string::npos);
  EXPECT_EQ(lines[1], "{0E0B92FD-E942-4649-B36D-987410322621}    48  Ethernet II       Ethernet Decoder          yes");
  EXPECT_EQ(lines[2], "{4A513EC6-FBD3-455D-B8C5-D212A8DD7D08}     1  IP                IPv4 Decoder              yes");
  for (size_t i = 0; i < modules.size(); ++i) {
    EXPECT_EQ(lines[2 + i].rfind(GuidToString(modules[i].clsid), 0), 0u) << lines[2 + i];
    EXPECT_NE(lines[2 + i].find("  " + Narrow(modules[i].name) + "  "), std::string::npos) << lines[2 + i];
  }
}

TEST(VdecodeCommands, RegisterAndUnregister) {
  TempDir store;
  std::string modules = std::to_string(BuiltInModuleClasses().size());
  RunResult registered = VdecodeAt({"--register"}, store.path());
  EXPECT_EQ(registered.status, 0) << registered.err;
  EXPECT_EQ(registered.out, "registered the library and its " + modules + " decoder modules\n");
  EXPECT_FALSE(std::filesystem::is_empty(store.path()));

  // The graph now comes from the store's module list.
  RunResult listed = VdecodeAt({"--modules"}, store.path());
  EXPECT_EQ(Lines(listed.out).size(), 2 + BuiltInModuleClasses().size());

  RunResult unregistered = VdecodeAt({"--unregister"}, store.path());
  EXPECT_EQ(unregistered.status, 0) << unregistered.err;
  EXPECT_EQ(unregistered.out, "unregistered the library and its " + modules + " decoder modules\n");

  // A store that cannot be written: the root is a file.
  std::string blocked = store.Write("not-a-directory", "x");
  RunResult refused = VdecodeAt({"--register"}, blocked);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(Lines(refused.err).size(), 1u);
  EXPECT_EQ(refused.err.rfind("vdecode: registration failed (0x80004005)", 0), 0u) << refused.err;
}

// The umask neither opens the store to others nor closes it to readers.
TEST(VdecodeCommands, RegisterWritesTheStoreReadableByAllWhateverTheUmask) {
  for (mode_t mask : {mode_t{0}, mode_t{077}}) {
    TempDir parent;
    std::string store = parent.File("store");
    mode_t previous = umask(mask);
    RunResult registered = VdecodeAt({"--register"}, store);
    umask(previous);
    ASSERT_EQ(registered.status, 0) << registered.err;
    EXPECT_EQ(std::filesystem::status(store).permissions(), std::filesystem::perms(0755));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(store)) {
      auto expected = entry.is_directory() ? std::filesystem::perms(0755) : std::filesystem::perms(0644);
      ASSERT_EQ(entry.status().permissions(), expected) << entry.path() << " umask " << mask;
    }
  }
}

TEST(VdecodeCommands, ModulesShowsAnExtensionLibraryItRefused) {
  TempDir store;
  {
    StoreAt registering(store.path());
    ASSERT_EQ(S_OK, DllRegisterServer());
    void* library = dlopen(VEL_BUILD_DIR "/examples/lldp/libvel_lldp.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    ASSERT_EQ(S_OK, reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllRegisterServer"))());
  }
  RunResult trusted = VdecodeAt({"--modules"}, store.path());
  EXPECT_EQ(trusted.err, "");
  EXPECT_EQ(Lines(trusted.out).size(), 3 + BuiltInModuleClasses().size());  // heading, root, built-ins, LLDP

  std::filesystem::permissions(store.path(), std::filesystem::perms::all);
  RunResult refused = VdecodeAt({"--modules"}, store.path());
  EXPECT_EQ(refused.status, 0);
  EXPECT_EQ(Lines(refused.out).size(), 2 + BuiltInModuleClasses().size());
  std::vector<std::string> warnings = Lines(refused.err);
  ASSERT_EQ(warnings.size(), 1u) << refused.err;
  EXPECT_TRUE(warnings[0].starts_with("vdecode: ")) << warnings[0];
  std::string refusal = " [ERROR] Extension library " VEL_BUILD_DIR "/examples/lldp/libvel_lldp.so of class "
                        "{7C1E5A90-3B4D-4E21-9F6A-2D8B0C4E7A15} not loaded: " +
                        store.path() + " is writable by group or others";
  EXPECT_TRUE(warnings[0].ends_with(refusal)) << warnings[0];
}

TEST(VdecodeCommands, HelpAndVersion) {
  RunResult help = Vdecode({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--hex", "--time", "-V", "-x", "--json", "--crlf", "-c", "--packet", "--offset", "--select",
                             "--lang", "--no-checksum", "--oui-file", "--no-vendor", "--modules", "--register",
                             "--unregister", "--quiet", "--filter", "--protocol", "--interface",
                             "--no-promiscuous-mode", "--snapshot-length", "--list-interfaces"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  RunResult version = Vdecode({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("vdecode ", 0), 0u);
}

}  // namespace
}  // namespace vel::test
