// The host's vendor-name table: the organisation names of 24-bit OUIs from the
// IEEE MA-L registry in the CSV form that Debian's ieee-data ships, read once
// on the first lookup and looked up in constant time.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "vel/interfaces.h"

namespace vdecode {

inline constexpr const char* kDefaultOuiFile = "/usr/share/ieee-data/oui.csv";

// The registry read when the command line names none: VEL_OUI_FILE when it
// is set, else kDefaultOuiFile.
std::string DefaultOuiFile();

// Vendor names by OUI. A file that cannot be read or is damaged gives no
// names at all; the warning is then called once with the problem.
class OuiRegistry {
 public:
  using Warning = std::function<void(const std::string& problem)>;

  OuiRegistry(std::string path, Warning warning);

  // The organisation name exactly as the registry writes it; empty when the
  // OUI has none.
  std::u16string_view Lookup(uint32_t oui);
  size_t Size();

 private:
  struct Slot {
    uint32_t oui;
    uint32_t nameStart, nameLength;
  };

  void Load();
  // Fills the table from the file's text, or returns why the text is damaged.
  std::string Parse(std::string_view text);
  void Insert(const Slot& entry);
  size_t SlotOf(uint32_t oui) const;

  std::string path_;
  Warning warning_;
  std::once_flag loaded_;
  // Open addressing with linear probing over a power-of-two table at most
  // half full; names live one after the other in names_.
  std::vector<Slot> slots_;
  std::u16string names_;
  size_t size_ = 0;
};

// A name table backed by the registry file at path, read at its first lookup
// (once, whichever thread asks first); its problems are reported on standard
// error. Null when it cannot be made. Managers on several threads share one.
vel::ComPtr<vel::IVELNameTable> MakeVendorTable(const std::string& path);

}  // namespace vdecode
