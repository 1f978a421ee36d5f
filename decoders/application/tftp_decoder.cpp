// TFTP: the opcode and the fields of read and write requests, data blocks,
// acknowledgements and errors. The summary is the opcode's name. Nothing is
// handed on.
#include "decoders/application/value_text.h"
#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// Labels.
constexpr uint32_t kCode = 224;
constexpr uint32_t kFileName = 600, kMode = 601, kBlock = 602, kData = 603, kErrorCode = 604, kErrorMessage = 605;

// Opcodes and their names.
constexpr uint32_t kReadRequest = 1, kWriteRequest = 2, kDataBlock = 3, kAcknowledgement = 4, kError = 5;
constexpr NameIdPair kOpcodeNames[] = {{1, 606}, {2, 607}, {3, 608}, {4, 609}, {5, 610}, {0, 0}};
constexpr uint32_t kUnknownOpcode = 611;

constexpr uint32_t kTFTP = 24, kUDP = 20;
constexpr CLSID kClsid = MakeGuid("{044E2AB8-1289-49AA-BC86-DC7F214DBFB9}");

}  // namespace

class CTFTPDecoder : public CVELBaseModuleCLSIDImplT<CTFTPDecoder, kTFTP, kClsid> {
 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kUDP}); }

  void DecodeLayer() override {
    uint32_t opcode = AtCursor().U16(0);
    Text name = NameOf(kOpcodeNames, opcode);
    if (name.empty()) name = Res(kUnknownOpcode);
    AddWordItem(Group(), Res(kCode), name);
    SetSummary(Group(), name);
    switch (opcode) {
      case kReadRequest:
      case kWriteRequest:
        AddString(kFileName);
        AddString(kMode);
        break;
      case kDataBlock:
        AddWordItem(Group(), Res(kBlock));
        AddRemainingItem(Group(), Res(kData));
        break;
      case kAcknowledgement: AddWordItem(Group(), Res(kBlock)); break;
      case kError:
        AddWordItem(Group(), Res(kErrorCode));
        AddString(kErrorMessage);
        break;
      default: break;
    }
    SetGroupLength();
  }

 private:
  // A string and its zero byte; without one it runs to the end of the captured data.
  void AddString(uint32_t label) {
    ByteView rest = AtCursor();
    rest.Require(0, 1);
    uint32_t length = TextLength(rest.data(), rest.size());
    TextBuffer value;
    AppendPacketText(value, rest.data(), length);
    AddTextItem(Group(), length < rest.size() ? length + 1 : length, Res(label), value);
  }
};

VEL_REGISTER_MODULE_WITH_PROGIDS(CTFTPDecoder, 12, u"TFTP Decoder", u"TFTP Decoder Module",
                                 "TFTPDecoder.CTFTPDecoder.1.0", nullptr);

}  // namespace vel
