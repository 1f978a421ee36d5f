#include "tools/vdecode/engine_setup.h"

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
  for (const CLSID& clsid : BuiltInModuleClasses()) {
    ComPtr<IVELDcoder> module;
    if (SUCCEEDED(CreateInstance(clsid, &module))) manager->AddModule(module.get());
  }
}

}  // namespace

HRESULT CreateDecoderManager(ComPtr<IOrvDecoderManager>& manager) {
  HRESULT hr = CreateInstance(CLSID_COrvDecoderManager, &manager);
  if (FAILED(hr)) return hr;
  hr = manager->Initialize();
  if (FAILED(hr)) return hr;
  // Initialize always adds the root; a graph of the root alone means the store had no module list.
  if (ModuleCount(manager.get()) == 1) AddBuiltInModules(manager.get());
  return S_OK;
}

}  // namespace vdecode
