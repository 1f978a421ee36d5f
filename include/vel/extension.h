// What an extension module needs beyond the decoder base: a class factory for
// its decoder class and the four library entry points, which register the
// class and its module-list entry so that the manager loads it at Initialize.
#pragma once

#include "vel/interfaces.h"
#include "vel/object.h"
#include "vel/registration.h"

namespace vel {

template <class T>
class ModuleClassFactory : public IClassFactory {
 public:
  using Interfaces = std::tuple<IClassFactory>;
  HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    return T::CreateInstance(riid, ppvObject);
  }
  HRESULT LockServer(int32_t fLock) override {
    fLock ? ModuleLock() : ModuleUnlock();
    return S_OK;
  }

 protected:
  virtual ~ModuleClassFactory() = default;
};

}  // namespace vel

// Defines the entry points of an extension library serving decoder class T,
// listed in the module list as name / description. Link the library with
// -Wl,-Bsymbolic so that its entry points bind to themselves.
#define VEL_EXTENSION_MODULE(T, className, name, description)                                                    \
  namespace {                                                                                                   \
  ::vel::ServerClass ExtensionServerClass() {                                                                   \
    static const int anchor = 0;                                                                                \
    return ::vel::ServerClass{T::ClassId(), className "." className ".1.0", className "." className,           \
                              className " Object", ::vel::LibraryPathOf(&anchor)};                              \
  }                                                                                                             \
  }                                                                                                             \
  extern "C" VEL_API ::vel::HRESULT DllGetClassObject(const ::vel::CLSID* clsid, const ::vel::IID* iid,         \
                                                      void** ppv) {                                             \
    if (!clsid || !iid || !ppv) return ::vel::E_INVALIDARG;                                                     \
    *ppv = nullptr;                                                                                             \
    if (!(*clsid == T::ClassId())) return ::vel::CLASS_E_CLASSNOTAVAILABLE;                                     \
    return ::vel::CComObject<::vel::ModuleClassFactory<T>>::CreateInstance(*iid, ppv);                         \
  }                                                                                                             \
  extern "C" VEL_API ::vel::HRESULT DllRegisterServer() {                                                       \
    bool ok = ::vel::RegisterModuleEntry(T::ClassId(), name, description, 1);                                   \
    return (::vel::RegisterServerClass(ExtensionServerClass()) && ok) ? ::vel::S_OK : ::vel::E_FAIL;            \
  }                                                                                                             \
  extern "C" VEL_API ::vel::HRESULT DllUnregisterServer() {                                                     \
    ::vel::UnregisterModuleEntry(T::ClassId());                                                                 \
    ::vel::UnregisterServerClass(ExtensionServerClass());                                                       \
    return ::vel::S_OK;                                                                                         \
  }                                                                                                             \
  extern "C" VEL_API ::vel::HRESULT DllCanUnloadNow() {                                                         \
    return ::vel::ModuleLockCount() == 0 ? ::vel::S_OK : ::vel::S_FALSE;                                        \
  }
