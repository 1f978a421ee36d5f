// FTP control connection: each segment is one client command, one server
// reply or a little raw data, summarised with "C: " or "S: ". Command names
// are matched exactly as written. Nothing is handed on.
#include "decoders/application/text_lines.h"
#include "engine/class_table.h"

namespace vel {

namespace {

constexpr uint32_t kFtpData = 660;

// Commands, in the order they are tried within each first letter.
constexpr std::string_view kCommands[] = {
    "ASCII", "ABOR", "ALLO", "APPE", "CDUP", "CWD", "DELE", "HELP", "LIST", "MODE", "MKD", "MDTM", "NLST", "NOOP",
    "PASS", "PASV", "PORT", "PWD", "QUIT", "RETR", "REIN", "REST", "RMD", "RNFR", "STOR", "SMIT", "STRU", "SITE",
    "STAT", "STOU", "SYST", "SIZE", "TYPE", "USER",
};

constexpr LineProtocol kFtp = {kCommands, LetterCase::kExact, 5, kFtpData, IsNumberedReply};

constexpr uint32_t kFTP = 10;
constexpr CLSID kClsid = MakeGuid("{2E6152C8-8314-4355-9D51-05CD3DB63A52}");

}  // namespace

class CFTPDecoder : public CLineProtocolDecoderT<CFTPDecoder, kFTP, kClsid, kFtp> {};

VEL_REGISTER_MODULE(CFTPDecoder, 21, u"FTP Decoder", u"FTP Decoder Module");

}  // namespace vel
