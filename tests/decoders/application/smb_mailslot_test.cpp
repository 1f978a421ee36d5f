#include "smb_frames.h"
#include "test_support.h"

namespace vel::test {
namespace {

// A Transaction request to a mailslot, 8-bit: three setup words (write,
// priority 0, class 2), the name, then the data right after it unless
// padding is asked for.
Bytes MailslotTransaction(std::string_view name, const Bytes& data, uint32_t padding = 0) {
  const uint32_t dataOffset = 32 + 1 + 34 + 2 + static_cast<uint32_t>(name.size()) + 1 + padding;
  return Concat({SmbHeader(0x25, 0x00, 0x0000),
                 Concat({Hex("11 0000"), Le16(data.size()), Hex("0000 0000 00 00 0000 00000000 0000 0000"),
                         Le16(dataOffset), Le16(data.size()), Le16(dataOffset), Hex("03 00 0100 0000 0200"),
                         Le16(name.size() + 1 + padding + data.size()), Cstr(name), Bytes(padding, 0), data})});
}

// An announcement: command, update count 0, every 12 minutes, the host
// name, the OS version, server type 0x1003 (workstation, server, NT
// workstation), browser version 15.1, the signature and the comment.
Bytes Announcement(uint8_t command, std::string_view host, uint8_t major, uint8_t minor, std::string_view comment) {
  Bytes name = Ascii(host);
  name.resize(16, 0);
  return Concat({{command, 0}, Hex("80fc0a00"), name, {major, minor}, Hex("03100000 0f01 55aa"), Cstr(comment)});
}

// In a NetBIOS session the data starts 54 bytes into the command's parameters.
constexpr uint32_t kSessionData = kSmbBody + 54;
const Bytes kHostAnnouncement =
    SmbSessionFrame(MailslotTransaction("\\MAILSLOT\\BROWSE", Announcement(0x01, "HOST", 5, 1, "")));

// In a direct group datagram from WORKSTATION1 to WORKGROUP<1D>, over UDP port 138.
constexpr uint32_t kDatagramSmb = kUdpPayload + 14 + 34 + 34;
Bytes DirectGroupDatagram(const Bytes& smb) {
  return UdpFrame(138, 138,
                  Concat({Hex("11 02 1234 c0a80001 008a"), {static_cast<uint8_t>((68 + smb.size()) >> 8)},
                          {static_cast<uint8_t>(68 + smb.size())}, Hex("0000"), NetBIOSName("WORKSTATION1", 0x00),
                          NetBIOSName("WORKGROUP", 0x1D), smb}));
}
const Bytes kMasterAnnouncement = DirectGroupDatagram(
    MailslotTransaction("\\MAILSLOT\\BROWSE", Announcement(0x0F, "FILESERVER", 6, 1, "Samba server")));

class SMBMailslot : public DecoderTest {
 protected:
  static const Node* Browser(IVELPacketsDecodingInfo* info) { return FindItemOrNull(SmbCommand(info), "Browser"); }
};

TEST_F(SMBMailslot, HostAnnouncementInASession) {
  auto info = SweepAndDecode(kHostAnnouncement);
  EXPECT_EQ(SummaryOf(SmbLayer(info.get())), "Transaction Request");
  const Node* body = SmbCommand(info.get());
  EXPECT_EQ(ChildNames(body).back(), "Browser");
  const Node* browser = Browser(info.get());
  ExpectItem(browser, kSessionData, 33, "Host Announcement");
  ExpectFields(browser, {{"Command", kSessionData, 1, "1 (0x01)", "Host Announcement"},
                         {"Update Count", kSessionData + 1, 1, "0 (0x00)"},
                         {"Update Periodicity", kSessionData + 2, 4, "720000 (0x000AFC80)", "Millisecond"},
                         {"Host Name", kSessionData + 6, 16, "HOST"},
                         {"OS Version", kSessionData + 22, 2, "5.1", "Windows XP"},
                         {"Server Type", kSessionData + 24, 4, "4099 (0x00001003)"},
                         {"Version", kSessionData + 28, 2, "15.1"},
                         {"Signature", kSessionData + 30, 2, "43605 (0xAA55)"},
                         {"Host Comment", kSessionData + 32, 1, ""}});
  ExpectFields(FindItem(browser, "OS Version"), {{"Major Version", kSessionData + 22, 1, "5 (0x05)"},
                                                 {"Minor Version", kSessionData + 23, 1, "1 (0x01)"}});
  EXPECT_EQ(body->length, 54u + 33u);
}

TEST_F(SMBMailslot, MasterAnnouncementInANetBiosDatagram) {
  auto info = SweepAndDecode(kMasterAnnouncement);
  EXPECT_EQ(GroupNames(info.get()).back(), "SMB - Server Message Block");
  const Node* smb = SmbLayer(info.get());
  EXPECT_EQ(smb->startPos, kDatagramSmb);
  const uint32_t data = kDatagramSmb + 86;
  const Node* browser = Browser(info.get());
  ExpectItem(browser, data, 45, "Local Master Announcement");
  ExpectItem(FindItem(browser, "Host Name"), data + 6, 16, "FILESERVER");
  ExpectItem(FindItem(browser, "OS Version"), data + 22, 2, "6.1", "Windows 7 or Windows Server 2008 R2");
  ExpectItem(FindItem(browser, "Host Comment"), data + 32, 13, "Samba server");
  EXPECT_EQ(smb->length, 86u + 45u);
}

TEST_F(SMBMailslot, OperatingSystemsByVersion) {
  const std::pair<std::vector<uint8_t>, std::string> cases[] = {
      {{5, 0}, "Windows 2000"},
      {{5, 1}, "Windows XP"},
      {{5, 2}, "Windows Server 2003 R2 or Windows Server 2003"},
      {{6, 0}, "Windows Vista or Windows Server 2008"},
      {{6, 1}, "Windows 7 or Windows Server 2008 R2"},
      {{6, 2}, ""},
      {{4, 0}, ""},
  };
  for (const auto& [version, name] : cases) {
    Bytes frame = kHostAnnouncement;
    std::copy(version.begin(), version.end(), frame.begin() + kSessionData + 22);
    auto info = DecodeFrame(frame);
    EXPECT_EQ(CommentOf(FindItem(Browser(info.get()), "OS Version")), name) << name;
  }
}

TEST_F(SMBMailslot, OtherMailslotsAndBrowserCommands) {
  // The name is compared in upper case; padding before the data is shown.
  auto lower = DecodeFrame(
      SmbSessionFrame(MailslotTransaction("\\mailslot\\browse", Announcement(0x0C, "WORKGROUP", 5, 2, "MASTER"), 2)));
  ExpectItem(FindItem(SmbCommand(lower.get()), "Padding"), kSessionData, 2, "0000");
  ExpectItem(Browser(lower.get()), kSessionData + 2, 39, "Domain Announcement");

  // Another mailslot's message is bytes.
  auto netlogon = DecodeFrame(SmbSessionFrame(MailslotTransaction("\\MAILSLOT\\NET\\NETLOGON", Hex("12 00 abcd"))));
  EXPECT_EQ(Browser(netlogon.get()), nullptr);
  ExpectItem(FindItem(SmbCommand(netlogon.get()), "Data"), kSessionData + 6, 4, "1200ABCD");

  // A browser command that announces nothing, and an announcement too short for its fields.
  auto election = DecodeFrame(SmbSessionFrame(MailslotTransaction("\\MAILSLOT\\BROWSE", Hex("08 01 00000000"))));
  ExpectItem(Browser(election.get()), kSessionData, 6, "");
  ExpectFields(Browser(election.get()),
               {{"Command", kSessionData, 1, "8 (0x08)"}, {"Data", kSessionData + 1, 5, "0100000000"}});
  auto cut = DecodeFrame(SmbSessionFrame(MailslotTransaction("\\MAILSLOT\\BROWSE", Hex("01 00 80fc0a00 484f5354"))));
  EXPECT_EQ(ChildNames(Browser(cut.get())), (Names{"Command", "Data"}));
}

TEST_F(SMBMailslot, DataCountBeyondTheCapture) {
  // The data count claims 200 bytes: the announcement is read as it stands.
  Bytes frame = kHostAnnouncement;
  frame[kSmbBody + 23] = 200;
  auto info = DecodeFrame(frame);
  ExpectItem(Browser(info.get()), kSessionData, 33, "Host Announcement");
  EXPECT_EQ(ChildNames(Browser(info.get())).back(), "Host Comment");
}

}  // namespace
}  // namespace vel::test
