// The class table and the library's class factories.
#include "engine/class_table.h"

#include <algorithm>
#include <mutex>

#include "vel/interfaces.h"
#include "vel/object.h"

namespace vel {

namespace {

std::vector<ClassEntry>& Entries() {
  static std::vector<ClassEntry> entries;
  return entries;
}

bool InModuleList(const ClassEntry& e) { return e.moduleName != nullptr; }

class CClassFactory : public IClassFactory {
 public:
  using Interfaces = std::tuple<IClassFactory>;
  void Bind(const ClassEntry* entry) { entry_ = entry; }

  HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    return entry_->create(riid, ppvObject);
  }
  HRESULT LockServer(int32_t fLock) override {
    fLock ? ModuleLock() : ModuleUnlock();
    return S_OK;
  }

 protected:
  virtual ~CClassFactory() = default;

 private:
  const ClassEntry* entry_ = nullptr;
};

}  // namespace

ClassRegistration::ClassRegistration(const ClassEntry& entry) {
  auto& entries = Entries();
  entries.push_back(entry);
  std::stable_sort(entries.begin(), entries.end(), [](const ClassEntry& a, const ClassEntry& b) {
    if (InModuleList(a) != InModuleList(b)) return InModuleList(a);
    return a.listOrder < b.listOrder;
  });
}

const std::vector<ClassEntry>& ClassTable() { return Entries(); }

const ClassEntry* FindClass(const CLSID& clsid) {
  for (const ClassEntry& e : Entries())
    if (*e.clsid == clsid) return &e;
  return nullptr;
}

std::string ProgIdOf(const ClassEntry& e) {
  return e.progId ? e.progId : std::string(e.className) + "." + e.className + ".1.0";
}

std::string VersionIndependentProgIdOf(const ClassEntry& e) {
  return e.versionIndependent ? e.versionIndependent : std::string(e.className) + "." + e.className;
}

// Factories are made on first request and cached, under the library's lock.
HRESULT GetClassFactory(const CLSID& clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  const ClassEntry* entry = FindClass(clsid);
  if (!entry) return CLASS_E_CLASSNOTAVAILABLE;
  static std::mutex lock;
  // Never destroyed: the cached factories live as long as the process.
  static auto& cache = *new std::vector<std::pair<const ClassEntry*, IClassFactory*>>();
  std::lock_guard guard(lock);
  auto it = std::find_if(cache.begin(), cache.end(), [&](const auto& c) { return c.first == entry; });
  if (it == cache.end()) {
    IClassFactory* factory = nullptr;
    HRESULT hr = CComObject<CClassFactory>::CreateInstance(IClassFactory::kIID, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    static_cast<CClassFactory*>(factory)->Bind(entry);
    // The cached factory does not keep the library loaded.
    ModuleUnlock();
    it = cache.emplace(cache.end(), entry, factory);
  }
  return it->second->QueryInterface(riid, ppv);
}

}  // namespace vel
