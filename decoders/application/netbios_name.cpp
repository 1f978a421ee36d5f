#include "decoders/application/netbios_name.h"

namespace vel {

namespace {

// Comments.
constexpr uint32_t kCompressedName = 850, kPointerNotFollowed = 851;

constexpr NameIdPair kSuffixNames[] = {
    {0x00, 852},  // Workstation/Redirector
    {0x01, 853},  // Browser
    {0x02, 854},  // SQL Server
    {0x03, 855},  // Messenger service/Main name
    {0x05, 856},  // Forwarded name
    {0x06, 857},  // RAS Server service
    {0x1B, 858},  // Domain Master Browser
    {0x1C, 859},  // Domain controllers
    {0x1D, 860},  // Local Master Browser
    {0x1E, 861},  // Browser Election Service
    {0x1F, 862},  // Net DDE Service
    {0x20, 863},  // Server service
    {0x21, 864},  // RAS client service
    {0x22, 865},  // Exchange Interchange (MSMail Connector)
    {0x23, 866},  // Exchange Store
    {0x24, 867},  // Exchange Directory
    {0x2B, 868},  // Lotus Notes Server service
    {0x30, 869},  // Modem sharing server service
    {0x31, 870},  // Modem sharing client service
    {0x43, 871},  // SMS Clients Remote Control
    {0x44, 872},  // SMS Administrators Remote Control Tool
    {0x45, 873},  // SMS Clients Remote Chat
    {0x46, 873},
    {0x4C, 874},  // DEC Pathworks TCP/IP Service on Windows NT
    {0x52, 874},
    {0x6A, 875},  // Microsoft Exchange IMC
    {0x87, 876},  // Microsoft Exchange MTA
    {0xBE, 877},  // Network Monitor Agent
    {0xBF, 878},  // Network Monitor Analyzer
    {0, 0},
};

constexpr uint32_t kPointerBits = 0xC0, kLabelLengthMask = 0x3F, kPointerOffsetMask = 0x3FFF;
constexpr size_t kNameCharacters = 15;
constexpr uint32_t kPlainNameBytes = 16;
// A followed pointer must point before the run it sits in, so a name's walk
// always ends; the cap bounds the work a crafted chain of pointers can cause.
constexpr uint32_t kMaxPointers = 16;

// One decoded byte: a name character while the text is short of fifteen,
// after that a suffix shown as <XX> with its description, if it has one.
// Control bytes show as '.', so that a name never breaks a line of text.
void AppendNameByte(uint8_t byte, NetBIOSName& name) {
  if (name.text.size() < kNameCharacters) {
    if (byte < 0x20 || byte == 0x7F)
      name.text.append(u'.');
    else
      AppendPacketText(name.text, &byte, 1);
    return;
  }
  AppendFormat(name.text, u"<%02X>", byte);
  uint32_t id = LookupNameId(kSuffixNames, byte);
  if (id != kNoText) name.comment = ResText(id);
}

// First-level decoding: each pair of letters is one byte. A lone last byte of
// an odd-length label has no pair and is left out.
void AppendLabel(ByteView label, NetBIOSName& name) {
  for (uint32_t i = 0; i + 1 < label.size(); i += 2)
    AppendNameByte(static_cast<uint8_t>((label.U8(i) - 'A') * 16 + (label.U8(i + 1) - 'A')), name);
}

// How one run of labels ended.
struct RunEnd {
  uint32_t used;    // bytes through the ending byte; the captured bytes when cut
  uint32_t needed;  // when cut, the bytes the run needs as far as known; else 0
  bool pointer;
  uint32_t target;  // the pointer's offset from the message start
};

// Labels from the start of run (which ends with the captured data) up to a
// zero byte or a compression pointer.
RunEnd ReadRun(ByteView run, NetBIOSName& name) {
  uint32_t i = 0;
  while (i < run.size()) {
    uint32_t byte = run.U8(i);
    if (byte == 0) return {i + 1, 0, false, 0};
    if ((byte & kPointerBits) == kPointerBits) {
      if (!run.Has(i, 2)) return {run.size(), i + 2, false, 0};
      return {i + 2, 0, true, (byte << 8 | run.U8(i + 1)) & kPointerOffsetMask};
    }
    if (!name.text.view().empty()) name.text.append(u'.');
    uint32_t labelLength = byte & kLabelLengthMask;
    AppendLabel(run.Clamp(i + 1, labelLength), name);
    i += 1 + labelLength;
  }
  return {run.size(), i + 1, false, 0};
}

}  // namespace

void ReadNetBIOSName(ByteView message, uint32_t at, NetBIOSName& name) {
  name.text.clear();
  name.comment = {};
  RunEnd end = ReadRun(message.Clamp(at), name);
  name.length = end.used;
  name.cut = end.needed != 0;
  name.needed = end.needed;
  // Only the first run's bytes belong to the name here; a pointer's target
  // adds text alone, and whatever its own labels say, the comment tells
  // that the name was compressed.
  uint32_t runStart = at;
  for (uint32_t pointers = 1; end.pointer; ++pointers) {
    if (end.target >= runStart || pointers > kMaxPointers) {
      name.comment = ResText(kPointerNotFollowed);
      return;
    }
    runStart = end.target;
    end = ReadRun(message.Clamp(runStart), name);
    name.comment = ResText(kCompressedName);
  }
}

void PlainNetBIOSName(const uint8_t* bytes, NetBIOSName& name) {
  name.text.clear();
  name.comment = {};
  for (uint32_t i = 0; i < kPlainNameBytes; ++i) AppendNameByte(bytes[i], name);
  name.length = kPlainNameBytes;
  name.cut = false;
  name.needed = 0;
}

}  // namespace vel
