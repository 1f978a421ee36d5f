#include "test_support.h"

namespace vel::test {
namespace {

const Bytes kReadRequest = UdpFrame(1024, 69, Concat({Hex("0001"), Ascii("file.bin"), Hex("00"), Ascii("octet"),
                                                      Hex("00")}));
const Bytes kDataBlock = UdpFrame(69, 1024, Concat({Hex("0003 0001"), Bytes(512, 0x5A)}));
const Bytes kAcknowledgement = UdpFrame(1024, 69, Hex("0004 0001"));
const Bytes kError = UdpFrame(69, 1024, Concat({Hex("0005 0001"), Ascii("File not found"), Hex("00")}));
const Bytes kOpcodeZero = UdpFrame(1024, 69, Hex("0000 1234"));
// A write request whose mode lacks its zero byte.
const Bytes kUnterminatedMode = UdpFrame(1024, 69, Concat({Hex("0002"), Ascii("f"), Hex("00"), Ascii("netascii")}));

const Node* Tftp(IVELPacketsDecodingInfo* info) { return FindGroup(info, "TFTP - "); }

using TftpDecoder = DecoderTest;

TEST_F(TftpDecoder, ReadRequestStringsCountTheirZeroByte) {
  auto info = SweepAndDecode(kReadRequest);
  const Node* tftp = Tftp(info.get());
  EXPECT_EQ(Narrow(tftp->Name()), "TFTP - Trivial File Transfer Protocol");
  ExpectFields(tftp,
               {{"Code", 42, 2, "1 (0x0001)", "RRQ"}, {"File Name", 44, 9, "file.bin"}, {"Mode", 53, 6, "octet"}});
  EXPECT_EQ(SummaryOf(tftp), "RRQ");
  EXPECT_EQ(tftp->length, 17u);

  auto write = SweepAndDecode(kUnterminatedMode);
  ExpectFields(Tftp(write.get()),
               {{"Code", 42, 2, "2 (0x0002)", "WRQ"}, {"File Name", 44, 2, "f"}, {"Mode", 46, 8, "netascii"}});
}

TEST_F(TftpDecoder, DataAcknowledgementAndError) {
  auto data = SweepAndDecode(kDataBlock);
  ExpectFields(Tftp(data.get()), {{"Code", 42, 2, "3 (0x0003)", "DATA"},
                                  {"Block", 44, 2, "1 (0x0001)"},
                                  {"Data", 46, 512, "", "512 (0x200) Bytes Remaining"}});
  EXPECT_EQ(SummaryOf(Tftp(data.get())), "DATA");
  // Data counts the captured bytes only.
  auto cut = Decode(m_.get(), kDataBlock, 100);
  ExpectItem(ItemAt(cut.get(), {"TFTP - ", "Data"}), 46, 54, "", "54 (0x36) Bytes Remaining");

  auto ack = SweepAndDecode(kAcknowledgement);
  ExpectFields(Tftp(ack.get()), {{"Code", 42, 2, "4 (0x0004)", "ACK"}, {"Block", 44, 2, "1 (0x0001)"}});

  auto error = SweepAndDecode(kError);
  ExpectFields(Tftp(error.get()), {{"Code", 42, 2, "5 (0x0005)", "ERROR"},
                                   {"Error Code", 44, 2, "1 (0x0001)"},
                                   {"Error Message", 46, 15, "File not found"}});
  EXPECT_EQ(SummaryOf(Tftp(error.get())), "ERROR");
}

TEST_F(TftpDecoder, UnknownOpcodeShowsOnlyTheCode) {
  auto info = SweepAndDecode(kOpcodeZero);
  const Node* tftp = Tftp(info.get());
  ExpectFields(tftp, {{"Code", 42, 2, "0 (0x0000)", "Unknown"}});
  EXPECT_EQ(SummaryOf(tftp), "Unknown");
  EXPECT_EQ(tftp->length, 2u);
}

TEST_F(TftpDecoder, PortSixtyNineOnEitherSide) {
  auto fromServer = DecodeFrame(UdpFrame(69, 1024, Hex("0004 0002")));
  EXPECT_EQ(SummaryOf(Tftp(fromServer.get())), "ACK");
  // A transfer between other ports is not recognised.
  auto transfer = DecodeFrame(UdpFrame(1025, 1024, Hex("0004 0002")));
  EXPECT_EQ(FindGroupNth(transfer.get(), "TFTP - ", 0), nullptr);
}

TEST_F(TftpDecoder, RealCapture) {
  std::vector<Bytes> frames = ReadPcapFrames("tcpdump/tftp.pcap");
  ASSERT_EQ(frames.size(), 7u);
  auto request = DecodeFrame(frames[0]);
  ExpectFields(Tftp(request.get()),
               {{"Code", 42, 2, "1 (0x0001)", "RRQ"}, {"File Name", 44, 6, "file1"}, {"Mode", 50, 6, "octet"}});
  SweepCapture(m_.get(), "tcpdump/tftp.pcap");
}

}  // namespace
}  // namespace vel::test
