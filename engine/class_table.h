// The library's creatable classes: identities for registration, the
// module-list entries that registration writes, and the factories behind
// DllGetClassObject. Each class registers itself from its own source file.
#pragma once

#include <vector>

#include "vel/platform.h"

namespace vel {

struct ClassEntry {
  const CLSID* clsid;
  const char* className;
  const char* progId;              // null: "<class>.<class>.1.0"
  const char* versionIndependent;  // null: "<class>.<class>"
  const char16_t* moduleName;      // null: not in the module list
  const char16_t* moduleDescription;
  int listOrder;  // position in the module list written by registration
  HRESULT (*create)(REFIID riid, void** ppv);
};

struct ClassRegistration {
  explicit ClassRegistration(const ClassEntry& entry);
};

// All classes, module-list entries first in list order, then the others.
const std::vector<ClassEntry>& ClassTable();
const ClassEntry* FindClass(const CLSID& clsid);

std::string ProgIdOf(const ClassEntry& entry);
std::string VersionIndependentProgIdOf(const ClassEntry& entry);

}  // namespace vel

// Registers decoder class T as entry `order` of the module list.
#define VEL_REGISTER_MODULE(T, order, name, description) \
  VEL_REGISTER_MODULE_WITH_PROGIDS(T, order, name, description, nullptr, nullptr)

// The same for a decoder class whose ProgIDs differ from the usual pattern (null: the pattern).
#define VEL_REGISTER_MODULE_WITH_PROGIDS(T, order, name, description, progId, versionIndependent) \
  static const ::vel::ClassRegistration kRegistration##T(::vel::ClassEntry{                          \
      &T::ClassId(), #T, progId, versionIndependent, name, description, order, &T::CreateInstance})

// Registers class T, outside the module list, with the given ProgIDs (null: the usual pattern).
#define VEL_REGISTER_CLASS(T, clsid, progId, versionIndependent, create) \
  static const ::vel::ClassRegistration kRegistration##T(                \
      ::vel::ClassEntry{&(clsid), #T, progId, versionIndependent, nullptr, nullptr, 0, create})
