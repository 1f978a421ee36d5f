// SMTP: each segment is one client command, one numbered server reply or a
// little raw data, summarised with "C: " or "S: ". Command names are matched
// in any letter case. The DATA phase is not followed, so message content
// leaves the group empty. Nothing is handed on.
#include "decoders/application/text_lines.h"
#include "engine/class_table.h"

namespace vel {

namespace {

// Short data carries the POP3 decoder's label: there is no SMTP one.
constexpr uint32_t kPop3Data = 670;

// Commands, in the order they are tried within each first letter.
constexpr std::string_view kCommands[] = {
    "AUTH", "DATA", "DEBUG", "EXPN", "EHLO", "HELO", "HELP", "MAIL", "NOOP",
    "QUIT", "RCPT", "RSET", "SEND", "SOML", "SAML", "TURN", "VRFY", "WIZ",
};

constexpr LineProtocol kSmtp = {kCommands, LetterCase::kIgnored, 5, kPop3Data, IsNumberedReply};

constexpr uint32_t kSMTP = 6;
constexpr CLSID kClsid = MakeGuid("{69AA49DE-2392-492E-838F-F6782329B8D8}");

}  // namespace

class CSMTPDecoder : public CLineProtocolDecoderT<CSMTPDecoder, kSMTP, kClsid, kSmtp> {};

VEL_REGISTER_MODULE(CSMTPDecoder, 23, u"SMTP Decoder", u"SMTP Decoder Module");

}  // namespace vel
