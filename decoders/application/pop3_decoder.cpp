// POP3: each segment is one client command, one positive server reply
// ("+OK ...") or a little raw data, summarised with "C: " or "S: ". Command
// names are matched in any letter case; negative replies and listings leave
// the group empty. Nothing is handed on.
#include "decoders/application/text_lines.h"
#include "engine/class_table.h"

namespace vel {

namespace {

constexpr uint32_t kPop3Data = 670;

// Commands, in the order they are tried within each first letter.
constexpr std::string_view kCommands[] = {
    "APOP", "DELE", "LIST", "NOOP", "PASS", "QUIT", "RETR", "RSET", "STAT", "TOP", "UIDL", "USER",
};

constexpr LineProtocol kPop3 = {kCommands, LetterCase::kIgnored, 4, kPop3Data, IsPositiveReply};

constexpr uint32_t kPOP3 = 9;
constexpr CLSID kClsid = MakeGuid("{5E76869A-A09D-47B9-99C4-B3961653CA7D}");

}  // namespace

class CPOP3Decoder : public CLineProtocolDecoderT<CPOP3Decoder, kPOP3, kClsid, kPop3> {};

VEL_REGISTER_MODULE(CPOP3Decoder, 22, u"POP3 Decoder", u"POP3 Decoder Module");

}  // namespace vel
