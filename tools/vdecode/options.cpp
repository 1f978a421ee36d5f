#include "tools/vdecode/options.h"

#include <CLI/CLI.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <limits>
#include <map>
#include <thread>

#include "tools/vdecode/capture_input.h"
#include "tools/vdecode/vendor_table.h"
#include "vel/text.h"

namespace vdecode {

namespace {

const std::map<std::string, TimeFormat> kTimeFormats = {
    {"r", TimeFormat::kRelative}, {"a", TimeFormat::kAbsolute}, {"ad", TimeFormat::kAbsoluteWithDate},
    {"e", TimeFormat::kEpoch}};

const std::map<std::string, uint16_t> kLanguages = {{"en", vel::kLanguageEnglish}, {"zh", vel::kLanguageChinese}};

// Accepts decimal digits only (no sign, no blanks) naming a value from low to high.
CLI::Validator WholeNumber(uint64_t low, uint64_t high) {
  constexpr uint64_t kUnbounded = std::numeric_limits<uint64_t>::max();
  std::string range = high != kUnbounded ? " from " + std::to_string(low) + " to " + std::to_string(high)
                      : low > 0          ? " of at least " + std::to_string(low)
                                         : "";
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        uint64_t value = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        bool valid = !text.empty() && error == std::errc() && end == text.data() + text.size() &&
                     value >= low && value <= high;
        return valid ? std::string() : "'" + text + "' is not a whole number" + range;
      },
      "");
}

const CLI::Validator kCount = WholeNumber(1, std::numeric_limits<uint64_t>::max());
const CLI::Validator kOffset = WholeNumber(0, std::numeric_limits<uint32_t>::max());
const CLI::Validator kMicroseconds = WholeNumber(0, std::numeric_limits<uint64_t>::max());
const CLI::Validator kSnapLength = WholeNumber(1, 262144);
const CLI::Validator kJobs = WholeNumber(1, 256);

unsigned Cores() { return std::max(1u, std::thread::hardware_concurrency()); }

// Raw values as typed, checked and converted after parsing.
struct Arguments {
  std::vector<std::string> positionals;  // capture files, then a filter expression
  std::optional<std::string> hex;
  std::string filter;
  std::string timeFormat = "r";
  std::string language;
  bool verbose = false, json = false, noChecksum = false, noPromiscuous = false;
  std::optional<std::string> ouiFile;
  bool noVendor = false;
  bool listModules = false, listInterfaces = false, registerModules = false, unregisterModules = false;
};

void Define(CLI::App& app, Options& options, Arguments& raw) {
  app.description("Decodes captured frames with the VEL decoding engine.");
  app.footer("Exit status: 0 when every packet was decoded, 1 for a problem with the input, 2 for a bad command line.");
  app.set_version_flag("--version", std::string("vdecode ") + VDECODE_VERSION);
  app.add_option("FILE", raw.positionals,
                 "Capture files to read, pcap or pcapng, one after the other; - reads standard input. A capture "
                 "filter expression may follow them, as with -f")
      ->type_name("");

  auto* hex = app.add_option("--hex", raw.hex, "Decode one frame given as hex digits (blanks and colons allowed)")
                  ->type_name("HEX");
  auto* interface = app.add_option("-i,--interface", options.interface, "Capture live from this interface (see -D)")
                        ->type_name("IFACE");
  app.add_flag("-p,--no-promiscuous-mode", raw.noPromiscuous, "Capture without putting the interface into promiscuous mode")
      ->needs(interface);
  app.add_option("-s,--snapshot-length", options.snapLength, "Capture at most SNAPLEN bytes of each packet (default 262144)")
      ->type_name("SNAPLEN")
      ->check(kSnapLength)
      ->needs(interface);
  app.add_option("-f,--filter", raw.filter, "Decode only packets that pass this capture filter (libpcap syntax, e.g. 'udp port 53')")
      ->type_name("EXPR");
  app.add_option("--protocol", options.protocols,
                 "Print only packets with a layer of this short name (e.g. DNS, ICMPv6, any case); may be repeated")
      ->type_name("NAME")
      ->allow_extra_args(false);
  app.add_option("--time", options.hexTimestamp, "Timestamp of the --hex frame, microseconds since 1970")
      ->type_name("MICROSECONDS")
      ->check(kMicroseconds)
      ->needs(hex);

  auto* verbose = app.add_flag("-V,--verbose", raw.verbose, "Show each packet's full decoding tree");
  auto* hexDump = app.add_flag("-x,--hex-dump", options.hexDump, "Show a hex and ASCII dump of each frame");
  auto* json = app.add_flag("--json", raw.json, "Write one JSON object per packet (JSON Lines)");
  auto* crlf = app.add_flag("--crlf", options.crlf, "End text lines with CR LF, as the engine renders them");
  app.add_option("-t", raw.timeFormat, "Time column: r relative to the first packet, a time of day, ad date and time, e epoch")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"r", "a", "ad", "e"}));

  app.add_option("-c,--count", options.count, "Stop after N packets of each input")->type_name("N")->check(kCount);
  app.add_option("--packet", options.onlyPacket, "Decode only packet N (1-based) of each input")->type_name("N")->check(kCount);
  auto* offset =
      app.add_option("--offset", options.offset, "Show the item that covers frame byte N")->type_name("N")->check(kOffset);
  app.add_option("--select", options.select, "Select the item with this identity (name and its parents' names) in every packet")
      ->type_name("ID");

  app.add_option("-j,--jobs", options.jobs, "Decode on N threads (default: one per core); the output stays the same")
      ->type_name("N")
      ->check(kJobs);
  app.add_option("--lang", raw.language, "Language of the decoding: en or zh")
      ->type_name("LANG")
      ->check(CLI::IsMember({"en", "zh"}));
  app.add_flag("--no-checksum", raw.noChecksum, "Do not verify checksums");
  auto* ouiFile = app.add_option("--oui-file", raw.ouiFile,
                                 "Name hardware vendors from FILE, an IEEE MA-L registry in CSV (default: " +
                                     std::string(kDefaultOuiFile) + ")")
                      ->type_name("FILE");
  app.add_flag("--no-vendor", raw.noVendor, "Do not name the vendors of hardware addresses")->excludes(ouiFile);
  app.add_flag("-q,--quiet", options.quiet, "Do not show a progress bar");

  auto* modules = app.add_flag("--modules", raw.listModules, "List the decoder modules of the graph and exit");
  auto* interfaces = app.add_flag("-D,--list-interfaces", raw.listInterfaces, "List the interfaces to capture from and exit");
  auto* registration = app.add_flag("--register", raw.registerModules, "Register the library and its module list, and exit");
  auto* unregistration = app.add_flag("--unregister", raw.unregisterModules, "Remove the library's registration, and exit");

  json->excludes(verbose)->excludes(hexDump)->excludes(crlf)->excludes(offset);
  interface->excludes(hex);
  modules->excludes(interfaces)->excludes(registration)->excludes(unregistration)->excludes(hex)->excludes(interface);
  interfaces->excludes(registration)->excludes(unregistration)->excludes(hex)->excludes(interface);
  registration->excludes(unregistration)->excludes(hex)->excludes(interface);
  unregistration->excludes(hex)->excludes(interface);
}

Command CommandOf(const Arguments& raw) {
  if (raw.listModules) return Command::kListModules;
  if (raw.listInterfaces) return Command::kListInterfaces;
  if (raw.registerModules) return Command::kRegister;
  if (raw.unregisterModules) return Command::kUnregister;
  return Command::kDecode;
}

// An argument names a capture file when it is "-", holds a '/' or names
// something that exists.
bool NamesAFile(const std::string& argument) {
  struct stat status {};
  return argument == "-" || argument.find('/') != std::string::npos || stat(argument.c_str(), &status) == 0;
}

// Capture files come first and a filter expression after them, as tcpdump
// takes it: the first argument that names no file starts the expression,
// whose words are joined by blanks. The first argument is a file all the
// same when nothing else gives an input.
void SplitFilesAndExpression(const std::vector<std::string>& arguments, bool otherInput, Options& options) {
  auto expression = std::find_if_not(arguments.begin(), arguments.end(), NamesAFile);
  if (expression == arguments.begin() && !otherInput && expression != arguments.end()) ++expression;
  options.files.assign(arguments.begin(), expression);
  for (auto word = expression; word != arguments.end(); ++word)
    options.filter += (options.filter.empty() ? "" : " ") + *word;
}

void Complete(Options& options, const Arguments& raw) {
  options.command = CommandOf(raw);
  options.mode = raw.json ? OutputMode::kJson : raw.verbose ? OutputMode::kVerbose : OutputMode::kSummary;
  options.timeFormat = kTimeFormats.at(raw.timeFormat);
  options.verifyChecksum = !raw.noChecksum;
  options.promiscuous = !raw.noPromiscuous;
  if (!raw.noVendor) options.ouiFile = raw.ouiFile.value_or(DefaultOuiFile());
  if (!raw.language.empty()) options.language = kLanguages.at(raw.language);

  if (options.command != Command::kDecode) {
    if (!raw.positionals.empty())
      throw UsageError("a capture file cannot be combined with --modules, -D, --register or --unregister");
    return;
  }
  options.hexInput = raw.hex.has_value();
  SplitFilesAndExpression(raw.positionals, options.hexInput || options.interface, options);
  if (!raw.filter.empty()) {
    if (!options.filter.empty())
      throw UsageError("give the capture filter either with -f or after the inputs, not both");
    options.filter = raw.filter;
  }
  if (options.interface && !options.files.empty())
    throw UsageError("give either capture files or -i, not both");
  if (options.hexInput && !options.files.empty()) throw UsageError("give either capture files or --hex, not both");
  if (std::count(options.files.begin(), options.files.end(), "-") > 1)
    throw UsageError("standard input (-) can be read only once");
  if (!options.hexInput && !options.interface && options.files.empty())
    throw UsageError("no input: give a capture file (- for standard input), --hex HEX or -i IFACE; see --help");
  if (options.hexInput) {
    try {
      options.hexFrame = ParseHexFrame(*raw.hex);
    } catch (const std::invalid_argument& problem) {
      throw UsageError(std::string("--hex: ") + problem.what());
    }
  }
}

}  // namespace

std::optional<Options> ParseOptions(int argc, const char* const* argv) {
  CLI::App app{"", "vdecode"};
  Options options;
  options.jobs = Cores();
  Arguments raw;
  Define(app, options, raw);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& answered) {
    app.exit(answered, std::cout, std::cerr);
    return std::nullopt;
  } catch (const CLI::ParseError& problem) {
    throw UsageError(problem.what());
  }
  Complete(options, raw);
  return options;
}

}  // namespace vdecode
