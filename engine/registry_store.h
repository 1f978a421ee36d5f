// The machine-wide store that stands in for the platform registry: keys are
// directories, each key's values sit in a human-readable "values" file that is
// replaced atomically (written aside, then renamed), so a reader never sees a
// half-written key. The root is VEL_REGISTRY_ROOT, else /var/lib/vel/registry.
// Whatever the umask, directories are written 0755 and files 0644.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vel::registry {

enum class Hive { kLocalMachine, kClassesRoot };

// A value: a string (registry string type) or a 32-bit number (DWORD).
using Value = std::variant<std::u16string, uint32_t>;

// Key paths use backslashes, as in "Software\\Kestrow\\VEL Extend Decoder Modules".
// The empty value name stands for the key's default value.
std::filesystem::path StoreRoot();

bool KeyExists(Hive hive, const std::string& key);
bool CreateKey(Hive hive, const std::string& key);
// Deletes the key with everything below it.
bool DeleteKey(Hive hive, const std::string& key);
// Subkey names in the store's enumeration order (sorted by name).
std::vector<std::string> SubKeys(Hive hive, const std::string& key);
std::optional<Value> GetValue(Hive hive, const std::string& key, const std::string& name);
bool SetValue(Hive hive, const std::string& key, const std::string& name, const Value& value);
// Sets several values of one key with a single replacement of its values file.
bool SetValues(Hive hive, const std::string& key, const std::vector<std::pair<std::string, Value>>& values);
// The file that holds the key's values, whether or not it exists; nothing for
// a key path with an unusable component.
std::optional<std::filesystem::path> ValuesFile(Hive hive, const std::string& key);

}  // namespace vel::registry
