#include "tools/vdecode/module_list.h"

#include <cstdio>

#include "tools/vdecode/decoding_tree.h"
#include "tools/vdecode/utf8.h"
#include "vel/protocol_catalogue.h"

namespace vdecode {

using namespace vel;

namespace {

constexpr const char* kLineFormat = "%-38s  %4s  %-16s  %-24s  %s\n";

std::string Line(const std::string& clsid, const std::string& type, const std::string& protocol,
                 const std::string& name, const std::string& enabled) {
  char line[512];
  std::snprintf(line, sizeof line, kLineFormat, clsid.c_str(), type.c_str(), protocol.c_str(), name.c_str(),
                enabled.c_str());
  return line;
}

}  // namespace

std::string ModuleListing(IOrvDecoderManager* manager) {
  std::string listing = Line("CLASS", "TYPE", "PROTOCOL", "NAME", "ENABLED");
  ComPtr<IIDECollection> modules;
  manager->EnumerateModules(&modules);
  for (const ComPtr<IVELDcoder>& module : Members<IVELDcoder>(modules.get())) {
    uint32_t type = ReadNumber(module.get(), &IVELDcoder::get_ProtocolType);
    const char16_t* protocol = ProtocolShortName(type);
    listing += Line(Utf16ToUtf8(ReadText(module.get(), &IVELDcoder::get_CLSID).view()), std::to_string(type),
                    protocol ? Utf16ToUtf8(protocol) : "?", Utf16ToUtf8(ReadText(module.get(), &IVELDcoder::get_Name).view()),
                    ReadNumber(module.get(), &IVELDcoder::get_Enable) ? "yes" : "no");
  }
  return listing;
}

}  // namespace vdecode
