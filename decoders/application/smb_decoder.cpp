// SMB (the dialects before SMB2), carried by NetBIOS session messages and
// datagrams: the 32-byte little-endian header with its command named, its
// status, flags and flags2 broken down, then, for the commands of the handler
// table, a sub-group titled by the command and its direction that holds the
// command's parameter words and data. The title is the layer's summary. A leaf.
#include <cstring>

#include "decoders/application/smb_decoder.h"
#include "engine/class_table.h"

namespace vel {

using namespace smb;

namespace {

// ---- Texts ------------------------------------------------------------------

// Shared with the other layers.
constexpr uint32_t kType = 103, kEchoData = 291, kAction = 1265, kStatus = 1356, kResponse = 1504, kPassword = 1512;
constexpr uint32_t kName = 1519;

// Header.
constexpr uint32_t kProtocolId = 1550, kErrorClass = 1552, kErrorCode = 1553;
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
constexpr uint32_t kNtTransResponse = 1640, kNtTransRequest = 149, kNtCreateAndXRequest = 150;
constexpr uint32_t kNtCreateAndXResponse = 151;

// Command fields.
constexpr uint32_t kLastWrite = 1648, kEchoCount = 1649, kEchoSeqNum = 1650;
constexpr uint32_t kOffset = 1651, kMaxCountLow = 1652, kMinCount = 1653, kRemaining = 1654, kHighOffset = 1655;
constexpr uint32_t kDataCompactionMode = 1656, kDataLengthLow = 1657, kDataOffset = 1658;
constexpr uint32_t kDataLengthHigh = 1659, kMultiplyWith64K = 1660, kWriteMode = 1661, kCountLow = 1666;
constexpr uint32_t kCountHigh = 1667;
constexpr uint32_t kDialect = 1668, kBufferFormat = 1669, kSelectedDialectIndex = 1670, kSecurityMode = 1671;
constexpr uint32_t kMaxMpxCount = 1678, kMaxVcs = 1679, kMaxBufferSize = 1680, kMaxRawBuffer = 1681;
constexpr uint32_t kSessionKey = 1682, kSystemTime = 1683, kServerTimeZone = 1684, kMinFromUtc = 1685;
constexpr uint32_t kKeyLength = 1686, kServerGuid = 1687, kCapabilities = 1688;
constexpr uint32_t kVcNumber = 1707, kSecurityBlobLength = 1708, kNativeOs = 1710;
constexpr uint32_t kNativeLanManager = 1711, kPrimaryDomain = 1712;
constexpr uint32_t kPasswordLength = 1714, kPath = 1715, kService = 1716, kOptionalSupport = 1720;
constexpr uint32_t kMaximalShareAccessRights = 1726, kGuestMaximalShareAccessRights = 1727;
constexpr uint32_t kTotalParameterCount = 1728, kTotalDataCount = 1729, kMaxParameterCount = 1730;
constexpr uint32_t kMaxDataCount = 1731, kMaxSetupCount = 1732, kTimeout = 1736, kMillisecond = 1737;
constexpr uint32_t kParameterCount = 1738, kParameterOffset = 1739, kDataCount = 1740, kSetupCount = 1741;
constexpr uint32_t kTransactionName = 1742, kParameterDisplacement = 1743, kDataDisplacement = 1744;
constexpr uint32_t kSubcommand = 1745, kParameters = 1746, kMaxReferralLevel = 1747;

// ---- Command names --------------------------------------------------------------

constexpr NameIdPair kCommandNames[] = {
    {0x00, 1749},  // Create Diretory
    {0x01, 700},   // Delete Diretory
    {0x02, 701},   // Open
    {0x03, 702},   // Create
    {0x04, 703},   // Close
    {0x05, 704},   // Flush
    {0x06, 705},   // Delete
    {0x07, 706},   // Rename
    {0x08, 707},   // Query Information
    {0x09, 708},   // Set Information
    {0x0A, 709},   // Read
    {0x0B, 710},   // Write
    {0x0C, 711},   // Lock Byte Range
    {0x0D, 712},   // Unlock Byte Range
    {0x0E, 713},   // Create Temporary
    {0x0F, 714},   // Create New
    {0x10, 715},   // Check Directory
    {0x11, 716},   // Process Exit
    {0x12, 717},   // Seek
    {0x13, 1578},  // Lock and Read
    {0x14, 718},   // Write and Unlock
    {0x1A, 719},   // Read RAW
    {0x1B, 720},   // Read MPX
    {0x1C, 721},   // Read MPX Secondary
    {0x1D, 722},   // Write RAW
    {0x1E, 723},   // Write MPX
    {0x1F, 724},   // Write MPX Secondary
    {0x20, 725},   // Write Complete
    {0x21, 726},   // Query Server
    {0x22, 727},   // Set Information2
    {0x23, 728},   // Query Information2
    {0x24, 729},   // Locking ANDX
    {0x25, 730},   // Transaction
    {0x26, 731},   // Transaction Secondary
    {0x27, 732},   // IOCTL
    {0x28, 733},   // IOCTL Secondary
    {0x29, 734},   // Copy
    {0x2A, 735},   // Move
    {0x2B, 736},   // Echo
    {0x2C, 737},   // Write and Close
    {0x2D, 738},   // Open ANDX
    {0x2E, 739},   // Read ANDX
    {0x2F, 740},   // Write ANDX
    {0x30, 741},   // New File Size
    {0x31, 742},   // Close and Tree Disc
    {0x32, 743},   // Transaction2
    {0x33, 744},   // Transaction2 Secondary
    {0x34, 745},   // Find Close2
    {0x35, 746},   // Find Notify Close
    {0x70, 747},   // Tree Connect
    {0x71, 748},   // Tree Disconnect
    {0x72, 749},   // Negotiate
    {0x73, 750},   // Session setup ANDX
    {0x74, 751},   // Logoff ANDX
    {0x75, 752},   // Tree Connect ANDX
    {0x80, 753},   // Query Information Disk
    {0x81, 754},   // Search
    {0x82, 755},   // Find
    {0x83, 756},   // Find Unique
    {0x84, 757},   // Find Close
    {0xA0, 758},   // NT Transact
    {0xA1, 759},   // NT Transact Secondary
    {0xA2, 139},   // NT Create ANDX
    {0xA4, 140},   // NT Cancel
    {0xA5, 141},   // NT Rename
    {0xC0, 142},   // Open Print File
    {0xC1, 143},   // Write Print File
    {0xC2, 144},   // Close Print File
    {0xC3, 145},   // Get Print Queue
    {0xD8, 146},   // Read Bulk
    {0xD9, 147},   // Write Bulk
    {0xDA, 148},   // Write Bulk Data
    {0, 0},
};

// ---- Bit fields ---------------------------------------------------------------

constexpr SmbBitField kFlagsBits[] = {
    {0x80, kType, kResponse, kRequest}, {0x40, 1563, 1564, 1565}, {0x20, 1566, 1567, 1568},
    {0x10, 1569, 1570, 1571},           {0x08, 1572, 1573, 1574}, {0x02, 1575, 1576, 1577},
    {0x01, 1578, 1579, 1580},
};
constexpr SmbBitField kFlags2Bits[] = {
    {0x8000, 1582, 1583, 1584}, {0x4000, 1585, 1586, 1587}, {0x2000, 1588, 1589, 1590},
    {0x1000, kDfs, 1592, 1593}, {0x0800, 1594, 1595, 1596}, {0x0400, 1597, 1598, 1599},
    {0x0040, 1600, 1601, 1602}, {0x0010, 1603, 1604, 1605}, {0x0008, 1606, 1607, 1608},
    {0x0004, 1609, 1610, 1611}, {0x0002, 1612, 1613, 1614}, {0x0001, 1615, 1616, 1617},
};
constexpr SmbBitField kSecurityModeBits[] = {
    {0x01, 1672, 1673, 1674},
    {0x02, kPassword, 1675, 1676},
    YesNo(0x04, 1677),
    YesNo(0x08, kSecuritySignaturesRequired),
};
constexpr SmbBitField kCapabilityBits[] = {
    YesNo(0x00000001, 1689), YesNo(0x00000002, 1690), YesNo(0x00000004, 1691), YesNo(0x00000008, 1692),
    YesNo(0x00000010, 1693), YesNo(0x00000020, 1694), YesNo(0x00000040, 1695), YesNo(0x00000080, 1696),
    YesNo(0x00000100, 1697), YesNo(0x00000200, 1698), YesNo(0x00001000, kDfs), YesNo(0x00002000, 1699),
    YesNo(0x00004000, 1700), YesNo(0x00008000, 1701), YesNo(0x00010000, 1702), YesNo(0x00800000, 1703),
    YesNo(0x02000000, 1704), YesNo(0x20000000, 1705), YesNo(0x80000000, 1706),
};
constexpr SmbBitField kActionBits[] = {YesNo(0x0001, 1713)};
constexpr SmbBitField kTreeConnectFlagBits[] = {YesNo(0x0001, 1717), YesNo(0x0004, 1718), YesNo(0x0008, 1719)};
constexpr SmbBitField kOptionalSupportBits[] = {YesNo(0x0001, 1721), YesNo(0x0002, 1722), YesNo(0x000C, 1723),
                                                YesNo(0x0010, 1724), YesNo(0x0020, 1725)};
constexpr SmbBitField kWriteModeBits[] = {YesNo(0x0008, 1662), YesNo(0x0004, 1663), YesNo(0x0002, 1664),
                                          YesNo(0x0001, 1665)};
constexpr SmbBitField kTransactionFlagBits[] = {{0x0001, 1717, 1717, 1733}, {0x0002, 1734, 1734, 1735}};

// ---- Layout -------------------------------------------------------------------

constexpr uint8_t kSignatureBytes[] = {0xFF, 'S', 'M', 'B'};
constexpr uint32_t kFlags2Offset = 10;
constexpr uint32_t kResponseFlag = 0x80;
constexpr uint32_t kNtStatusCodes = 0x4000, kUnicodeStrings = 0x8000;
constexpr uint32_t kNtFailureBit = 0x80000000;
constexpr uint32_t kUnicodeCapability = 0x00000004, kExtendedSecurity = 0x80000000;
constexpr uint32_t kNtLmNegotiateWords = 17;
constexpr uint32_t kReadAndXWordsWithHighOffset = 12, kWriteAndXWordsWithHighOffset = 14;
constexpr uint32_t kReadAndXReservedBytes = 8;
constexpr uint32_t kGuidBytes = 16;
constexpr uint32_t kGetDfsReferral = 0x0010;

constexpr uint32_t kNBDGM = 45, kNBSS = 46;

}  // namespace

HRESULT CSMBDecoder::Decode(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded,
                            IVELPacketsDecodingInfo* piDecodingInfo) {
  if (!BeginsWithSignature(reinterpret_cast<const ParsedPacket*>(pPacket), pDataDecoded)) return S_FALSE;
  return CVELBaseModule::Decode(nProtocol, pPacket, pDataDecoded, piDecodingInfo);
}

bool CSMBDecoder::CanAccept(IVELDcoder* input) { return InputTypeIn(input, {kNBDGM, kNBSS}); }

void CSMBDecoder::DecodeLayer() {
  RecordLayer();
  ByteView header = Layer();
  // Flags2 decides how the status is laid out; when it was not captured
  // the status is shown in its DOS form as far as it was.
  const uint32_t flags2 = header.Has(kFlags2Offset, 2) ? header.U16LE(kFlags2Offset) : 0;
  unicode_ = flags2 & kUnicodeStrings;

  TextBuffer protocol;
  AppendPacketText(protocol, header.Bytes(1, 3), 3);
  AddTextItem(Group(), 4, Res(kProtocolId), protocol);
  const uint32_t command = AtCursor().U8(0);
  AddByteField(Group(), kCommand, NameOf(kCommandNames, command));
  AddStatus(flags2 & kNtStatusCodes);
  const uint32_t flags = AddBits(Group(), kFlags, 1, kFlagsBits);
  AddBits(Group(), kFlags2, 2, kFlags2Bits);
  AddWordField(Group(), kProcessIdHigh);
  AddSignature();
  for (uint32_t label : {kReserved, kTreeId, kProcessId, kUserId, kMultiplexId}) AddWordField(Group(), label);
  DecodeCommand(command, flags & kResponseFlag);
  SetGroupLength();
}

bool CSMBDecoder::BeginsWithSignature(const ParsedPacket* packet, const uint8_t* data) {
  if (!packet || !packet->pFrameData || !packet->pCapturedPacket) return false;
  if (data < packet->pFrameData || data > packet->FrameEnd()) return false;
  ByteView view(packet->pFrameData, data, packet->FrameEnd());
  return view.Has(0, sizeof kSignatureBytes) && std::memcmp(view.data(), kSignatureBytes, sizeof kSignatureBytes) == 0;
}

// The packet's layer list names SMB as its next layer.
void CSMBDecoder::RecordLayer() {
  ParsedPacket* packet = Packet();
  if (packet->nLayerCount < kMaxLayers) packet->nLayers[packet->nLayerCount++] = kSMBProtocolType;
}

// ---- Header ----

// NT status as one number judged by its severity bit, or the DOS error
// class and code under the status.
void CSMBDecoder::AddStatus(bool ntStatus) {
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
void CSMBDecoder::AddSignature() {
  ByteView bytes = AtCursor();
  const uint64_t signature = uint64_t{bytes.U32LE(4)} << 32 | bytes.U32LE(0);
  TextBuffer value;
  AddTextItem(Group(), 8, Res(kSignature), Format(value, u"%016x", signature));
}

// ---- Commands ----

// The command's sub-group, titled and summarised by its direction, holds
// what the handler adds; it covers the bytes the handler consumed.
void CSMBDecoder::DecodeCommand(uint32_t command, bool response) {
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

// Word Count, the parameter words it counts, and Bytes Count, whose value is returned.
uint32_t CSMBDecoder::AddCounts(Item* body) {
  const uint32_t words = AddByteField(body, kWordCount);
  Skip(2 * words);
  return AddWordField(body, kBytesCount);
}

void CSMBDecoder::CountsOnly(Item* body) { AddCounts(body); }

void CSMBDecoder::CloseRequest(Item* body) {
  AddByteField(body, kWordCount);
  AddWordField(body, kFid);
  AddDWordField(body, kLastWrite);
  AddWordField(body, kBytesCount);
}

CSMBDecoder::TransactionCounts CSMBDecoder::AddTransactionCounts(Item* body) {
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
  counts.dataCount = AddWordField(body, kDataCount);
  counts.dataOffset = AddWordField(body, kDataOffset);
  counts.setupCount = AddByteField(body, kSetupCount);
  AddByteField(body, kReserved);
  return counts;
}

// The setup words (a mailslot's opcode, priority and class) are passed
// over; a mailslot message follows the name.
void CSMBDecoder::TransactionRequest(Item* body) {
  AddByteField(body, kWordCount);
  const TransactionCounts counts = AddTransactionCounts(body);
  Skip(2 * counts.setupCount);
  AddWordField(body, kBytesCount);
  TextBuffer name;
  AddSmbString(body, kTransactionName, name);
  AddMailslotMessage(body, name, counts);
}

void CSMBDecoder::TransactionResponse(Item* body) {
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

void CSMBDecoder::EchoRequest(Item* body) {
  AddByteField(body, kWordCount);
  AddWordField(body, kEchoCount);
  const uint32_t bytes = AddWordField(body, kBytesCount);
  if (bytes) AddHexItem(body, Res(kEchoData), bytes);
}

void CSMBDecoder::EchoResponse(Item* body) {
  AddByteField(body, kWordCount);
  AddWordField(body, kEchoSeqNum);
  const uint32_t bytes = AddWordField(body, kBytesCount);
  if (bytes) AddHexItem(body, Res(kPadding), bytes);
}

void CSMBDecoder::ReadAndXRequest(Item* body) {
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

void CSMBDecoder::ReadAndXResponse(Item* body) {
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

void CSMBDecoder::WriteAndXRequest(Item* body) {
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

void CSMBDecoder::WriteAndXResponse(Item* body) {
  AddByteField(body, kWordCount);
  AddAndX(body);
  for (uint32_t label : {kCountLow, kRemaining, kCountHigh, kReserved}) AddWordField(body, label);
  AddWordField(body, kBytesCount);
}

// The subcommand is the first setup word; a DFS referral request's
// parameters are broken down, any other subcommand's shown as bytes.
void CSMBDecoder::Trans2Request(Item* body) {
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
  TextBuffer fileName;
  AddSmbString(parameters, kFileName, fileName);
}

void CSMBDecoder::LogoffAndX(Item* body) {
  AddByteField(body, kWordCount);
  AddAndX(body);
  AddWordField(body, kBytesCount);
}

void CSMBDecoder::NegotiateRequest(Item* body) {
  const uint32_t bytes = AddCounts(body);
  const uint32_t areaEnd = CursorOffset() + bytes;
  for (uint32_t ordinal = 1; CursorOffset() < areaEnd; ++ordinal) AddDialect(body, ordinal);
}

// One dialect: its buffer format byte and its zero-terminated name.
void CSMBDecoder::AddDialect(Item* body, uint32_t ordinal) {
  TextBuffer title;
  const uint32_t start = CursorOffset();
  Item* dialect = AddGroupItem(body, 1, FormatResText(title, kDialect, ordinal));
  AddByteField(dialect, kBufferFormat);
  AddAnsiText(dialect, kName);
  SetExtent(dialect, start, CursorOffset() - start);
}

// The NT LM 0.12 response in full; a response of another word count shows
// the selected dialect, and its further words stay inside the sub-group.
void CSMBDecoder::NegotiateResponse(Item* body) {
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
  AddFileTime(body, kSystemTime);
  AddTimeZone(body);
  AddByteField(body, kKeyLength);
  const uint32_t bytes = AddWordField(body, kBytesCount);
  if (!(capabilities & kExtendedSecurity)) return;
  AddGuid(body, kServerGuid);
  if (bytes > kGuidBytes) AddSecurityBlob(body, bytes - kGuidBytes);
}

void CSMBDecoder::AddTimeZone(Item* body) {
  const auto minutes = static_cast<int16_t>(AtCursor().U16LE(0));
  TextBuffer value;
  AddTextItem(body, 2, Res(kServerTimeZone), Format(value, u"%d", minutes), Res(kMinFromUtc));
}

// The texts after the byte count belong to the SMB group itself. They are
// UTF-16; the Unicode capability adds an alignment byte when it is zero,
// and the primary domain, which the cursor does not pass.
void CSMBDecoder::SessionSetupRequest(Item* body) {
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
    AddSecurityBlob(body, blobLength);
  else
    Skip(blobLength);
  const bool unicode = capabilities & kUnicodeCapability;
  if (unicode && AtCursor().U8(0) == 0) Skip(1);
  AddUnicodeText(Group(), kNativeOs);
  AddUnicodeText(Group(), kNativeLanManager);
  if (unicode) AddUnicodeText(Group(), kPrimaryDomain, false);
}

// The texts after the byte count belong to the SMB group itself and are 8-bit.
void CSMBDecoder::SessionSetupResponse(Item* body) {
  AddByteField(body, kWordCount);
  AddAndX(body);
  AddBits(body, kAction, 2, kActionBits);
  const uint32_t blobLength = AddWordField(body, kSecurityBlobLength);
  AddWordField(body, kBytesCount);
  if (blobLength) AddSecurityBlob(body, blobLength);
  AddAnsiText(Group(), kNativeOs);
  AddAnsiText(Group(), kNativeLanManager);
}

void CSMBDecoder::TreeConnectRequest(Item* body) {
  AddByteField(body, kWordCount);
  AddAndX(body);
  AddBits(body, kFlags, 2, kTreeConnectFlagBits);
  const uint32_t passwordLength = AddWordField(body, kPasswordLength);
  AddWordField(body, kBytesCount);
  AddTextItem(body, passwordLength, Res(kPassword), {});
  AddUnicodeText(body, kPath);
  AddAnsiText(body, kService);
}

void CSMBDecoder::TreeConnectResponse(Item* body) {
  AddByteField(body, kWordCount);
  AddAndX(body);
  AddBits(body, kOptionalSupport, 2, kOptionalSupportBits);
  AddAccessMask(body, kMaximalShareAccessRights);
  AddAccessMask(body, kGuestMaximalShareAccessRights);
  AddWordField(body, kBytesCount);
  AddAnsiText(body, kService);
}

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
    {0xA0, kNtTransRequest, kNtTransResponse, &CSMBDecoder::NtTransRequest, &CSMBDecoder::CountsOnly},
    {0xA2, kNtCreateAndXRequest, kNtCreateAndXResponse, &CSMBDecoder::NtCreateAndXRequest,
     &CSMBDecoder::NtCreateAndXResponse},
};

const CSMBDecoder::CommandLayout* CSMBDecoder::FindLayout(uint32_t command) {
  for (const CommandLayout& layout : kCommands)
    if (layout.code == command) return &layout;
  return nullptr;
}

VEL_REGISTER_MODULE(CSMBDecoder, 15, u"SMB Decoder", u"SMB Decoder Module");

}  // namespace vel
