#include "smb_frames.h"
#include "test_support.h"

namespace vel::test {
namespace {

// Open "\a.txt" for reading: an exclusive, batch-oplocked open with the
// extended response, read data, EA and attributes and synchronize rights,
// a normal file shared for reading and writing, opened if it exists, not a
// directory, impersonated, with context tracking. The name follows one byte
// of alignment.
const Bytes kCreateRequest =
    SmbMessage(0xA2, kSmbRequest, kNtUnicode,
               Concat({Hex("18 ff 00 0000 00 0e00 16000000 00000000 89001200 0000000000000000 80000000"
                           "03000000 01000000 40000000 02000000 01 0f00 00"),
                       Utf16z("\\a.txt")}));
// The extended response (word count 42 with 50 words sent): a batch oplock,
// file times of 2010-01-01, an archive file, a named pipe's state, the
// volume GUID, the file id and the maximal rights.
const Bytes kFileTime = Hex("87d6805c758aca01");
const Bytes kCreateResponse =
    SmbMessage(0xA2, kSmbResponse, kNtUnicode,
               Concat({Hex("2a ff 00 0000 02 0040 01000000"), kFileTime, kFileTime, kFileTime, kFileTime,
                       Hex("20000000 0010000000000000 0500000000000000 0200 ff05 00"
                           "00112233445566778899aabbccddeeff 0807060504030201 ff011f00 a9001200 0000")}));
// The original response of 34 words: a directory.
const Bytes kCreateResponseOriginal =
    SmbMessage(0xA2, kSmbResponse, kNtUnicode,
               Concat({Hex("22 ff 00 0000 00 0140 02000000"), kFileTime, kFileTime, kFileTime, kFileTime,
                       Hex("10000000 0000000000000000 0000000000000000 0000 0000 01 0000")}));
// Watch a directory tree for name, attribute and last-write changes; the
// parameters start after three bytes of padding.
const Bytes kNotifyRequest = SmbMessage(0xA0, kSmbRequest, kNtUnicode,
                                        Hex("17 00 0000 00000000 00000000 20000000 00000000 00000000 54000000"
                                            "00000000 54000000 04 0400 17000000 0040 01 00 0300 000000"));

// Query a security descriptor: no setup words, eight parameter bytes after three of padding.
const Bytes kQuerySecurityRequest = SmbMessage(0xA0, kSmbRequest, kNtUnicode,
                                               Hex("13 00 0000 08000000 00000000 04000000 00000100 08000000 4c000000"
                                                   "00000000 54000000 00 0600 0b00 000000 0040 0000 07000000"));
// An I/O control call: four setup words shown as bytes.
const Bytes kIoctlRequest = SmbMessage(0xA0, kSmbRequest, kNtUnicode,
                                       Hex("17 00 0000 00000000 00000000 00000000 00000000 00000000 54000000"
                                           "00000000 54000000 04 0200 a4011400 0040 01 00 0000"));
// The name in 8 bits when flags2 says so, with no alignment byte.
const Bytes kCreateRequestAscii =
    SmbMessage(0xA2, kSmbRequest, kDosAscii,
               Concat({Hex("18 ff 00 0000 00 0700 00000000 00000000 01000000 0000000000000000 00000000"
                           "07000000 01000000 00000000 02000000 00 0700"),
                       Cstr("\\a.txt")}));

using SMBNtCommands = DecoderTest;

TEST_F(SMBNtCommands, CreateRequestShowsEveryField) {
  auto info = SweepAndDecode(kCreateRequest);
  EXPECT_EQ(SummaryOf(SmbLayer(info.get())), "NT Create AndX Request");
  const Node* body = SmbCommand(info.get());
  ExpectFields(body, {{"Word Count", kSmbBody, 1, "24 (0x18)"},
                      {"AndXCommand", kSmbBody + 1, 1, "255 (0xFF)", "No further commands"},
                      {"Reserved", kSmbBody + 2, 1, "0 (0x00)"},
                      {"AndXOffset", kSmbBody + 3, 2, "0 (0x0000)"},
                      {"Reserved", kSmbBody + 5, 1, "0 (0x00)"},
                      {"File Name Lenth", kSmbBody + 6, 2, "14 (0x000E)"},
                      {"Create Flags", kSmbBody + 8, 4, "0000 0000 0000 0000 0000 0000 0001 0110"},
                      {"Root FID", kSmbBody + 12, 4, "0 (0x00000000)"},
                      {"Access Mask", kSmbBody + 16, 4, "0000 0000 0001 0010 0000 0000 1000 1001"},
                      {"Allocation Size", kSmbBody + 20, 8, "0 (0x0000000000000000)"},
                      {"File Attributes", kSmbBody + 28, 4, "0000 0000 0000 0000 0000 0000 1000 0000"},
                      {"Share Access", kSmbBody + 32, 4, "0000 0000 0000 0000 0000 0000 0000 0011"},
                      {"Disposition", kSmbBody + 36, 4, "1 (0x00000001)"},
                      {"Create Options", kSmbBody + 40, 4, "0000 0000 0000 0000 0000 0000 0100 0000"},
                      {"Impersonation", kSmbBody + 44, 4, "2 (0x00000002)"},
                      {"Security Flags", kSmbBody + 48, 1, "0000 0001"},
                      {"Bytes Count", kSmbBody + 49, 2, "15 (0x000F)"},
                      {"File Name", kSmbBody + 52, 14, "\\a.txt"}});
  EXPECT_EQ(body->length, 66u);
  ExpectFields(FindItem(body, "Create Flags"),
               {{"Extended Response", kSmbBody + 8, 4, ".... .... .... .... .... .... ...1 ....", "Yes"},
                {"Create Directory", kSmbBody + 8, 4, ".... .... .... .... .... .... .... 0...", "No"},
                {"Batch Oplock", kSmbBody + 8, 4, ".... .... .... .... .... .... .... .1..", "Yes"},
                {"Exclusive Oplock", kSmbBody + 8, 4, ".... .... .... .... .... .... .... ..1.", "Yes"}});
  EXPECT_EQ(ChildNames(FindItem(body, "Share Access")), (Names{"Delete", "Write", "Read"}));
  const Node* options = FindItem(body, "Create Options");
  EXPECT_EQ(ChildNames(options), (Names{"Open For Free Space Query", "Open No Recall", "Open Reparse Point",
                                        "Reserve Opfilter", "No Compression", "Backup Intent", "Open By FileID",
                                        "Delete On Close", "Random Access", "8.3 Only", "No EA Knowledge",
                                        "Complete If Oplocked", "Create Tree Connection", "Non-Directory",
                                        "Sync I/O No Alert", "Sync I/O Alert", "Intermediate Buffering",
                                        "Sequential Only", "Write Through", "Directory"}));
  ExpectItem(Child(options, 0), kSmbBody + 40, 4, ".... .... 0... .... .... .... .... ....", "No");
  ExpectItem(Child(options, 13), kSmbBody + 40, 4, ".... .... .... .... .... .... .1.. ....", "Yes");
  ExpectFields(FindItem(body, "Security Flags"), {{"Effective Only", kSmbBody + 48, 1, ".... ..0.", "No"},
                                                  {"Context Tracking", kSmbBody + 48, 1, ".... ...1", "Yes"}});

  auto ascii = SweepAndDecode(kCreateRequestAscii);
  ExpectItem(FindItem(SmbCommand(ascii.get()), "File Name"), kSmbBody + 51, 7, "\\a.txt");
}

TEST_F(SMBNtCommands, AccessMaskAndFileAttributesShowEveryBit) {
  auto info = DecodeFrame(kCreateRequest);
  // Generic rights first, the rights on files last.
  const Node* access = FindItem(SmbCommand(info.get()), "Access Mask");
  ASSERT_EQ(access->Children().size(), 20u);
  ExpectItem(FindItem(access, "Generic Read"), kSmbBody + 16, 4, "0... .... .... .... .... .... .... ....", "No");
  ExpectItem(FindItem(access, "Synchronize"), kSmbBody + 16, 4, ".... .... ...1 .... .... .... .... ....", "Yes");
  ExpectItem(FindItem(access, "Read EA"), kSmbBody + 16, 4, ".... .... .... .... .... .... .... 1...", "Yes");
  ExpectItem(Child(access, 19), kSmbBody + 16, 4, ".... .... .... .... .... .... .... ...1", "Yes");
  EXPECT_EQ(Narrow(Child(access, 19)->Name()), "Read Data");

  const Node* attributes = FindItem(SmbCommand(info.get()), "File Attributes");
  ASSERT_EQ(attributes->Children().size(), 15u);
  ExpectItem(Child(attributes, 0), kSmbBody + 28, 4, ".... .... .... .... .0.. .... .... ....", "No");
  EXPECT_EQ(Narrow(Child(attributes, 0)->Name()), "Encrypted");
  ExpectItem(FindItem(attributes, "Normal"), kSmbBody + 28, 4, ".... .... .... .... .... .... 1... ....", "Yes");
  ExpectItem(FindItem(attributes, "Read Only"), kSmbBody + 28, 4, ".... .... .... .... .... .... .... ...0", "No");
}

TEST_F(SMBNtCommands, CreateResponseInBothLayouts) {
  auto info = SweepAndDecode(kCreateResponse);
  EXPECT_EQ(SummaryOf(SmbLayer(info.get())), "NT Create AndX Response");
  const Node* body = SmbCommand(info.get());
  const std::string time = "2010-01-01 00:00:00.1234567";
  ExpectFields(body, {{"Word Count", kSmbBody, 1, "42 (0x2A)"},
                      {"AndXCommand", kSmbBody + 1, 1, "255 (0xFF)", "No further commands"},
                      {"Reserved", kSmbBody + 2, 1, "0 (0x00)"},
                      {"AndXOffset", kSmbBody + 3, 2, "0 (0x0000)"},
                      {"Oplock Level", kSmbBody + 5, 1, "2 (0x02)"},
                      {"FID", kSmbBody + 6, 2, "16384 (0x4000)"},
                      {"Create Action", kSmbBody + 8, 4, "1 (0x00000001)"},
                      {"Created", kSmbBody + 12, 8, time},
                      {"Last Access", kSmbBody + 20, 8, time},
                      {"Last Write", kSmbBody + 28, 8, time},
                      {"Change", kSmbBody + 36, 8, time},
                      {"File Attributes", kSmbBody + 44, 4, "0000 0000 0000 0000 0000 0000 0010 0000"},
                      {"Allocation Size", kSmbBody + 48, 8, "4096 (0x0000000000001000)"},
                      {"End Of File", kSmbBody + 56, 8, "5 (0x0000000000000005)"},
                      {"File Type", kSmbBody + 64, 2, "2 (0x0002)"},
                      {"IPC State", kSmbBody + 66, 2, "0000 0101 1111 1111"},
                      {"Is Directory", kSmbBody + 68, 1, "0 (0x00)", "No"},
                      {"Volume GUID", kSmbBody + 69, 16, "33221100-5544-7766-8899-aabbccddeeff"},
                      {"Server unique 64-bit file ID", kSmbBody + 85, 8, "72623859790382856 (0x0102030405060708)"},
                      {"Maximal Access Rights", kSmbBody + 93, 4, "0000 0000 0001 1111 0000 0001 1111 1111"},
                      {"Guest Maximal Access Rights", kSmbBody + 97, 4, "0000 0000 0001 0010 0000 0000 1010 1001"},
                      {"Bytes Count", kSmbBody + 101, 2, "0 (0x0000)"}});
  ExpectFields(FindItem(body, "IPC State"), {{"No Data Available", kSmbBody + 66, 2, "0... .... .... ....", "No"},
                                             {"Endpoint", kSmbBody + 66, 2, ".0.. .... .... ....", "No"},
                                             {"Pipe Type", kSmbBody + 66, 2, ".... 01.. .... ...."},
                                             {"Read Mode", kSmbBody + 66, 2, ".... ..01 .... ...."},
                                             {"Icount", kSmbBody + 66, 2, ".... .... 1111 1111"}});
  EXPECT_EQ(FindItem(body, "Guest Maximal Access Rights")->Children().size(), 20u);

  // 34 words: no volume GUID, file id or rights.
  auto original = SweepAndDecode(kCreateResponseOriginal);
  body = SmbCommand(original.get());
  const std::vector<std::string> names = ChildNames(body);
  EXPECT_EQ(std::vector<std::string>(names.end() - 3, names.end()),
            (Names{"IPC State", "Is Directory", "Bytes Count"}));
  ExpectItem(FindItem(body, "Is Directory"), kSmbBody + 68, 1, "1 (0x01)", "Yes");
  EXPECT_EQ(body->length, 71u);
}

TEST_F(SMBNtCommands, TransRequestShowsItsSetup) {
  auto notify = SweepAndDecode(kNotifyRequest);
  EXPECT_EQ(SummaryOf(SmbLayer(notify.get())), "NT Trans Request");
  const Node* body = SmbCommand(notify.get());
  EXPECT_EQ(ChildNames(body),
            (Names{"Word Count", "Max Setup Count", "Reserved", "Total Parameter Count", "Total Data Count",
                   "Max Parameter Count", "Max Data Count", "Parameter Count", "Parameter Offset", "Data Count",
                   "Data Offset", "Setup Count", "Function", "Setup Info", "Bytes Count"}));
  ExpectItem(FindItem(body, "Max Parameter Count"), kSmbBody + 12, 4, "32 (0x00000020)");
  ExpectItem(FindItem(body, "Function"), kSmbBody + 37, 2, "4 (0x0004)");
  const Node* setup = FindItem(body, "Setup Info");
  ExpectItem(setup, kSmbBody + 39, 8, "");
  ExpectFields(setup, {{"Completion Filter", kSmbBody + 39, 4, "0000 0000 0000 0000 0000 0000 0001 0111"},
                       {"FID", kSmbBody + 43, 2, "16384 (0x4000)"},
                       {"Watch Tree", kSmbBody + 45, 1, "1 (0x01)", "Yes"},
                       {"Reserved", kSmbBody + 46, 1, "0 (0x00)"}});
  const Node* filter = FindItem(setup, "Completion Filter");
  EXPECT_EQ(ChildNames(filter),
            (Names{"Stream Write", "Stream Size Change", "Stream Name Change", "Security Change", "EA Change",
                   "Created Change", "Last Access Change", "Last Write Change", "Size Change", "Attribute Change",
                   "Directory Name Change", "File Name Change"}));
  ExpectItem(Child(filter, 7), kSmbBody + 39, 4, ".... .... .... .... .... .... ...1 ....", "Yes");
  ExpectItem(Child(filter, 8), kSmbBody + 39, 4, ".... .... .... .... .... .... .... 0...", "No");

  // No setup words; the padding runs to the parameters.
  auto query = SweepAndDecode(kQuerySecurityRequest);
  body = SmbCommand(query.get());
  EXPECT_EQ(FindItemOrNull(body, "Setup Info"), nullptr);
  ExpectItem(FindItem(body, "Bytes Count"), kSmbBody + 39, 2, "11 (0x000B)");
  ExpectItem(FindItem(body, "Padding"), kSmbBody + 41, 3, "000000");

  // Another function's setup words are bytes.
  auto ioctl = SweepAndDecode(kIoctlRequest);
  ExpectItem(FindItem(SmbCommand(ioctl.get()), "Setup Info"), kSmbBody + 39, 8, "A401140000400100");
}

}  // namespace
}  // namespace vel::test
