// Compiles the readable string-table sources into C++ data. Each language may
// be spread over several files (one per decoder family); an id stands in one
// file only.
//
//   strgen OUTPUT.cpp --en ENGLISH.txt... --zh CHINESE.txt...
//
// Source lines are "id<TAB>text"; '#' starts a comment line. The text runs to
// the end of the line, blanks included; \\, \t, \n and \r are escapes.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace {

constexpr uint32_t kFirstId = 100;
constexpr uint32_t kLastId = 1991;

using Table = std::map<uint32_t, std::u32string>;

bool Fail(const std::string& file, int line, const std::string& message) {
  std::cerr << file << ":" << line << ": " << message << "\n";
  return false;
}

bool DecodeUtf8(const std::string& in, std::u32string& out) {
  for (size_t i = 0; i < in.size();) {
    auto b = static_cast<unsigned char>(in[i]);
    int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > in.size()) return false;
    char32_t cp = n == 1 ? b : b & (0x7F >> n);
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3F);
    out.push_back(cp);
    i += n;
  }
  return true;
}

std::string Unescape(const std::string& raw) {
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      out.push_back(raw[i]);
      continue;
    }
    char c = raw[++i];
    out.push_back(c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c);
  }
  return out;
}

bool Load(const std::string& file, Table& table) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return Fail(file, 0, "cannot open");
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    if (tab == std::string::npos) return Fail(file, number, "expected id<TAB>text");
    uint32_t id = 0;
    try {
      id = static_cast<uint32_t>(std::stoul(line.substr(0, tab)));
    } catch (...) {
      return Fail(file, number, "bad id");
    }
    if (id < kFirstId || id > kLastId) return Fail(file, number, "id outside 100..1991");
    std::u32string text;
    if (!DecodeUtf8(Unescape(line.substr(tab + 1)), text)) return Fail(file, number, "invalid UTF-8");
    if (!table.emplace(id, text).second) return Fail(file, number, "duplicate id " + std::to_string(id));
  }
  return true;
}

std::string Literal(const std::u32string& text, size_t& units) {
  std::ostringstream out;
  out << "u\"";
  units = 0;
  for (char32_t c : text) {
    units += c > 0xFFFF ? 2 : 1;
    if (c == '"' || c == '\\') out << '\\' << static_cast<char>(c);
    else if (c >= 0x20 && c < 0x7F) out << static_cast<char>(c);
    else {
      char escape[16];
      std::snprintf(escape, sizeof escape, c > 0xFFFF ? "\\U%08X" : "\\u%04X", static_cast<unsigned>(c));
      if (c < 0xA0) std::snprintf(escape, sizeof escape, "\\x%02X\" u\"", static_cast<unsigned>(c));
      out << escape;
    }
  }
  out << "\"";
  return out.str();
}

// The texts of both languages are written as one array of units (so that the
// library can tell a text of the table by its address), each language's table
// holding views into it.
std::string Emit(std::ostream& units, size_t& offset, const std::string& name, const Table& table) {
  std::ostringstream rows;
  for (uint32_t id = kFirstId; id <= kLastId; ++id) {
    auto it = table.find(id);
    if (it == table.end()) {
      rows << "    {nullptr, 0},\n";
      continue;
    }
    size_t length = 0;
    units << "    " << Literal(it->second, length) << "  // " << id << "\n";
    rows << "    {kUnits + " << offset << ", " << length << "},  // " << id << "\n";
    offset += length;
  }
  return "const Text " + name + "[kCount] = {\n" + rows.str() + "};\n\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: strgen OUTPUT.cpp --en ENGLISH.txt... --zh CHINESE.txt...\n";
    return 2;
  }
  Table english, chinese;
  Table* language = nullptr;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--en" || arg == "--zh") {
      language = arg == "--en" ? &english : &chinese;
    } else if (!language) {
      std::cerr << "strgen: " << arg << ": name --en or --zh before the files\n";
      return 2;
    } else if (!Load(arg, *language)) {
      return 1;
    }
  }
  for (const auto& [id, text] : chinese) {
    if (!english.count(id)) {
      std::cerr << "strgen: Chinese id " << id << " has no English text\n";
      return 1;
    }
  }
  std::ostringstream out;
  out << "// Generated from the string-table sources under resources/; do not edit.\n"
      << "#include \"support/string_table.h\"\n\nnamespace vel::string_data {\n\n";
  std::ostringstream units;
  size_t unitCount = 0;
  std::string tables = Emit(units, unitCount, "kEnglish", english);
  tables += Emit(units, unitCount, "kChinese", chinese);
  out << "const char16_t kUnits[] =\n" << units.str() << "    u\"\";\n"
      << "const uint32_t kUnitCount = " << unitCount << ";\n\n" << tables;
  out << "}  // namespace vel::string_data\n";
  std::ofstream file(argv[1], std::ios::binary);
  file << out.str();
  return file ? 0 : 1;
}
