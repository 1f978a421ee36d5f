#include "tools/vdecode/vendor_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <utility>

#include "tools/vdecode/messages.h"
#include "vel/object.h"
#include "vel/text.h"

namespace vdecode {

using namespace vel;

namespace {

constexpr uint32_t kNoOui = 0xFFFFFFFF;  // marks a free slot: an OUI has 24 bits

// Reads records of comma-separated fields. A field in double quotes may hold
// commas, line breaks and doubled quotes; records end with LF or CR LF.
class CsvReader {
 public:
  explicit CsvReader(std::string_view text) : text_(text) {}

  // The next record's fields; false at the end of the text. A damaged record
  // is returned with the problem set. The strings of fields are reused.
  bool Next(std::vector<std::string>& fields, size_t& count, std::string& problem) {
    count = 0;
    if (pos_ >= text_.size()) return false;
    recordLine_ = line_;
    for (;;) {
      if (count == fields.size()) fields.emplace_back();
      std::string& field = fields[count++];
      field.clear();
      if (pos_ < text_.size() && text_[pos_] == '"') {
        if (!ReadQuoted(field, problem)) return true;
      } else {
        ReadPlain(field);
      }
      if (pos_ >= text_.size()) return true;
      if (text_[pos_] == ',') {
        ++pos_;
      } else if (text_.substr(pos_, 1) == "\n" || text_.substr(pos_, 2) == "\r\n") {
        pos_ += text_[pos_] == '\r' ? 2 : 1;
        ++line_;
        return true;
      } else {
        problem = "text follows a closing quote";
        return true;
      }
    }
  }

  // The line on which the last record began, counted from 1.
  size_t RecordLine() const { return recordLine_; }

 private:
  void ReadPlain(std::string& field) {
    size_t end = std::min(text_.find_first_of(",\n", pos_), text_.size());
    field.assign(text_.substr(pos_, end - pos_));
    pos_ = end;
    if (field.ends_with('\r') && (pos_ == text_.size() || text_[pos_] == '\n')) field.pop_back();
  }

  bool ReadQuoted(std::string& field, std::string& problem) {
    ++pos_;
    for (;;) {
      size_t quote = text_.find('"', pos_);
      if (quote == std::string_view::npos) {
        problem = "a quoted field is not closed";
        pos_ = text_.size();
        return false;
      }
      std::string_view part = text_.substr(pos_, quote - pos_);
      line_ += std::count(part.begin(), part.end(), '\n');
      field.append(part);
      pos_ = quote + 1;
      if (pos_ >= text_.size() || text_[pos_] != '"') return true;
      field += '"';
      ++pos_;
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
  size_t line_ = 1, recordLine_ = 1;
};

bool IsHeading(const std::vector<std::string>& fields, size_t count) {
  return count >= 3 && fields[0] == "Registry" && fields[1] == "Assignment" && fields[2] == "Organization Name";
}

bool ParseOui(const std::string& text, uint32_t& oui) {
  if (text.size() != 6) return false;
  oui = 0;
  for (char c : text) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                       : -1;
    if (digit < 0) return false;
    oui = oui << 4 | static_cast<uint32_t>(digit);
  }
  return true;
}

// The whole file, or nothing with the system's reason in problem.
std::optional<std::string> ReadWholeFile(const std::string& path, std::string& problem) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    problem = std::strerror(errno);
    return std::nullopt;
  }
  std::string text;
  struct stat status {};
  if (::fstat(fd, &status) == 0 && status.st_size > 0) text.reserve(static_cast<size_t>(status.st_size));
  char buffer[65536];
  ssize_t n = 0;
  while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
    if (n > 0) text.append(buffer, static_cast<size_t>(n));
    else if (errno != EINTR) break;
  }
  int error = errno;
  ::close(fd);
  if (n < 0) {
    problem = std::strerror(error);
    return std::nullopt;
  }
  return text;
}

}  // namespace

// ---- The registry -----------------------------------------------------------

std::string DefaultOuiFile() {
  const char* path = std::getenv("VEL_OUI_FILE");
  return path && *path ? path : kDefaultOuiFile;
}

OuiRegistry::OuiRegistry(std::string path, Warning warning) : path_(std::move(path)), warning_(std::move(warning)) {}

std::u16string_view OuiRegistry::Lookup(uint32_t oui) {
  std::call_once(loaded_, &OuiRegistry::Load, this);
  if (slots_.empty()) return {};
  const Slot& slot = slots_[SlotOf(oui)];
  if (slot.oui != oui) return {};
  return std::u16string_view(names_).substr(slot.nameStart, slot.nameLength);
}

size_t OuiRegistry::Size() {
  std::call_once(loaded_, &OuiRegistry::Load, this);
  return size_;
}

void OuiRegistry::Load() {
  std::string problem;
  std::optional<std::string> text = ReadWholeFile(path_, problem);
  if (!text) {
    warning_(path_ + ": cannot read the vendor registry (" + problem + "); addresses are shown without vendor names");
    return;
  }
  problem = Parse(*text);
  if (problem.empty()) return;
  slots_.clear();
  names_.clear();
  size_ = 0;
  warning_(path_ + ": damaged vendor registry (" + problem + "); addresses are shown without vendor names");
}

std::string OuiRegistry::Parse(std::string_view text) {
  CsvReader reader(text);
  std::vector<std::string> fields;
  size_t count = 0;
  std::string problem;
  if (!reader.Next(fields, count, problem) || !problem.empty() || !IsHeading(fields, count))
    return "the first line is not the heading Registry,Assignment,Organization Name,...";
  // Names go to the pool as they are read; the table is built once their
  // number is known. A record takes some 90 bytes, its name about 30.
  std::vector<Slot> entries;
  entries.reserve(text.size() / 64);
  names_.reserve(text.size() / 3);
  while (reader.Next(fields, count, problem)) {
    auto line = [&] { return "line " + std::to_string(reader.RecordLine()) + ": "; };
    if (!problem.empty()) return line() + problem;
    if (count == 1 && fields[0].empty()) continue;  // a blank line
    if (count < 3) return line() + "fewer than three fields";
    if (fields[0] != "MA-L") continue;  // the 28- and 36-bit blocks are no OUIs
    uint32_t oui = 0;
    if (!ParseOui(fields[1], oui)) return line() + "the assignment '" + fields[1] + "' is not six hex digits";
    std::u16string name = Utf8ToUtf16(fields[2]);
    entries.push_back(Slot{oui, static_cast<uint32_t>(names_.size()), static_cast<uint32_t>(name.size())});
    names_.append(name);
  }
  size_t capacity = 2;
  while (capacity < 2 * entries.size()) capacity *= 2;
  slots_.assign(capacity, Slot{kNoOui, 0, 0});
  for (const Slot& entry : entries) Insert(entry);
  return {};
}

// The first entry of an OUI stands; the registry lists a few twice.
void OuiRegistry::Insert(const Slot& entry) {
  Slot& slot = slots_[SlotOf(entry.oui)];
  if (slot.oui == entry.oui || entry.nameLength == 0) return;
  slot = entry;
  ++size_;
}

// The slot that holds the OUI, or the free slot where it would go.
size_t OuiRegistry::SlotOf(uint32_t oui) const {
  size_t mask = slots_.size() - 1;
  uint32_t hash = oui * 0x9E3779B1u;
  size_t index = (hash ^ hash >> 16) & mask;
  while (slots_[index].oui != oui && slots_[index].oui != kNoOui) index = (index + 1) & mask;
  return index;
}

// ---- The name-table object ------------------------------------------------------

namespace {

struct VendorTableMembers {
  static std::span<const dispatch::Member> Members();
};

constexpr dispatch::Member kVendorTableMembers[] = {
    dispatch::Get<&IVELNameTable::get_Count>(u"Count", 1),
    dispatch::Method<&IVELNameTable::LookupName>(u"LookupName", 2),
};

std::span<const dispatch::Member> VendorTableMembers::Members() { return kVendorTableMembers; }

class CVendorNameTable : public DispatchImpl<IVELNameTable, VendorTableMembers> {
 public:
  using Interfaces = std::tuple<IVELNameTable>;

  HRESULT get_Count(uint32_t* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = static_cast<uint32_t>(registry_.Size());
    return S_OK;
  }
  HRESULT LookupName(uint32_t nCode, BSTR* pbstrName) override {
    if (!pbstrName) return E_POINTER;
    std::u16string_view name = registry_.Lookup(nCode);
    *pbstrName = name.empty() ? nullptr : AllocBstr(name);
    return name.empty() ? S_FALSE : S_OK;
  }

 protected:
  explicit CVendorNameTable(std::string path)
      : registry_(std::move(path), [](const std::string& problem) { Note(problem); }) {}
  virtual ~CVendorNameTable() = default;

 private:
  OuiRegistry registry_;
};

}  // namespace

ComPtr<IVELNameTable> MakeVendorTable(const std::string& path) {
  IVELNameTable* table = nullptr;
  if (FAILED(CComObject<CVendorNameTable>::CreateInstance(IVELNameTable::kIID, reinterpret_cast<void**>(&table), path)))
    return {};
  return ComPtr<IVELNameTable>::Adopt(table);
}

}  // namespace vdecode
