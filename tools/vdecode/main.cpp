// vdecode: decodes captured Ethernet frames with the engine and prints them as
// summary lines, full decoding trees, hex dumps or JSON Lines.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "tools/vdecode/capture_input.h"
#include "tools/vdecode/decode_run.h"
#include "tools/vdecode/engine_setup.h"
#include "tools/vdecode/messages.h"
#include "tools/vdecode/module_list.h"
#include "tools/vdecode/options.h"
#include "tools/vdecode/utf8.h"
#include "tools/vdecode/vendor_table.h"
#include "vel/registration.h"
#include "vel/text.h"

namespace vdecode {
namespace {

using namespace vel;

int Register(Command command) {
  bool registering = command == Command::kRegister;
  HRESULT result = registering ? DllRegisterServer() : DllUnregisterServer();
  if (FAILED(result))
    return Fail(kExitInputError, std::string(registering ? "registration" : "unregistration") + " failed (" +
                                     ResultText(result) + "); is the module store writable (VEL_REGISTRY_ROOT)?");
  std::printf("%s the library and its %zu decoder modules\n", registering ? "registered" : "unregistered",
              BuiltInModuleClasses().size());
  return kExitSuccess;
}

void ApplySettings(const Options& options, IOrvDecoderManager* manager) {
  manager->put_VerifyChecksum(options.verifyChecksum ? 1 : 0);
  if (options.select) manager->put_ItemIDSelected(Bstr(ToUtf16(*options.select)));
  if (!options.ouiFile.empty()) AttachVendorTable(manager, options.ouiFile);
}

// Decodes one input; returns its exit status.
int DecodeInput(const Options& options, IOrvDecoderManager* manager, const std::string& file) {
  std::unique_ptr<PacketSource> source;
  try {
    source = options.hexInput ? MakeFrameSource(options.hexFrame, options.hexTimestamp) : OpenCaptureFile(file);
  } catch (const InputError& problem) {
    return Fail(kExitInputError, problem.what());
  }
  return DecodePackets(options, manager, *source);
}

// Decodes the inputs in turn. With several capture files, the text output of
// each starts with a line naming it; a problem with one input is reported and
// the next one is read.
int DecodeInputs(const Options& options, IOrvDecoderManager* manager) {
  if (options.hexInput) return DecodeInput(options, manager, {});
  bool named = options.files.size() > 1 && options.mode != OutputMode::kJson;
  int status = kExitSuccess;
  for (const std::string& file : options.files) {
    if (named) std::printf("==> %s <==\n", file == "-" ? "standard input" : file.c_str());
    status = std::max(status, DecodeInput(options, manager, file));
  }
  return status;
}

int Run(const Options& options) {
  if (options.command == Command::kRegister || options.command == Command::kUnregister) return Register(options.command);
  if (options.language) SetThreadUILanguage(*options.language);

  ComPtr<IOrvDecoderManager> manager;
  std::vector<std::string> engineLog;
  HRESULT created = CreateDecoderManager(manager, &engineLog);
  for (const std::string& line : engineLog) Warn(line);
  if (FAILED(created)) return Fail(kExitInputError, "cannot create the decoder manager (" + ResultText(created) + ")");
  ApplySettings(options, manager.get());
  if (options.command == Command::kListModules) {
    std::fputs(ModuleListing(manager.get()).c_str(), stdout);
    return kExitSuccess;
  }
  return DecodeInputs(options, manager.get());
}

}  // namespace
}  // namespace vdecode

int main(int argc, char** argv) {
  using namespace vdecode;
  std::optional<Options> options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const UsageError& problem) {
    return Fail(kExitUsageError, problem.what());
  }
  return options ? Run(*options) : kExitSuccess;
}
