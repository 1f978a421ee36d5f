// Mailslot messages, which SMB Transaction requests carry to a name under
// \MAILSLOT\, and the browser's announcements on the browse mailslot: the
// announcing host's name, operating-system version and server type.
#include <cstring>

#include "decoders/application/smb_decoder.h"

namespace vel {

using namespace smb;

namespace {

// ---- Texts ------------------------------------------------------------------

constexpr uint32_t kData = 1508, kBrowser = 853, kUpdateCount = 1047, kUpdatePeriodicity = 1048;
constexpr uint32_t kMillisecond = 1737, kHostName = 387, kOsVersion = 1049, kServerType = 1050;
constexpr uint32_t kVersion = 111, kMajorVersion = 1042, kMinorVersion = 1043, kSignature = 1557;
constexpr uint32_t kHostComment = 1051;

// The browser commands that announce a host, a domain or a master browser;
// they share one layout.
constexpr NameIdPair kAnnouncementNames[] = {
    {0x01, 1057},  // Host Announcement
    {0x0C, 1058},  // Domain Announcement
    {0x0F, 1059},  // Local Master Announcement
    {0, 0},
};

// Operating systems by major and minor version.
constexpr NameIdPair kOsVersionNames[] = {
    {0x0500, 1052},  // Windows 2000
    {0x0501, 1053},  // Windows XP
    {0x0502, 1054},  // Windows Server 2003 R2 or Windows Server 2003
    {0x0600, 1055},  // Windows Vista or Windows Server 2008
    {0x0601, 1056},  // Windows 7 or Windows Server 2008 R2
    {0, 0},
};

// ---- Layout -------------------------------------------------------------------

constexpr std::u16string_view kMailslotWord = u"MAILSLOT", kBrowseWord = u"BROWSE";
// Command, update count, periodicity, host name, OS version, server type,
// browser version and signature; the comment follows.
constexpr uint32_t kAnnouncementBytes = 32;
constexpr uint32_t kHostNameBytes = 16;

// Whether text contains word (upper-case ASCII) in any case.
bool ContainsWord(Text text, std::u16string_view word) {
  for (size_t at = 0; at + word.size() <= text.size(); ++at) {
    size_t i = 0;
    while (i < word.size()) {
      char16_t c = text[at + i];
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
      if (c != word[i]) break;
      ++i;
    }
    if (i == word.size()) return true;
  }
  return false;
}

}  // namespace

void CSMBDecoder::AddMailslotMessage(Item* body, Text name, const TransactionCounts& counts) {
  if (!ContainsWord(name, kMailslotWord)) return;
  AddPaddingTo(body, counts.dataOffset);
  if (counts.dataCount == 0) return;
  if (ContainsWord(name, kBrowseWord))
    AddBrowserMessage(body, counts.dataCount);
  else
    AddHexItem(body, Res(kData), counts.dataCount);
}

// The browser group is named by its command; the rest of a command that is
// no announcement is shown as bytes.
void CSMBDecoder::AddBrowserMessage(Item* body, uint32_t length) {
  const uint32_t command = AtCursor().U8(0);
  const Text commandName = NameOf(kAnnouncementNames, command);
  Item* browser = AddGroupItem(body, length, Res(kBrowser), commandName);
  AddByteField(browser, kCommand, commandName);
  if (!commandName.empty() && length >= kAnnouncementBytes)
    AddAnnouncement(browser);
  else if (length > 1)
    AddHexItem(browser, Res(kData), length - 1);
}

void CSMBDecoder::AddAnnouncement(Item* browser) {
  AddByteField(browser, kUpdateCount);
  AddDWordField(browser, kUpdatePeriodicity, Res(kMillisecond));
  // The name is padded with zero bytes.
  const uint8_t* name = AtCursor().Bytes(0, kHostNameBytes);
  const auto* padding = static_cast<const uint8_t*>(std::memchr(name, 0, kHostNameBytes));
  TextBuffer text;
  AppendPacketText(text, name, padding ? static_cast<size_t>(padding - name) : kHostNameBytes);
  AddTextItem(browser, kHostNameBytes, Res(kHostName), text);
  AddVersionPair(browser, kOsVersion, kOsVersionNames);
  AddDWordField(browser, kServerType);
  AddVersionPair(browser, kVersion, nullptr);
  AddWordField(browser, kSignature);
  AddAnsiText(browser, kHostComment);
}

// Two bytes, the major then the minor version, shown as "major.minor" and
// named by names when it has one.
void CSMBDecoder::AddVersionPair(Item* parent, uint32_t label, const NameIdPair* names) {
  ByteView at = AtCursor();
  const uint32_t major = at.U8(0), minor = at.U8(1);
  TextBuffer value;
  Item* pair = AddGroupItem(parent, 2, Res(label), Format(value, u"%u.%u", major, minor),
                            names ? NameOf(names, major << 8 | minor) : Text{});
  AddByteField(pair, kMajorVersion);
  AddByteField(pair, kMinorVersion);
}

}  // namespace vel
