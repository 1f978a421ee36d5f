// Registry keys as directories with an atomically replaced "values" file.
//
//   "Name"=string:IPv4 Decoder
//   "Enable"=dword:00000001
//   @=string:default value
#include "engine/registry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

#include "vel/text.h"

namespace vel::registry {

namespace fs = std::filesystem;

namespace {

constexpr const char* kValuesFile = "values";

// Modes of what the store writes, whatever the umask: only the writer may
// change a key, everybody may read it.
constexpr mode_t kDirectoryMode = 0755;
constexpr mode_t kFileMode = 0644;

using ValueMap = std::map<std::string, Value>;

// Escapes what would break a line: backslash, newline, carriage return.
std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

const char* HiveDirectory(Hive hive) { return hive == Hive::kLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CLASSES_ROOT"; }

// The key's directory, or nothing for a path with an unusable component.
std::optional<fs::path> KeyDirectory(Hive hive, const std::string& key) {
  fs::path dir = StoreRoot() / HiveDirectory(hive);
  std::stringstream parts(key);
  std::string part;
  while (std::getline(parts, part, '\\')) {
    if (part.empty()) continue;
    if (part == "." || part == ".." || part.find('/') != std::string::npos) return std::nullopt;
    dir /= part;
  }
  return dir;
}

ValueMap ReadValues(const fs::path& dir) {
  ValueMap values;
  std::ifstream in(dir / kValuesFile);
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string name = line.substr(0, eq);
    std::string data = line.substr(eq + 1);
    if (name == "@") name.clear();
    else if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = Unescape(name.substr(1, name.size() - 2));
    else continue;
    if (data.rfind("string:", 0) == 0) values[name] = Utf8ToUtf16(Unescape(data.substr(7)));
    else if (data.rfind("dword:", 0) == 0) values[name] = static_cast<uint32_t>(std::strtoul(data.c_str() + 6, nullptr, 16));
  }
  return values;
}

// Writes a file that must not exist yet. It is created without write access
// for group and others (the umask can only take bits away) and then given the
// store's file mode.
bool WriteNewFile(const fs::path& path, const std::string& bytes) {
  ::unlink(path.c_str());  // left over by a writer of the same process id that died
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, kFileMode) == 0;
  for (size_t written = 0; ok && written < bytes.size();) {
    ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) written += static_cast<size_t>(n);
  }
  ok = ::close(fd) == 0 && ok;
  if (!ok) ::unlink(path.c_str());
  return ok;
}

bool WriteValues(const fs::path& dir, const ValueMap& values) {
  std::ostringstream text;
  for (const auto& [name, value] : values) {
    text << (name.empty() ? std::string("@") : "\"" + Escape(name) + "\"") << '=';
    if (const auto* s = std::get_if<std::u16string>(&value)) {
      text << "string:" << Escape(Utf16ToUtf8(*s)) << '\n';
    } else {
      char hex[9];
      std::snprintf(hex, sizeof hex, "%08x", std::get<uint32_t>(value));
      text << "dword:" << hex << '\n';
    }
  }
  fs::path target = dir / kValuesFile;
  fs::path temporary = dir / (std::string(kValuesFile) + ".tmp." + std::to_string(::getpid()));
  if (!WriteNewFile(temporary, text.str())) return false;
  std::error_code ec;
  fs::rename(temporary, target, ec);
  if (ec) fs::remove(temporary, ec);
  return !ec;
}

// Creates the directory and any missing parents, each with the store's mode.
bool CreateDirectories(const fs::path& dir) {
  std::error_code ec;
  if (dir.empty() || fs::is_directory(dir, ec)) return true;
  if (!CreateDirectories(dir.parent_path())) return false;
  if (::mkdir(dir.c_str(), kDirectoryMode) != 0) return errno == EEXIST && fs::is_directory(dir, ec);
  return ::chmod(dir.c_str(), kDirectoryMode) == 0;
}

}  // namespace

fs::path StoreRoot() {
  const char* root = std::getenv("VEL_REGISTRY_ROOT");
  return (root && *root) ? fs::path(root) : fs::path("/var/lib/vel/registry");
}

bool KeyExists(Hive hive, const std::string& key) {
  auto dir = KeyDirectory(hive, key);
  std::error_code ec;
  return dir && fs::is_directory(*dir, ec);
}

bool CreateKey(Hive hive, const std::string& key) {
  auto dir = KeyDirectory(hive, key);
  return dir && CreateDirectories(*dir);
}

bool DeleteKey(Hive hive, const std::string& key) {
  auto dir = KeyDirectory(hive, key);
  std::error_code ec;
  if (!dir || !fs::is_directory(*dir, ec)) return false;
  return fs::remove_all(*dir, ec) > 0 && !ec;
}

std::vector<std::string> SubKeys(Hive hive, const std::string& key) {
  std::vector<std::string> names;
  auto dir = KeyDirectory(hive, key);
  std::error_code ec;
  if (!dir || !fs::is_directory(*dir, ec)) return names;
  for (const auto& entry : fs::directory_iterator(*dir, ec))
    if (entry.is_directory(ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<Value> GetValue(Hive hive, const std::string& key, const std::string& name) {
  auto dir = KeyDirectory(hive, key);
  if (!dir) return std::nullopt;
  ValueMap values = ReadValues(*dir);
  auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

bool SetValue(Hive hive, const std::string& key, const std::string& name, const Value& value) {
  return SetValues(hive, key, {{name, value}});
}

bool SetValues(Hive hive, const std::string& key, const std::vector<std::pair<std::string, Value>>& values) {
  if (!CreateKey(hive, key)) return false;
  auto dir = KeyDirectory(hive, key);
  ValueMap stored = ReadValues(*dir);
  for (const auto& [name, value] : values) stored[name] = value;
  return WriteValues(*dir, stored);
}

std::optional<fs::path> ValuesFile(Hive hive, const std::string& key) {
  auto dir = KeyDirectory(hive, key);
  if (!dir) return std::nullopt;
  return *dir / kValuesFile;
}

}  // namespace vel::registry
