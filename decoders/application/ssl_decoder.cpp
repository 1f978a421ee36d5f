// SSL/TLS: walks the records of one TCP segment, showing each record header,
// the ChangeCipherSpec and alert bodies, Client and Server Hello up to the
// compression methods, and application data as hex; the summary lists the
// records' content types. Records split across segments are not reassembled,
// nothing is decrypted and nothing is handed on.
#include <ctime>

#include "decoders/application/ssl_cipher_suites.h"
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kRecordLayer = 760, kContentType = 761, kVersion = 762, kLength = 763;
constexpr uint32_t kChangeCipherSpecMessage = 764, kAlertLevel = 765, kAlertDescription = 766;
constexpr uint32_t kEncryptedApplicationData = 767, kHandshakeProtocol = 768, kHandshakeType = 769;
constexpr uint32_t kRandom = 770, kGmtUnixTime = 771, kRandomBytes = 772;
constexpr uint32_t kSessionIdLength = 773, kSessionId = 774, kCipherSuitesLength = 775, kCipherSuites = 776;
constexpr uint32_t kCompressionMethodsLength = 777;

// Record content types.
constexpr uint32_t kChangeCipherSpec = 20, kAlert = 21, kHandshake = 22, kApplicationData = 23;
constexpr NameIdPair kContentTypeNames[] = {
    {kChangeCipherSpec, 780}, {kAlert, 781}, {kHandshake, kHandshakeProtocol}, {kApplicationData, 782}, {24, 783},
    {0, 0}};

constexpr NameIdPair kVersionNames[] = {{0xFEFD, 785}, {0xFEFF, 786}, {0x0100, 787}, {0x0303, 788}, {0x0302, 789},
                                        {0x0301, 790}, {0x0300, 791}, {0x0002, 792}, {0, 0}};

constexpr NameIdPair kAlertLevelNames[] = {{1, 795}, {2, 796}, {0, 0}};
constexpr NameIdPair kAlertDescriptionNames[] = {
    {0, 800},  {10, 801}, {20, 802}, {21, 803}, {22, 804}, {30, 805}, {40, 806}, {42, 807}, {43, 808},
    {44, 809}, {45, 810}, {46, 811}, {47, 812}, {48, 813}, {49, 814}, {50, 815}, {51, 816}, {60, 817},
    {70, 818}, {71, 819}, {80, 820}, {90, 821}, {100, 822}, {0, 0}};

// Handshake message types; only the two hellos have their bodies shown.
constexpr uint32_t kClientHello = 1, kServerHello = 2;
constexpr NameIdPair kHandshakeTypeNames[] = {
    {0, 825},  {kClientHello, 826}, {kServerHello, 827}, {11, 828}, {12, 829}, {13, 830}, {14, 831},
    {15, 832}, {16, 833},           {20, 834},           {21, 835}, {22, 836}, {23, 837}, {67, 838}, {0, 0}};

// Layout.
constexpr uint32_t kRecordHeaderSize = 5, kRecordLengthOffset = 3;
constexpr uint32_t kHandshakeHeaderSize = 4, kHandshakeLengthSize = 3;
constexpr uint32_t kRandomSize = 32, kRandomBytesSize = 28, kCipherSuiteSize = 2;

constexpr uint32_t kSSL = 5, kTCP = 2;
constexpr CLSID kClsid = MakeGuid("{1A6F7E93-4A38-4E8C-9B61-73C396857FA3}");

// Seconds since 1970-01-01 UTC as local date and time; empty when they cannot be converted.
Text LocalTimeText(uint32_t seconds, TextBuffer& out) {
  out.clear();
  std::time_t time = seconds;
  std::tm local{};
  char text[128];
  if (localtime_r(&time, &local)) out.appendAscii(std::string_view(text, std::strftime(text, sizeof text,
                                                                                        "%Y-%m-%d %H:%M:%S", &local)));
  return out.view();
}

}  // namespace

class CSSLDecoder : public CVELBaseModuleCLSIDImplT<CSSLDecoder, kSSL, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kTCP}); }

  // The records are counted by their stated lengths over the bytes captured
  // when the walk starts, but each header is read where the items of the
  // previous record ended: a handshake record whose items stop short of its
  // end (extensions, other messages) has the next header read inside it.
  // The layer's group gets no Length of its own.
  void DecodeLayer() override {
    const uint32_t captured = Remaining();
    for (uint64_t counted = 0; counted < captured;) counted += AddRecord() + kRecordHeaderSize;
  }

 private:
  // One record: its group covers the stated length, even past the capture.
  // Returns the stated body length.
  uint32_t AddRecord() {
    ByteView header = AtCursor();
    const uint32_t length = header.U16(kRecordLengthOffset);
    const uint32_t type = header.U8(0);
    Item* record = AddGroupItem(Group(), 0, Res(kRecordLayer));
    SetExtent(record, CursorOffset(), length + kRecordHeaderSize);
    AppendSummary(Group(), NameOf(kContentTypeNames, type));

    AddByteItem(record, Res(kContentType), NameOf(kContentTypeNames, type));
    AddWordItem(record, Res(kVersion), NameOf(kVersionNames, header.U16(1)));
    AddWordItem(record, Res(kLength));
    switch (type) {
      case kChangeCipherSpec:
        AddByteItem(record, Res(kChangeCipherSpecMessage));
        break;
      case kAlert:
        AddByteItem(record, Res(kAlertLevel), NameOf(kAlertLevelNames, AtCursor().U8(0)));
        AddByteItem(record, Res(kAlertDescription), NameOf(kAlertDescriptionNames, AtCursor().U8(0)));
        break;
      case kHandshake:
        AddHandshake(record);
        break;
      case kApplicationData:
        AddHexItem(record, Res(kEncryptedApplicationData), length);
        break;
    }
    return length;
  }

  // The handshake message header, and the body of a Client or Server Hello.
  // The group covers the message as its header states it, within the capture.
  void AddHandshake(Item* record) {
    ByteView header = AtCursor().Clamp(0, kHandshakeHeaderSize);
    uint32_t stated = header.size() == kHandshakeHeaderSize ? header.U24(1) : 0;
    Item* handshake = AddGroupItem(record, kHandshakeHeaderSize + stated, Res(kHandshakeProtocol));

    const uint32_t type = AtCursor().U8(0);
    AddByteItem(handshake, Res(kHandshakeType), NameOf(kHandshakeTypeNames, type));
    TextBuffer length;
    AddHexItem(handshake, Res(kLength), kHandshakeLengthSize, Format(length, u"%u", AtCursor().U24(0)));
    if (type != kClientHello && type != kServerHello) return;

    AddWordItem(handshake, Res(kVersion), NameOf(kVersionNames, AtCursor().U16(0)));
    AddRandom(handshake);
    const uint32_t sessionIdLength = AtCursor().U8(0);
    AddByteItem(handshake, Res(kSessionIdLength));
    if (sessionIdLength > 0) AddHexItem(handshake, Res(kSessionId), sessionIdLength);
    if (type == kClientHello)
      AddOfferedSuitesAndMethods(handshake);
    else
      AddChosenSuiteAndMethod(handshake);
  }

  void AddRandom(Item* hello) {
    Item* random = AddGroupItem(hello, kRandomSize, Res(kRandom));
    TextBuffer time;
    AddDWordItem(random, Res(kGmtUnixTime), LocalTimeText(AtCursor().U32(0), time));
    AddHexItem(random, Res(kRandomBytes), kRandomBytesSize);
  }

  // The suites are listed only when the list leaves at least one captured
  // byte after it; otherwise the cursor stays at the list's start and the
  // compression methods length is read there.
  void AddOfferedSuitesAndMethods(Item* hello) {
    const uint32_t suitesLength = AtCursor().U16(0);
    AddWordItem(hello, Res(kCipherSuitesLength));
    if (suitesLength != 0 && suitesLength < Remaining()) {
      Item* suites = AddGroupItem(hello, suitesLength, Res(kHandshakeProtocol));
      for (uint32_t i = 0; i < suitesLength / kCipherSuiteSize; ++i) AddCipherSuite(suites);
    }
    const uint32_t methods = AtCursor().U8(0);
    AddByteItem(hello, Res(kCompressionMethodsLength));
    Skip(methods);
  }

  // A Server Hello names the one suite chosen; its one compression method
  // is passed over like the Client Hello's methods.
  void AddChosenSuiteAndMethod(Item* hello) {
    AddCipherSuite(hello);
    Skip(1);
  }

  void AddCipherSuite(Item* parent) {
    AddWordItem(parent, Res(kCipherSuites), CipherSuiteName(AtCursor().U16(0)));
  }
};

VEL_REGISTER_MODULE_WITH_PROGIDS(CSSLDecoder, 28, u"SSL Decoder", u"Secure Sockets Layer",
                                 "SSLDecoder.CSSLDecoder.1.0", nullptr);

}  // namespace vel
