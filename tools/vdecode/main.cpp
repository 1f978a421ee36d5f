// vdecode: decodes captured frames (from files, a hex argument or a live
// interface) with the engine and prints them as summary lines, full decoding
// trees, hex dumps or JSON Lines.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "tools/vdecode/capture_filter.h"
#include "tools/vdecode/capture_input.h"
#include "tools/vdecode/decode_run.h"
#include "tools/vdecode/decoder_pool.h"
#include "tools/vdecode/engine_setup.h"
#include "tools/vdecode/live_capture.h"
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

void ApplySettings(const Options& options, IOrvDecoderManager* manager, IVELNameTable* vendors) {
  manager->put_VerifyChecksum(options.verifyChecksum ? 1 : 0);
  if (options.select) manager->put_ItemIDSelected(Bstr(Utf8ToUtf16(*options.select)));
  if (vendors) manager->put_NameTableObj(vendors);
}

std::unique_ptr<PacketSource> OpenSource(const Options& options, const std::string& file) {
  if (options.interface)
    return OpenLiveCapture({*options.interface, options.promiscuous, options.snapLength, options.filter, !options.quiet});
  if (options.hexInput) return MakeFrameSource(options.hexFrame, options.hexTimestamp);
  return OpenCaptureFile(file);
}

// Decodes one input; returns its exit status. A live capture filters in
// libpcap itself; packets read from files and --hex pass the filter here.
int DecodeInput(const Options& options, DecodingThreads& threads, const std::string& file) {
  std::unique_ptr<PacketSource> source;
  std::optional<CaptureFilter> filter;
  try {
    source = OpenSource(options, file);
    if (!options.interface && !options.filter.empty()) filter.emplace(options.filter);
    if (filter && source->LinkType()) filter->Prepare(*source->LinkType());
  } catch (const InputError& problem) {
    return Fail(kExitInputError, problem.what());
  } catch (const FilterError& problem) {
    return Fail(kExitUsageError, problem.what());
  }
  return DecodePackets(options, threads, *source, filter ? &*filter : nullptr);
}

// Decodes the inputs in turn. With several capture files, the text output of
// each starts with a line naming it; a problem with one input is reported and
// the next one is read, unless the problem is the command line's (a filter
// that does not compile).
int DecodeInputs(const Options& options, DecodingThreads& threads) {
  if (options.hexInput || options.interface) return DecodeInput(options, threads, {});
  bool named = options.files.size() > 1 && options.mode != OutputMode::kJson;
  int status = kExitSuccess;
  for (const std::string& file : options.files) {
    if (named) std::printf("==> %s <==\n", file == "-" ? "standard input" : file.c_str());
    status = std::max(status, DecodeInput(options, threads, file));
    if (status == kExitUsageError) break;
  }
  return status;
}

int ListInterfaces() {
  try {
    std::fputs(InterfaceListing().c_str(), stdout);
  } catch (const InputError& problem) {
    return Fail(kExitInputError, problem.what());
  }
  return kExitSuccess;
}

int Run(const Options& options) {
  if (options.command == Command::kRegister || options.command == Command::kUnregister) return Register(options.command);
  if (options.command == Command::kListInterfaces) return ListInterfaces();
  if (options.language) SetThreadUILanguage(*options.language);

  ComPtr<IOrvDecoderManager> manager;
  std::vector<std::string> engineLog;
  HRESULT created = CreateDecoderManager(manager, &engineLog);
  for (const std::string& line : engineLog) Note(line);
  if (FAILED(created)) return Fail(kExitInputError, "cannot create the decoder manager (" + ResultText(created) + ")");
  // One vendor table for every manager: the registry file is read once.
  ComPtr<IVELNameTable> vendors;
  if (!options.ouiFile.empty()) vendors = MakeVendorTable(options.ouiFile);
  ApplySettings(options, manager.get(), vendors.get());
  if (options.command == Command::kListModules) {
    std::fputs(ModuleListing(manager.get()).c_str(), stdout);
    return kExitSuccess;
  }
  DecodingThreads threads{manager.get(), nullptr};
  std::optional<DecoderPool> pool;
  if (options.jobs > 1 && !options.hexInput && !options.interface) {
    std::vector<ComPtr<IOrvDecoderManager>> workerManagers(options.jobs);
    for (ComPtr<IOrvDecoderManager>& workerManager : workerManagers) {
      if (HRESULT result = CreateDecoderManager(workerManager); FAILED(result))
        return Fail(kExitInputError, "cannot create the decoder manager (" + ResultText(result) + ")");
      ApplySettings(options, workerManager.get(), vendors.get());
    }
    threads.pool = &pool.emplace(options, std::move(workerManagers));
  }
  return DecodeInputs(options, threads);
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
