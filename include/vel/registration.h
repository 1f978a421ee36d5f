// Registration helpers shared by this library and by extension modules: the
// persistent module list that the manager reads at Initialize, and the class
// registrations that let the manager load a module's shared library.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vel/platform.h"

namespace vel {

inline constexpr const char* kModuleListKey = "Software\\Kestrow\\VEL Extend Decoder Modules";

// Writes (or rewrites) one module-list entry: "Name", "Description" and
// "Enable". Returns false when the store could not be written.
VEL_API bool RegisterModuleEntry(const CLSID& clsid, std::u16string_view name, std::u16string_view description,
                                 uint32_t enable);
VEL_API bool UnregisterModuleEntry(const CLSID& clsid);

struct ServerClass {
  CLSID clsid;
  std::string progId;
  std::string versionIndependentProgId;
  std::string description;
  std::string libraryPath;  // the shared library that serves the class
};
VEL_API bool RegisterServerClass(const ServerClass& server);
VEL_API bool UnregisterServerClass(const ServerClass& server);

// The decoder modules this library registers in its module list, in
// registration order: what a host adds itself when the store holds no list.
struct BuiltInModule {
  CLSID clsid;
  std::u16string_view name;  // the entry's "Name"
  std::u16string_view description;
};
VEL_API std::vector<BuiltInModule> BuiltInModules();
VEL_API std::vector<CLSID> BuiltInModuleClasses();

// The path of the shared library (or program) that holds address.
VEL_API std::string LibraryPathOf(const void* address);

}  // namespace vel
