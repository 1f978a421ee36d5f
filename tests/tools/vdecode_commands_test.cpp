// vdecode's commands besides decoding: the module listing, registration, help
// and version.
#include <gtest/gtest.h>

#include <filesystem>

#include "process_runner.h"
#include "test_support.h"

namespace vel::test {
namespace {

RunResult Vdecode(const std::vector<std::string>& args, const std::string& registryRoot) {
  std::vector<std::string> command = args;
  command.insert(command.begin(), VdecodePath());
  return RunProgram({command, {}, {{"VEL_REGISTRY_ROOT", registryRoot}}});
}

TEST(VdecodeCommands, ModulesOfAGraphBuiltWithoutAModuleList) {
  TempDir emptyStore;
  RunResult run = Vdecode({"--modules"}, emptyStore.path());
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  // A heading, the root, then every built-in module in registration order.
  ASSERT_EQ(lines.size(), 2 + BuiltInModuleClasses().size());
  EXPECT_EQ(lines[0].rfind("CLASS ", 0), 0u);
  EXPECT_NE(lines[0].find("TYPE  PROTOCOL"), std::string::npos);
  EXPECT_EQ(lines[1].rfind("{0E0B92FD-E942-4649-B36D-987410322621}    48  Ethernet II ", 0), 0u) << lines[1];
  EXPECT_TRUE(lines[1].ends_with("yes"));
  for (size_t i = 0; i < BuiltInModuleClasses().size(); ++i)
    EXPECT_EQ(lines[2 + i].rfind(GuidToString(BuiltInModuleClasses()[i]), 0), 0u) << lines[2 + i];
}

TEST(VdecodeCommands, RegisterAndUnregister) {
  TempDir store;
  std::string modules = std::to_string(BuiltInModuleClasses().size());
  RunResult registered = Vdecode({"--register"}, store.path());
  EXPECT_EQ(registered.status, 0) << registered.err;
  EXPECT_EQ(registered.out, "registered the library and its " + modules + " decoder modules\n");
  EXPECT_FALSE(std::filesystem::is_empty(store.path()));

  // The graph now comes from the store's module list.
  RunResult listed = Vdecode({"--modules"}, store.path());
  EXPECT_EQ(Lines(listed.out).size(), 2 + BuiltInModuleClasses().size());

  RunResult unregistered = Vdecode({"--unregister"}, store.path());
  EXPECT_EQ(unregistered.status, 0) << unregistered.err;
  EXPECT_EQ(unregistered.out, "unregistered the library and its " + modules + " decoder modules\n");

  // A store that cannot be written: the root is a file.
  std::string blocked = store.Write("not-a-directory", "x");
  RunResult refused = Vdecode({"--register"}, blocked);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(Lines(refused.err).size(), 1u);
  EXPECT_EQ(refused.err.rfind("vdecode: registration failed (0x80004005)", 0), 0u) << refused.err;
}

TEST(VdecodeCommands, HelpAndVersion) {
  RunResult help = RunProgram({{VdecodePath(), "--help"}, {}, {}});
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--hex", "--time", "-V", "-x", "--json", "--crlf", "-c", "--packet", "--offset", "--select",
                             "--lang", "--no-checksum", "--modules", "--register", "--unregister", "--quiet",
                             "--filter", "--protocol", "--interface", "--no-promiscuous-mode", "--snapshot-length",
                             "--list-interfaces"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  RunResult version = RunProgram({{VdecodePath(), "--version"}, {}, {}});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("vdecode ", 0), 0u);
}

}  // namespace
}  // namespace vel::test
