// The library entry points: registration of the module list and the classes,
// class factories, unloading, and activation of classes by class id, including
// classes served by extension libraries found through their registration. An
// extension library is loaded only when nobody but root and this process's
// user can have changed it or the registration entry that names it.
#include "vel/registration.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <unordered_map>

#include "engine/class_table.h"
#include "engine/registry_store.h"
#include "engine/trusted_path.h"
#include "support/diagnostic_log.h"
#include "vel/interfaces.h"
#include "vel/text.h"

namespace vel {

HRESULT GetClassFactory(const CLSID& clsid, REFIID riid, void** ppv);

namespace {

using registry::Hive;

constexpr const char* kAppName = "VdDecoderMagr";
constexpr const char* kTypeLibraryDescription = "OrvDecoderManagerModule 1.0 Type Library";

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string ClassKey(const CLSID& clsid) { return "CLSID\\" + GuidToString(clsid); }

ServerClass ServerClassOf(const ClassEntry& entry) {
  return ServerClass{*entry.clsid, ProgIdOf(entry), VersionIndependentProgIdOf(entry),
                     std::string(entry.className) + " Object", LibraryPathOf(reinterpret_cast<const void*>(&DllRegisterServer))};
}

bool RegisterAppIdAndTypeLibrary(const std::string& libraryPath) {
  std::string appId = GuidToString(LIBID_OrvDecoderModule);
  bool ok = registry::SetValue(Hive::kClassesRoot, "AppID\\" + appId, "", Wide(kAppName));
  ok &= registry::SetValue(Hive::kClassesRoot, std::string("AppID\\") + kAppName + ".DLL", "AppID", Wide(appId));
  std::string typeLib = "TypeLib\\" + appId + "\\1.0";
  ok &= registry::SetValue(Hive::kClassesRoot, typeLib, "", Wide(kTypeLibraryDescription));
  ok &= registry::SetValue(Hive::kClassesRoot, typeLib + "\\0\\linux", "", Wide(libraryPath));
  return ok;
}

void UnregisterAppIdAndTypeLibrary() {
  std::string appId = GuidToString(LIBID_OrvDecoderModule);
  // The "AppID" key itself stays: other components keep entries under it.
  registry::DeleteKey(Hive::kClassesRoot, "AppID\\" + appId);
  registry::DeleteKey(Hive::kClassesRoot, std::string("AppID\\") + kAppName + ".DLL");
  registry::DeleteKey(Hive::kClassesRoot, "TypeLib\\" + appId);
}

// ---- Extension libraries ------------------------------------------------------

using GetClassObjectFn = HRESULT (*)(const CLSID*, const IID*, void**);

// Loaded libraries stay loaded for the life of the process: objects they made
// may be alive anywhere in the host.
GetClassObjectFn LoadServer(const std::string& path) {
  static std::mutex lock;
  static std::unordered_map<std::string, GetClassObjectFn> loaded;
  std::lock_guard guard(lock);
  auto it = loaded.find(path);
  if (it != loaded.end()) return it->second;
  GetClassObjectFn entry = nullptr;
  if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
    entry = reinterpret_cast<GetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
  loaded.emplace(path, entry);
  return entry;
}

// Why the library that a class registration names must not be loaded, or
// nothing when it may.
std::string LoadRefusal(const std::string& entryKey, const std::string& library) {
  if (!library.starts_with('/')) return "the library path is not absolute";
  auto entry = registry::ValuesFile(Hive::kClassesRoot, entryKey);
  if (!entry) return "the registration entry has no place in the store";
  if (std::string reason = UntrustedReason(std::filesystem::absolute(*entry).string()); !reason.empty()) return reason;
  return UntrustedReason(library);
}

HRESULT CreateFromExtension(REFCLSID clsid, REFIID riid, void** ppv) {
  std::string entryKey = ClassKey(clsid) + "\\InprocServer32";
  auto path = registry::GetValue(Hive::kClassesRoot, entryKey, "");
  const auto* text = path ? std::get_if<std::u16string>(&*path) : nullptr;
  if (!text) return CLASS_E_CLASSNOTAVAILABLE;
  std::string library = Utf16ToUtf8(*text);
  if (std::string reason = LoadRefusal(entryKey, library); !reason.empty()) {
    DiagnosticLog::Instance().Log(kLogError, "Extension library %s of class %s not loaded: %s", library.c_str(),
                                  GuidToString(clsid).c_str(), reason.c_str());
    return E_ACCESSDENIED;
  }
  GetClassObjectFn getClassObject = LoadServer(library);
  if (!getClassObject) return CLASS_E_CLASSNOTAVAILABLE;
  IClassFactory* factory = nullptr;
  HRESULT hr = getClassObject(&clsid, &IClassFactory::kIID, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, riid, ppv);
  factory->Release();
  return hr;
}

}  // namespace

// ---- Helpers shared with extension modules --------------------------------------

std::string LibraryPathOf(const void* address) {
  Dl_info info{};
  if (!dladdr(address, &info) || !info.dli_fname) return {};
  char resolved[4096];
  return realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
}

bool RegisterModuleEntry(const CLSID& clsid, std::u16string_view name, std::u16string_view description,
                         uint32_t enable) {
  std::string key = std::string(kModuleListKey) + "\\" + GuidToString(clsid);
  std::vector<std::pair<std::string, registry::Value>> values;
  if (!name.empty()) values.emplace_back("Name", std::u16string(name));
  if (!description.empty()) values.emplace_back("Description", std::u16string(description));
  values.emplace_back("Enable", enable);
  return registry::SetValues(Hive::kLocalMachine, key, values);
}

bool UnregisterModuleEntry(const CLSID& clsid) {
  return registry::DeleteKey(Hive::kLocalMachine, std::string(kModuleListKey) + "\\" + GuidToString(clsid));
}

bool RegisterServerClass(const ServerClass& s) {
  std::string clsid = GuidToString(s.clsid);
  std::string key = ClassKey(s.clsid);
  bool ok = registry::SetValue(Hive::kClassesRoot, key, "", Wide(s.description));
  ok &= registry::SetValues(Hive::kClassesRoot, key + "\\InprocServer32",
                            {{"", Wide(s.libraryPath)}, {"ThreadingModel", Wide("Both")}});
  ok &= registry::SetValue(Hive::kClassesRoot, key + "\\ProgID", "", Wide(s.progId));
  ok &= registry::SetValue(Hive::kClassesRoot, key + "\\VersionIndependentProgID", "", Wide(s.versionIndependentProgId));
  ok &= registry::SetValue(Hive::kClassesRoot, s.progId, "", Wide(s.description));
  ok &= registry::SetValue(Hive::kClassesRoot, s.progId + "\\CLSID", "", Wide(clsid));
  ok &= registry::SetValue(Hive::kClassesRoot, s.versionIndependentProgId, "", Wide(s.description));
  ok &= registry::SetValue(Hive::kClassesRoot, s.versionIndependentProgId + "\\CLSID", "", Wide(clsid));
  ok &= registry::SetValue(Hive::kClassesRoot, s.versionIndependentProgId + "\\CurVer", "", Wide(s.progId));
  return ok;
}

bool UnregisterServerClass(const ServerClass& s) {
  bool ok = registry::DeleteKey(Hive::kClassesRoot, ClassKey(s.clsid));
  registry::DeleteKey(Hive::kClassesRoot, s.progId);
  registry::DeleteKey(Hive::kClassesRoot, s.versionIndependentProgId);
  return ok;
}

std::vector<BuiltInModule> BuiltInModules() {
  std::vector<BuiltInModule> modules;
  for (const ClassEntry& entry : ClassTable())
    if (entry.moduleName) modules.push_back({*entry.clsid, entry.moduleName, entry.moduleDescription});
  return modules;
}

std::vector<CLSID> BuiltInModuleClasses() {
  std::vector<CLSID> classes;
  for (const BuiltInModule& module : BuiltInModules()) classes.push_back(module.clsid);
  return classes;
}

HRESULT CreateInstance(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (const ClassEntry* entry = FindClass(clsid)) return entry->create(riid, ppv);
  return CreateFromExtension(clsid, riid, ppv);
}

}  // namespace vel

// ---- Library entry points -----------------------------------------------------------

using namespace vel;

extern "C" HRESULT DllRegisterServer() {
  for (const ClassEntry& entry : ClassTable())
    if (entry.moduleName) RegisterModuleEntry(*entry.clsid, entry.moduleName, entry.moduleDescription, 1);
  std::string libraryPath = LibraryPathOf(reinterpret_cast<const void*>(&DllRegisterServer));
  HRESULT result = RegisterAppIdAndTypeLibrary(libraryPath) ? S_OK : E_FAIL;
  for (const ClassEntry& entry : ClassTable())
    if (!RegisterServerClass(ServerClassOf(entry))) result = E_FAIL;
  return result;
}

extern "C" HRESULT DllUnregisterServer() {
  for (const ClassEntry& entry : ClassTable())
    if (entry.moduleName) UnregisterModuleEntry(*entry.clsid);
  for (const ClassEntry& entry : ClassTable()) UnregisterServerClass(ServerClassOf(entry));
  UnregisterAppIdAndTypeLibrary();
  return S_OK;
}

extern "C" HRESULT DllGetClassObject(const CLSID* rclsid, const IID* riid, void** ppv) {
  if (!rclsid || !riid) return E_INVALIDARG;
  return GetClassFactory(*rclsid, *riid, ppv);
}

extern "C" HRESULT DllCanUnloadNow() { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }
