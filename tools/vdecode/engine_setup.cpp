#include "tools/vdecode/engine_setup.h"

#include "support/diagnostic_log.h"
#include "vel/registration.h"

namespace vdecode {

using namespace vel;

namespace {

int32_t ModuleCount(IOrvDecoderManager* manager) {
  ComPtr<IIDECollection> modules;
  int32_t count = 0;
  if (SUCCEEDED(manager->EnumerateModules(&modules)) && modules) modules->get_Count(&count);
  return count;
}

void AddBuiltInModules(IOrvDecoderManager* manager) {
  for (const BuiltInModule& entry : BuiltInModules()) {
    ComPtr<IVELDcoder> module;
    if (FAILED(CreateInstance(entry.clsid, &module))) continue;
    module->put_Name(Bstr(entry.name));
    manager->AddModule(module.get());
  }
}

void NameRoot(IOrvDecoderManager* manager) {
  ComPtr<IVELDcoder> root;
  manager->LookforModule(Bstr(GuidToU16String(CLSID_CEthernetDcoder)), &root);
  if (root) root->put_Name(Bstr(kRootModuleName));
}

// Hands the diagnostic log's lines to a list while it lives.
class LogCollector {
 public:
  explicit LogCollector(std::vector<std::string>* lines) : active_(lines != nullptr) {
    if (!active_) return;
    DiagnosticLog::Instance().SetListener([lines](std::string_view line) {
      while (line.ends_with('\n') || line.ends_with('\r')) line.remove_suffix(1);
      lines->emplace_back(line);
    });
  }
  ~LogCollector() {
    if (active_) DiagnosticLog::Instance().SetListener(nullptr);
  }
  LogCollector(const LogCollector&) = delete;
  LogCollector& operator=(const LogCollector&) = delete;

 private:
  bool active_;
};

}  // namespace

HRESULT CreateDecoderManager(ComPtr<IOrvDecoderManager>& manager, std::vector<std::string>* log) {
  LogCollector collector(log);
  HRESULT hr = CreateInstance(CLSID_COrvDecoderManager, &manager);
  if (FAILED(hr)) return hr;
  hr = manager->Initialize();
  if (FAILED(hr)) return hr;
  NameRoot(manager.get());
  // Initialize always adds the root; a graph of the root alone means the store had no module list.
  if (ModuleCount(manager.get()) == 1) AddBuiltInModules(manager.get());
  return S_OK;
}

}  // namespace vdecode
