// SMB (the dialects before SMB2), carried by NetBIOS session messages and
// datagrams: the 32-byte little-endian header with its status, flags and
// flags2 broken down, then, for the commands of the handler table, a
// sub-group titled by the command and its direction that holds the command's
// parameter words and data. The title is the layer's summary. A leaf.
#include <cstring>
#include <span>

#include "engine/class_table.h"
#include "vel/module_base.h"

namespace vel {

namespace {

// ---- Texts ------------------------------------------------------------------

// Shared with the other layers.
constexpr uint32_t kEchoData = 291, kType = 103, kReserved = 117, kFlags = 172, kAction = 1265, kYes = 1269;
constexpr uint32_t kNo = 1270, kStatus = 1356, kResponse = 1504, kPassword = 1512, kName = 1519;

// Header.
constexpr uint32_t kProtocolId = 1550, kCommand = 1551, kErrorClass = 1552, kErrorCode = 1553;
constexpr uint32_t kNtFailure = 1554, kNtSuccess = 1555, kProcessIdHigh = 1556, kSignature = 1557;
constexpr uint32_t kTreeId = 1558, kProcessId = 1559, kUserId = 1560, kMultiplexId = 1561;
constexpr uint32_t kRequest = 1562, kFlags2 = 1581, kDfs = 1591, kSecuritySignaturesRequired = 1603;

// Command titles.
constexpr uint32_t kCloseRequest = 1618, kCloseResponse = 1619, kTransactionRequest = 1620;
constexpr uint32_t kTransResponse = 1621, kEchoRequest = 1622, kEchoResponse = 1623, kReadAndXRequest = 1624;
constexpr uint32_t kReadAndXResponse = 1625, kWriteAndXRequest = 1626, kWriteAndXResponse = 1627;
constexpr uint32_t kTrans2Request = 1628, kTrans2Response = 1629, kTreeDisconnectRequest = 1630;
constexpr uint32_t kTreeDisconnectResponse = 1631, kNegotiateRequest = 1632, kNegotiateResponse = 1633;
constexpr uint32_t kSessionSetupRequest = 1634, kSessionSetupResponse = 1635, kLogoffRequest = 1636;
constexpr uint32_t kLogoffResponse = 1637, kTreeConnectRequest = 1638, kTreeConnectResponse = 1639;
constexpr uint32_t kNtTransResponse = 1640;

// Command fields.
constexpr uint32_t kWordCount = 1641, kBytesCount = 1642, kAndXCommand = 1643, kAndXOffset = 1644;
constexpr uint32_t kNoFurtherCommands = 1645, kFid = 1646, kPadding = 1647, kLastWrite = 1648;
constexpr uint32_t kEchoCount = 1649, kEchoSeqNum = 1650;
constexpr uint32_t kOffset = 1651, kMaxCountLow = 1652, kMinCount = 1653, kRemaining = 1654, kHighOffset = 1655;
constexpr uint32_t kDataCompactionMode = 1656, kDataLengthLow = 1657, kDataOffset = 1658;
constexpr uint32_t kDataLengthHigh = 1659, kMultiplyWith64K = 1660, kWriteMode = 1661, kCountLow = 1666;
constexpr uint32_t kCountHigh = 1667;
constexpr uint32_t kDialect = 1668, kBufferFormat = 1669, kSelectedDialectIndex = 1670, kSecurityMode = 1671;
constexpr uint32_t kMaxMpxCount = 1678, kMaxVcs = 1679, kMaxBufferSize = 1680, kMaxRawBuffer = 1681;
constexpr uint32_t kSessionKey = 1682, kSystemTime = 1683, kServerTimeZone = 1684, kMinFromUtc = 1685;
constexpr uint32_t kKeyLength = 1686, kServerGuid = 1687, kCapabilities = 1688;
constexpr uint32_t kVcNumber = 1707, kSecurityBlobLength = 1708, kSecurityBlob = 1709, kNativeOs = 1710;
constexpr uint32_t kNativeLanManager = 1711, kPrimaryDomain = 1712;
constexpr uint32_t kPasswordLength = 1714, kPath = 1715, kService = 1716, kOptionalSupport = 1720;
constexpr uint32_t kMaximalShareAccessRights = 1726, kGuestMaximalShareAccessRights = 1727;
constexpr uint32_t kTotalParameterCount = 1728, kTotalDataCount = 1729, kMaxParameterCount = 1730;
constexpr uint32_t kMaxDataCount = 1731, kMaxSetupCount = 1732, kTimeout = 1736, kMillisecond = 1737;
constexpr uint32_t kParameterCount = 1738, kParameterOffset = 1739, kDataCount = 1740, kSetupCount = 1741;
constexpr uint32_t kTransactionName = 1742, kParameterDisplacement = 1743, kDataDisplacement = 1744;
constexpr uint32_t kSubcommand = 1745, kParameters = 1746, kMaxReferralLevel = 1747, kFileName = 1748;

// ---- Bit fields ---------------------------------------------------------------

// One field of a bit-field group: its mask, label, and the comments for a
// field with any of its bits set and for one with none.
struct BitField {
  uint32_t mask, label, whenSet, whenClear;
};
constexpr BitField YesNo(uint32_t mask, uint32_t label) { return {mask, label, kYes, kNo}; }

constexpr BitField kFlagsBits[] = {
    {0x80, kType, kResponse, kRequest}, {0x40, 1563, 1564, 1565}, {0x20, 1566, 1567, 1568},
    {0x10, 1569, 1570, 1571},           {0x08, 1572, 1573, 1574}, {0x02, 1575, 1576, 1577},
    {0x01, 1578, 1579, 1580},
};
constexpr BitField kFlags2Bits[] = {
    {0x8000, 1582, 1583, 1584}, {0x4000, 1585, 1586, 1587}, {0x2000, 1588, 1589, 1590},
    {0x1000, kDfs, 1592, 1593}, {0x0800, 1594, 1595, 1596}, {0x0400, 1597, 1598, 1599},
    {0x0040, 1600, 1601, 1602}, {0x0010, 1603, 1604, 1605}, {0x0008, 1606, 1607, 1608},
    {0x0004, 1609, 1610, 1611}, {0x0002, 1612, 1613, 1614}, {0x0001, 1615, 1616, 1617},
};
constexpr BitField kSecurityModeBits[] = {
    {0x01, 1672, 1673, 1674},
    {0x02, kPassword, 1675, 1676},
    YesNo(0x04, 1677),
    YesNo(0x08, kSecuritySignaturesRequired),
};
constexpr BitField kCapabilityBits[] = {
    YesNo(0x00000001, 1689), YesNo(0x00000002, 1690), YesNo(0x00000004, 1691), YesNo(0x00000008, 1692),
    YesNo(0x00000010, 1693), YesNo(0x00000020, 1694), YesNo(0x00000040, 1695), YesNo(0x00000080, 1696),
    YesNo(0x00000100, 1697), YesNo(0x00000200, 1698), YesNo(0x00001000, kDfs), YesNo(0x00002000, 1699),
    YesNo(0x00004000, 1700), YesNo(0x00008000, 1701), YesNo(0x00010000, 1702), YesNo(0x00800000, 1703),
    YesNo(0x02000000, 1704), YesNo(0x20000000, 1705), YesNo(0x80000000, 1706),
};
constexpr BitField kActionBits[] = {YesNo(0x0001, 1713)};
constexpr BitField kTreeConnectFlagBits[] = {YesNo(0x0001, 1717), YesNo(0x0004, 1718), YesNo(0x0008, 1719)};
constexpr BitField kOptionalSupportBits[] = {YesNo(0x0001, 1721), YesNo(0x0002, 1722), YesNo(0x000C, 1723),
                                             YesNo(0x0010, 1724), YesNo(0x0020, 1725)};
constexpr BitField kWriteModeBits[] = {YesNo(0x0008, 1662), YesNo(0x0004, 1663), YesNo(0x0002, 1664),
                                       YesNo(0x0001, 1665)};
constexpr BitField kTransactionFlagBits[] = {{0x0001, 1717, 1717, 1733}, {0x0002, 1734, 1734, 1735}};

// ---- Layout -------------------------------------------------------------------

constexpr uint8_t kSignatureBytes[] = {0xFF, 'S', 'M', 'B'};
constexpr uint32_t kFlags2Offset = 10;
constexpr uint32_t kResponseFlag = 0x80;
constexpr uint32_t kNtStatusCodes = 0x4000, kUnicodeStrings = 0x8000;
constexpr uint32_t kNtFailureBit = 0x80000000;
constexpr uint32_t kNoAndXCommand = 0xFF;
constexpr uint32_t kUnicodeCapability = 0x00000004, kExtendedSecurity = 0x80000000;
constexpr uint32_t kNtLmNegotiateWords = 17;
constexpr uint32_t kReadAndXWordsWithHighOffset = 12, kWriteAndXWordsWithHighOffset = 14;
constexpr uint32_t kReadAndXReservedBytes = 8;
constexpr uint32_t kGuidBytes = 16;
constexpr uint32_t kGetDfsReferral = 0x0010;

// Windows file times count 100-nanosecond ticks from 1601-01-01 UTC.
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr int64_t kSecondsPerDay = 86400;

constexpr uint32_t kSMB = 54, kNBDGM = 45, kNBSS = 46;
constexpr CLSID kClsid = MakeGuid("{6F966C8D-B2D9-4597-8F7E-2DA33939C035}");

// The bit picture of value under mask, for a field of width bytes.
const char16_t* Picture(uint32_t value, uint32_t mask, uint32_t width) {
  switch (width) {
    case 1: return BitsText8(value, mask & 0xFF);
    case 2: return BitsText16(value, mask & 0xFFFF);
    default: return BitsText32(value, mask);
  }
}

// The date of a day counted from 1970-01-01 in the proleptic Gregorian calendar.
struct CivilDate {
  int64_t year;
  uint32_t month, day;
};
CivilDate DateOfDay(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const auto day = static_cast<uint32_t>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  const auto month = static_cast<uint32_t>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// "%Y-%m-%d %H:%M:%S" of a file time in UTC, a point, and the ticks left over from the whole second.
Text FileTimeText(uint64_t ticks, TextBuffer& out) {
  const auto seconds = static_cast<int64_t>(ticks / kTicksPerSecond);
  const int64_t secondOfDay = seconds % kSecondsPerDay;
  const CivilDate date = DateOfDay(seconds / kSecondsPerDay - kDaysFrom1601To1970);
  return Format(out, u"%d-%02d-%02d %02d:%02d:%02d.%u", date.year, date.month, date.day, secondOfDay / 3600,
                secondOfDay / 60 % 60, secondOfDay % 60, static_cast<uint32_t>(ticks % kTicksPerSecond));
}

}  // namespace

class CSMBDecoder : public CVELBaseModuleCLSIDImplT<CSMBDecoder, kSMB, kClsid> {
 public:
  // Only data that begins with the SMB signature is taken; anything else
  // (an SMB2 header, a continuation segment) is left to the next module.
  HRESULT Decode(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded,
                 IVELPacketsDecodingInfo* piDecodingInfo) override {
    if (!BeginsWithSignature(reinterpret_cast<const ParsedPacket*>(pPacket), pDataDecoded)) return S_FALSE;
    return CVELBaseModule::Decode(nProtocol, pPacket, pDataDecoded, piDecodingInfo);
  }

 protected:
  bool CanAccept(IVELDcoder* input) override { return InputTypeIn(input, {kNBDGM, kNBSS}); }

  void DecodeLayer() override {
    RecordLayer();
    ByteView header = Layer();
    // Flags2 decides how the status is laid out; when it was not captured
    // the status is shown in its DOS form as far as it was.
    const uint32_t flags2 = header.Has(kFlags2Offset, 2) ? header.U16LE(kFlags2Offset) : 0;
    unicode_ = flags2 & kUnicodeStrings;

    TextBuffer protocol;
    AppendPacketText(protocol, header.Bytes(1, 3), 3);
    AddTextItem(Group(), 4, Res(kProtocolId), protocol);
    const uint32_t command = AddByteField(Group(), kCommand);
    AddStatus(flags2 & kNtStatusCodes);
    const uint32_t flags = AddBits(Group(), kFlags, 1, kFlagsBits);
    AddBits(Group(), kFlags2, 2, kFlags2Bits);
    AddWordField(Group(), kProcessIdHigh);
    AddSignature();
    for (uint32_t label : {kReserved, kTreeId, kProcessId, kUserId, kMultiplexId}) AddWordField(Group(), label);
    DecodeCommand(command, flags & kResponseFlag);
    SetGroupLength();
  }

 private:
  using Handler = void (CSMBDecoder::*)(Item* body);
  // A command's titles and handlers by direction; a null handler leaves the header alone.
  struct CommandLayout {
    uint32_t code;
    uint32_t requestTitle, responseTitle;
    Handler request, response;
  };
  static const CommandLayout kCommands[];

  static bool BeginsWithSignature(const ParsedPacket* packet, const uint8_t* data) {
    if (!packet || !packet->pFrameData || !packet->pCapturedPacket) return false;
    if (data < packet->pFrameData || data > packet->FrameEnd()) return false;
    ByteView view(packet->pFrameData, data, packet->FrameEnd());
    return view.Has(0, sizeof kSignatureBytes) &&
           std::memcmp(view.data(), kSignatureBytes, sizeof kSignatureBytes) == 0;
  }

  // The packet's layer list names SMB as its next layer.
  void RecordLayer() {
    ParsedPacket* packet = Packet();
    if (packet->nLayerCount < kMaxLayers) packet->nLayers[packet->nLayerCount++] = kSMB;
  }

  // ---- Header ----

  // NT status as one number judged by its severity bit, or the DOS error
  // class and code under the status.
  void AddStatus(bool ntStatus) {
    if (ntStatus) {
      const uint32_t status = AtCursor().U32LE(0);
      AddDWordItem(Group(), Res(kStatus), Res(status & kNtFailureBit ? kNtFailure : kNtSuccess), 0, true, false);
      return;
    }
    Item* status = AddDWordItem(Group(), Res(kStatus), {}, 0, false, false);
    MakeGroup(status);
    AddByteField(status, kErrorClass);
    AddByteField(status, kReserved);
    AddWordField(status, kErrorCode);
  }

  // Eight bytes read as one little-endian number, in hexadecimal.
  void AddSignature() {
    ByteView bytes = AtCursor();
    const uint64_t signature = uint64_t{bytes.U32LE(4)} << 32 | bytes.U32LE(0);
    TextBuffer value;
    AddTextItem(Group(), 8, Res(kSignature), Format(value, u"%016x", signature));
  }

  // ---- Commands ----

  // The command's sub-group, titled and summarised by its direction, holds
  // what the handler adds; it covers the bytes the handler consumed.
  void DecodeCommand(uint32_t command, bool response) {
    const CommandLayout* layout = FindLayout(command);
    const Handler handler = layout ? (response ? layout->response : layout->request) : nullptr;
    if (!handler) return SetSummary(Group(), {});
    const Text title = Res(response ? layout->responseTitle : layout->requestTitle);
    SetSummary(Group(), title);
    const uint32_t start = CursorOffset();
    Item* body = AddGroupItem(Group(), 1, title);
    try {
      (this->*handler)(body);
    } catch (...) {
      SetExtent(body, start, CursorOffset() - start);
      throw;
    }
    SetExtent(body, start, CursorOffset() - start);
  }

  static const CommandLayout* FindLayout(uint32_t command);

  // Word Count, the parameter words it counts, and Bytes Count, whose value is returned.
  uint32_t AddCounts(Item* body) {
    const uint32_t words = AddByteField(body, kWordCount);
    Skip(2 * words);
    return AddWordField(body, kBytesCount);
  }
  void CountsOnly(Item* body) { AddCounts(body); }

  void CloseRequest(Item* body) {
    AddByteField(body, kWordCount);
    AddWordField(body, kFid);
    AddDWordField(body, kLastWrite);
    AddWordField(body, kBytesCount);
  }

  // The counts and offsets that the transaction requests share.
  struct TransactionCounts {
    uint32_t parameterCount, parameterOffset, setupCount;
  };
  TransactionCounts AddTransactionCounts(Item* body) {
    TransactionCounts counts;
    for (uint32_t label : {kTotalParameterCount, kTotalDataCount, kMaxParameterCount, kMaxDataCount})
      AddWordField(body, label);
    AddByteField(body, kMaxSetupCount);
    AddByteField(body, kReserved);
    AddBits(body, kFlags, 2, kTransactionFlagBits);
    AddDWordField(body, kTimeout, Res(kMillisecond));
    AddWordField(body, kReserved);
    counts.parameterCount = AddWordField(body, kParameterCount);
    counts.parameterOffset = AddWordField(body, kParameterOffset);
    AddWordField(body, kDataCount);
    AddWordField(body, kDataOffset);
    counts.setupCount = AddByteField(body, kSetupCount);
    AddByteField(body, kReserved);
    return counts;
  }

  void TransactionRequest(Item* body) {
    AddByteField(body, kWordCount);
    const TransactionCounts counts = AddTransactionCounts(body);
    Skip(2 * counts.setupCount);
    AddWordField(body, kBytesCount);
    AddSmbString(body, kTransactionName);
  }

  void TransactionResponse(Item* body) {
    AddByteField(body, kWordCount);
    AddWordField(body, kTotalParameterCount);
    AddWordField(body, kTotalDataCount);
    AddWordField(body, kReserved);
    const uint32_t parameterCount = AddWordField(body, kParameterCount);
    const uint32_t parameterOffset = AddWordField(body, kParameterOffset);
    AddWordField(body, kParameterDisplacement);
    const uint32_t dataCount = AddWordField(body, kDataCount);
    const uint32_t dataOffset = AddWordField(body, kDataOffset);
    AddWordField(body, kDataDisplacement);
    const uint32_t setupCount = AddByteField(body, kSetupCount);
    AddByteField(body, kReserved);
    Skip(2 * setupCount);
    AddWordField(body, kBytesCount);
    AddPaddingTo(body, parameterCount ? parameterOffset : dataCount ? dataOffset : 0);
  }

  void EchoRequest(Item* body) {
    AddByteField(body, kWordCount);
    AddWordField(body, kEchoCount);
    const uint32_t bytes = AddWordField(body, kBytesCount);
    if (bytes) AddHexItem(body, Res(kEchoData), bytes);
  }

  void EchoResponse(Item* body) {
    AddByteField(body, kWordCount);
    AddWordField(body, kEchoSeqNum);
    const uint32_t bytes = AddWordField(body, kBytesCount);
    if (bytes) AddHexItem(body, Res(kPadding), bytes);
  }

  void ReadAndXRequest(Item* body) {
    const uint32_t words = AddByteField(body, kWordCount);
    AddAndX(body);
    AddWordField(body, kFid);
    AddDWordField(body, kOffset);
    AddWordField(body, kMaxCountLow);
    AddWordField(body, kMinCount);
    AddDWordField(body, kTimeout);
    AddWordField(body, kRemaining);
    if (words >= kReadAndXWordsWithHighOffset) AddDWordField(body, kHighOffset);
    AddWordField(body, kBytesCount);
  }

  void ReadAndXResponse(Item* body) {
    AddByteField(body, kWordCount);
    AddAndX(body);
    AddWordField(body, kRemaining);
    AddWordField(body, kDataCompactionMode);
    AddWordField(body, kReserved);
    AddWordField(body, kDataLengthLow);
    const uint32_t dataOffset = AddWordField(body, kDataOffset);
    AddWordField(body, kDataLengthHigh, Res(kMultiplyWith64K));
    AddHexItem(body, Res(kReserved), kReadAndXReservedBytes);
    AddWordField(body, kBytesCount);
    AddPaddingTo(body, dataOffset);
  }

  void WriteAndXRequest(Item* body) {
    const uint32_t words = AddByteField(body, kWordCount);
    AddAndX(body);
    AddWordField(body, kFid);
    AddDWordField(body, kOffset);
    AddDWordField(body, kReserved);
    AddBits(body, kWriteMode, 2, kWriteModeBits);
    AddWordField(body, kRemaining);
    AddWordField(body, kDataLengthHigh);
    AddWordField(body, kDataLengthLow);
    const uint32_t dataOffset = AddWordField(body, kDataOffset);
    if (words >= kWriteAndXWordsWithHighOffset) AddDWordField(body, kHighOffset);
    AddWordField(body, kBytesCount);
    AddPaddingTo(body, dataOffset);
  }

  void WriteAndXResponse(Item* body) {
    AddByteField(body, kWordCount);
    AddAndX(body);
    for (uint32_t label : {kCountLow, kRemaining, kCountHigh, kReserved}) AddWordField(body, label);
    AddWordField(body, kBytesCount);
  }

  // The subcommand is the first setup word; a DFS referral request's
  // parameters are broken down, any other subcommand's shown as bytes.
  void Trans2Request(Item* body) {
    AddByteField(body, kWordCount);
    const TransactionCounts counts = AddTransactionCounts(body);
    uint32_t subcommand = 0;
    if (counts.setupCount) {
      subcommand = AddWordField(body, kSubcommand);
      Skip(2 * (counts.setupCount - 1));
    }
    AddWordField(body, kBytesCount);
    AddPaddingTo(body, counts.parameterOffset);
    if (counts.parameterCount == 0) return;
    if (subcommand != kGetDfsReferral) {
      AddHexItem(body, Res(kParameters), counts.parameterCount);
      return;
    }
    Item* parameters = AddGroupItem(body, counts.parameterCount, Res(kParameters));
    AddWordField(parameters, kMaxReferralLevel);
    AddSmbString(parameters, kFileName);
  }

  void LogoffAndX(Item* body) {
    AddByteField(body, kWordCount);
    AddAndX(body);
    AddWordField(body, kBytesCount);
  }

  void NegotiateRequest(Item* body) {
    const uint32_t bytes = AddCounts(body);
    const uint32_t areaEnd = CursorOffset() + bytes;
    for (uint32_t ordinal = 1; CursorOffset() < areaEnd; ++ordinal) AddDialect(body, ordinal);
  }

  // One dialect: its buffer format byte and its zero-terminated name.
  void AddDialect(Item* body, uint32_t ordinal) {
    TextBuffer title;
    const uint32_t start = CursorOffset();
    Item* dialect = AddGroupItem(body, 1, FormatResText(title, kDialect, ordinal));
    AddByteField(dialect, kBufferFormat);
    AddAnsiText(dialect, kName);
    SetExtent(dialect, start, CursorOffset() - start);
  }

  // The NT LM 0.12 response in full; a response of another word count shows
  // the selected dialect, and its further words stay inside the sub-group.
  void NegotiateResponse(Item* body) {
    const uint32_t words = AddByteField(body, kWordCount);
    if (words != kNtLmNegotiateWords) {
      if (words) {
        AddWordField(body, kSelectedDialectIndex);
        Skip(2 * (words - 1));
      }
      AddWordField(body, kBytesCount);
      return;
    }
    AddWordField(body, kSelectedDialectIndex);
    AddBits(body, kSecurityMode, 1, kSecurityModeBits);
    AddWordField(body, kMaxMpxCount);
    AddWordField(body, kMaxVcs);
    for (uint32_t label : {kMaxBufferSize, kMaxRawBuffer, kSessionKey}) AddDWordField(body, label);
    const uint32_t capabilities = AddBits(body, kCapabilities, 4, kCapabilityBits);
    AddSystemTime(body);
    AddTimeZone(body);
    AddByteField(body, kKeyLength);
    const uint32_t bytes = AddWordField(body, kBytesCount);
    if (!(capabilities & kExtendedSecurity)) return;
    AddServerGuid(body);
    if (bytes > kGuidBytes) AddHexItem(body, Res(kSecurityBlob), bytes - kGuidBytes);
  }

  void AddSystemTime(Item* body) {
    ByteView bytes = AtCursor();
    const uint64_t ticks = uint64_t{bytes.U32LE(4)} << 32 | bytes.U32LE(0);
    TextBuffer value;
    AddTextItem(body, 8, Res(kSystemTime), FileTimeText(ticks, value));
  }

  void AddTimeZone(Item* body) {
    const auto minutes = static_cast<int16_t>(AtCursor().U16LE(0));
    TextBuffer value;
    AddTextItem(body, 2, Res(kServerTimeZone), Format(value, u"%d", minutes), Res(kMinFromUtc));
  }

  // The GUID's fields in their order, each little-endian, then its last eight bytes as they stand.
  void AddServerGuid(Item* body) {
    const uint8_t* g = AtCursor().Bytes(0, kGuidBytes);
    TextBuffer value;
    Format(value, u"%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", g[3], g[2], g[1], g[0],
           g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
    AddTextItem(body, kGuidBytes, Res(kServerGuid), value);
  }

  // The texts after the byte count belong to the SMB group itself. They are
  // UTF-16; the Unicode capability adds an alignment byte when it is zero,
  // and the primary domain, which the cursor does not pass.
  void SessionSetupRequest(Item* body) {
    AddByteField(body, kWordCount);
    AddAndX(body, false);
    for (uint32_t label : {kMaxBufferSize, kMaxMpxCount, kVcNumber}) AddWordField(body, label);
    AddDWordField(body, kSessionKey);
    const uint32_t blobLength = AddWordField(body, kSecurityBlobLength);
    AddDWordField(body, kReserved);
    const uint32_t capabilities = AddBits(body, kCapabilities, 4, kCapabilityBits);
    AddWordField(body, kBytesCount);
    if (blobLength == 0)
      Skip(1);
    else if (capabilities & kExtendedSecurity)
      AddHexItem(body, Res(kSecurityBlob), blobLength);
    else
      Skip(blobLength);
    const bool unicode = capabilities & kUnicodeCapability;
    if (unicode && AtCursor().U8(0) == 0) Skip(1);
    AddUnicodeText(Group(), kNativeOs);
    AddUnicodeText(Group(), kNativeLanManager);
    if (unicode) AddUnicodeText(Group(), kPrimaryDomain, false);
  }

  // The texts after the byte count belong to the SMB group itself and are 8-bit.
  void SessionSetupResponse(Item* body) {
    AddByteField(body, kWordCount);
    AddAndX(body);
    AddBits(body, kAction, 2, kActionBits);
    const uint32_t blobLength = AddWordField(body, kSecurityBlobLength);
    AddWordField(body, kBytesCount);
    if (blobLength) AddHexItem(body, Res(kSecurityBlob), blobLength);
    AddAnsiText(Group(), kNativeOs);
    AddAnsiText(Group(), kNativeLanManager);
  }

  void TreeConnectRequest(Item* body) {
    AddByteField(body, kWordCount);
    AddAndX(body);
    AddBits(body, kFlags, 2, kTreeConnectFlagBits);
    const uint32_t passwordLength = AddWordField(body, kPasswordLength);
    AddWordField(body, kBytesCount);
    AddTextItem(body, passwordLength, Res(kPassword), {});
    AddUnicodeText(body, kPath);
    AddAnsiText(body, kService);
  }

  void TreeConnectResponse(Item* body) {
    AddByteField(body, kWordCount);
    AddAndX(body);
    AddBits(body, kOptionalSupport, 2, kOptionalSupportBits);
    AddDWordField(body, kMaximalShareAccessRights);
    AddDWordField(body, kGuestMaximalShareAccessRights);
    AddWordField(body, kBytesCount);
    AddAnsiText(body, kService);
  }

  // ---- Fields ----

  // Numbers at the cursor, little-endian; each returns the value it showed.
  uint32_t AddByteField(Item* parent, uint32_t label, Text comment = {}) {
    const uint32_t value = AtCursor().U8(0);
    AddByteItem(parent, Res(label), comment);
    return value;
  }
  uint32_t AddWordField(Item* parent, uint32_t label, Text comment = {}) {
    const uint32_t value = AtCursor().U16LE(0);
    AddWordItem(parent, Res(label), comment, 0, true, false);
    return value;
  }
  uint32_t AddDWordField(Item* parent, uint32_t label, Text comment = {}) {
    const uint32_t value = AtCursor().U32LE(0);
    AddDWordItem(parent, Res(label), comment, 0, true, false);
    return value;
  }

  // A bit-field group of width bytes: the whole value as a picture, then one
  // child per field with its own picture and the comment for its state. The
  // cursor passes the value with the last child. Returns the value.
  uint32_t AddBits(Item* parent, uint32_t label, uint32_t width, std::span<const BitField> fields) {
    ByteView at = AtCursor();
    const uint32_t value = width == 1 ? at.U8(0) : width == 2 ? at.U16LE(0) : at.U32LE(0);
    Item* group = AddTextItem(parent, width, Res(label), Picture(value, 0xFFFFFFFF, width), {}, 0, false);
    MakeGroup(group);
    for (size_t i = 0; i < fields.size(); ++i) {
      const BitField& field = fields[i];
      AddTextItem(group, width, Res(field.label), Picture(value, field.mask, width),
                  Res(value & field.mask ? field.whenSet : field.whenClear), 0, i + 1 == fields.size());
    }
    return value;
  }

  // The next command of an AndX chain, named when there is none, and its offset.
  void AddAndX(Item* body, bool nameLastCommand = true) {
    const bool last = AtCursor().U8(0) == kNoAndXCommand;
    AddByteField(body, kAndXCommand, last && nameLastCommand ? Res(kNoFurtherCommands) : Text{});
    AddByteField(body, kReserved);
    AddWordField(body, kAndXOffset);
  }

  // The bytes between the cursor and an area that starts offset bytes into
  // the SMB message; nothing when the area starts at or before the cursor.
  void AddPaddingTo(Item* body, uint32_t offset) {
    const uint32_t target = LayerOffset() + offset;
    if (target > CursorOffset()) AddHexItem(body, Res(kPadding), target - CursorOffset());
  }

  // ---- Strings ----

  // A zero-terminated UTF-16 string at the cursor, its terminator included.
  void AddUnicodeText(Item* parent, uint32_t label, bool advance = true) {
    TextBuffer text;
    const uint32_t size = ReadUnicode(text);
    AddTextItem(parent, size, Res(label), text, {}, 0, advance);
  }

  // A zero-terminated 8-bit string at the cursor in the thread's code page, its terminator included.
  void AddAnsiText(Item* parent, uint32_t label) {
    TextBuffer text;
    const uint32_t size = ReadAnsi(text);
    AddTextItem(parent, size, Res(label), text);
  }

  // A string as flags2 says: UTF-16 from an even offset into the message, or 8-bit.
  void AddSmbString(Item* parent, uint32_t label) {
    if (!unicode_) return AddAnsiText(parent, label);
    if ((CursorOffset() - LayerOffset()) % 2) Skip(1);
    AddUnicodeText(parent, label);
  }

  // Reads the string into text and returns the bytes it takes; a string
  // whose terminator was not captured ends the layer.
  uint32_t ReadUnicode(TextBuffer& text) const {
    ByteView at = AtCursor();
    for (uint32_t i = 0; at.Has(i, 2); i += 2) {
      const auto unit = static_cast<char16_t>(at.U16LE(i));
      if (unit == 0) return i + 2;
      text.append(unit);
    }
    throw CapturedDataEnd{at.offset(), (at.size() & ~1u) + 2, at.size()};
  }

  uint32_t ReadAnsi(TextBuffer& text) const {
    ByteView at = AtCursor();
    const auto* terminator = static_cast<const uint8_t*>(std::memchr(at.data(), 0, at.size()));
    if (!terminator) throw CapturedDataEnd{at.offset(), at.size() + 1, at.size()};
    const auto length = static_cast<uint32_t>(terminator - at.data());
    AppendPacketText(text, at.data(), length);
    return length + 1;
  }

  bool unicode_ = false;  // flags2 of the message being decoded
};

// The commands with handlers, by code.
const CSMBDecoder::CommandLayout CSMBDecoder::kCommands[] = {
    {0x04, kCloseRequest, kCloseResponse, &CSMBDecoder::CloseRequest, &CSMBDecoder::CountsOnly},
    {0x25, kTransactionRequest, kTransResponse, &CSMBDecoder::TransactionRequest, &CSMBDecoder::TransactionResponse},
    {0x2B, kEchoRequest, kEchoResponse, &CSMBDecoder::EchoRequest, &CSMBDecoder::EchoResponse},
    {0x2E, kReadAndXRequest, kReadAndXResponse, &CSMBDecoder::ReadAndXRequest, &CSMBDecoder::ReadAndXResponse},
    {0x2F, kWriteAndXRequest, kWriteAndXResponse, &CSMBDecoder::WriteAndXRequest, &CSMBDecoder::WriteAndXResponse},
    {0x32, kTrans2Request, kTrans2Response, &CSMBDecoder::Trans2Request, &CSMBDecoder::CountsOnly},
    {0x71, kTreeDisconnectRequest, kTreeDisconnectResponse, &CSMBDecoder::CountsOnly, &CSMBDecoder::CountsOnly},
    {0x72, kNegotiateRequest, kNegotiateResponse, &CSMBDecoder::NegotiateRequest, &CSMBDecoder::NegotiateResponse},
    {0x73, kSessionSetupRequest, kSessionSetupResponse, &CSMBDecoder::SessionSetupRequest,
     &CSMBDecoder::SessionSetupResponse},
    {0x74, kLogoffRequest, kLogoffResponse, &CSMBDecoder::LogoffAndX, &CSMBDecoder::LogoffAndX},
    {0x75, kTreeConnectRequest, kTreeConnectResponse, &CSMBDecoder::TreeConnectRequest,
     &CSMBDecoder::TreeConnectResponse},
    {0xA0, 0, kNtTransResponse, nullptr, &CSMBDecoder::CountsOnly},
};

const CSMBDecoder::CommandLayout* CSMBDecoder::FindLayout(uint32_t command) {
  for (const CommandLayout& layout : kCommands)
    if (layout.code == command) return &layout;
  return nullptr;
}

VEL_REGISTER_MODULE(CSMBDecoder, 15, u"SMB Decoder", u"SMB Decoder Module");

}  // namespace vel
