// The NT commands of SMB: an NT Trans request with its 32-bit counts and the
// setup of a change notification, and NT Create AndX in both directions.
#include "decoders/application/smb_decoder.h"

namespace vel {

using namespace smb;

namespace {

// ---- Texts ------------------------------------------------------------------

// NT Trans.
constexpr uint32_t kMaxSetupCount = 1732, kTotalParameterCount = 1728, kTotalDataCount = 1729;
constexpr uint32_t kMaxParameterCount = 1730, kMaxDataCount = 1731, kParameterCount = 1738;
constexpr uint32_t kParameterOffset = 1739, kDataCount = 1740, kDataOffset = 1658, kSetupCount = 1741;
constexpr uint32_t kFunction = 1300, kSetupInfo = 237, kCompletionFilter = 238, kWatchTree = 300;

// NT Create AndX.
constexpr uint32_t kFileNameLength = 152, kCreateFlags = 153, kRootFid = 157, kAccessMask = 158;
constexpr uint32_t kAllocationSize = 186, kShareAccess = 188, kDisposition = 189, kCreateOptions = 190;
constexpr uint32_t kImpersonation = 211, kSecurityFlags = 212;
constexpr uint32_t kOplockLevel = 215, kCreateAction = 216, kCreated = 217, kLastAccess = 218;
constexpr uint32_t kLastWrite = 1648, kChange = 219, kEndOfFile = 220, kFileType = 221, kIpcState = 222;
constexpr uint32_t kIsDirectory = 232, kVolumeGuid = 233, kServerFileId = 234, kMaximalAccessRights = 235;
constexpr uint32_t kGuestMaximalAccessRights = 236;

// ---- Bit fields ---------------------------------------------------------------

constexpr SmbBitField kCompletionFilterBits[] = {
    YesNo(0x00000800, 299),  // Stream Write
    YesNo(0x00000400, 298),  // Stream Size Change
    YesNo(0x00000200, 297),  // Stream Name Change
    YesNo(0x00000100, 296),  // Security Change
    YesNo(0x00000080, 295),  // EA Change
    YesNo(0x00000040, 294),  // Created Change
    YesNo(0x00000020, 293),  // Last Access Change
    YesNo(0x00000010, 292),  // Last Write Change
    YesNo(0x00000008, 242),  // Size Change
    YesNo(0x00000004, 241),  // Attribute Change
    YesNo(0x00000002, 240),  // Directory Name Change
    YesNo(0x00000001, 239),  // File Name Change
};

constexpr SmbBitField kCreateFlagBits[] = {
    YesNo(0x00000010, 1719),  // Extended Response
    YesNo(0x00000008, 156),   // Create Directory
    YesNo(0x00000004, 155),   // Batch Oplock
    YesNo(0x00000002, 154),   // Exclusive Oplock
};

constexpr SmbBitField kShareAccessBits[] = {
    YesNo(0x00000004, 705),  // Delete
    YesNo(0x00000002, 710),  // Write
    YesNo(0x00000001, 709),  // Read
};

constexpr SmbBitField kCreateOptionBits[] = {
    YesNo(0x00800000, 210),   // Open For Free Space Query
    YesNo(0x00400000, 209),   // Open No Recall
    YesNo(0x00200000, 208),   // Open Reparse Point
    YesNo(0x00100000, 207),   // Reserve Opfilter
    YesNo(0x00008000, 206),   // No Compression
    YesNo(0x00004000, 205),   // Backup Intent
    YesNo(0x00002000, 204),   // Open By FileID
    YesNo(0x00001000, 203),   // Delete On Close
    YesNo(0x00000800, 202),   // Random Access
    YesNo(0x00000400, 200),   // 8.3 Only
    YesNo(0x00000200, 199),   // No EA Knowledge
    YesNo(0x00000100, 198),   // Complete If Oplocked
    YesNo(0x00000080, 197),   // Create Tree Connection
    YesNo(0x00000040, 196),   // Non-Directory
    YesNo(0x00000020, 195),   // Sync I/O No Alert
    YesNo(0x00000010, 194),   // Sync I/O Alert
    YesNo(0x00000008, 193),   // Intermediate Buffering
    YesNo(0x00000004, 192),   // Sequential Only
    YesNo(0x00000002, 1665),  // Write Through
    YesNo(0x00000001, 191),   // Directory
};

constexpr SmbBitField kSecurityFlagBits[] = {
    YesNo(0x02, 214),  // Effective Only
    YesNo(0x01, 213),  // Context Tracking
};

// A named pipe's state: two flags, then its type, read mode and instance count.
constexpr SmbBitField kIpcStateBits[] = {
    YesNo(0x8000, 227),   // No Data Available
    YesNo(0x4000, 228),   // Endpoint
    {0x0C00, 229, 0, 0},  // Pipe Type
    {0x0300, 230, 0, 0},  // Read Mode
    {0x00FF, 231, 0, 0},  // Icount
};

// ---- Layout -------------------------------------------------------------------

constexpr uint32_t kNotifyChange = 4, kNotifyChangeSetupWords = 4;
// The response of this word count has the original layout; the extended one
// (volume GUID, file id, access rights) is sent with other counts, 42 or 50.
constexpr uint32_t kNtCreateResponseWords = 34;

}  // namespace

// The counts and offsets are 32-bit here; the function's setup words follow
// the function, the parameters the byte count.
void CSMBDecoder::NtTransRequest(Item* body) {
  AddByteField(body, kWordCount);
  AddByteField(body, kMaxSetupCount);
  AddWordField(body, kReserved);
  for (uint32_t label : {kTotalParameterCount, kTotalDataCount, kMaxParameterCount, kMaxDataCount})
    AddDWordField(body, label);
  const uint32_t parameterCount = AddDWordField(body, kParameterCount);
  const uint32_t parameterOffset = AddDWordField(body, kParameterOffset);
  const uint32_t dataCount = AddDWordField(body, kDataCount);
  const uint32_t dataOffset = AddDWordField(body, kDataOffset);
  const uint32_t setupCount = AddByteField(body, kSetupCount);
  const uint32_t function = AddWordField(body, kFunction);
  AddSetupInfo(body, function, setupCount);
  AddWordField(body, kBytesCount);
  AddPaddingTo(body, parameterCount ? parameterOffset : dataCount ? dataOffset : 0);
}

// A change notification's setup is broken down; any other function's
// setup words are shown as bytes.
void CSMBDecoder::AddSetupInfo(Item* body, uint32_t function, uint32_t setupCount) {
  if (setupCount == 0) return;
  if (function != kNotifyChange || setupCount != kNotifyChangeSetupWords) {
    AddHexItem(body, Res(kSetupInfo), 2 * setupCount);
    return;
  }
  Item* setup = AddGroupItem(body, 2 * setupCount, Res(kSetupInfo));
  AddBits(setup, kCompletionFilter, 4, kCompletionFilterBits);
  AddWordField(setup, kFid);
  const bool watchTree = AtCursor().U8(0);
  AddByteField(setup, kWatchTree, Res(watchTree ? kYes : kNo));
  AddByteField(setup, kReserved);
}

// The file name's length is given; it is UTF-16 from an even offset into
// the message when flags2 says so.
void CSMBDecoder::NtCreateAndXRequest(Item* body) {
  AddByteField(body, kWordCount);
  AddAndX(body);
  AddByteField(body, kReserved);
  const uint32_t nameLength = AddWordField(body, kFileNameLength);
  AddBits(body, kCreateFlags, 4, kCreateFlagBits);
  AddDWordField(body, kRootFid);
  AddAccessMask(body, kAccessMask);
  AddQWordField(body, kAllocationSize);
  AddFileAttributes(body);
  AddBits(body, kShareAccess, 4, kShareAccessBits);
  AddDWordField(body, kDisposition);
  AddBits(body, kCreateOptions, 4, kCreateOptionBits);
  AddDWordField(body, kImpersonation);
  AddBits(body, kSecurityFlags, 1, kSecurityFlagBits);
  AddWordField(body, kBytesCount);
  if (nameLength == 0) return;
  if (unicode_ && (CursorOffset() - LayerOffset()) % 2) Skip(1);
  const uint8_t* name = AtCursor().Bytes(0, nameLength);
  TextBuffer text;
  if (unicode_)
    AppendUtf16LE(text, name, nameLength);
  else
    AppendPacketText(text, name, nameLength && name[nameLength - 1] == 0 ? nameLength - 1 : nameLength);
  AddTextItem(body, nameLength, Res(kFileName), text);
}

void CSMBDecoder::NtCreateAndXResponse(Item* body) {
  const uint32_t words = AddByteField(body, kWordCount);
  AddAndX(body);
  AddByteField(body, kOplockLevel);
  AddWordField(body, kFid);
  AddDWordField(body, kCreateAction);
  for (uint32_t label : {kCreated, kLastAccess, kLastWrite, kChange}) AddFileTime(body, label);
  AddFileAttributes(body);
  AddQWordField(body, kAllocationSize);
  AddQWordField(body, kEndOfFile);
  AddWordField(body, kFileType);
  AddBits(body, kIpcState, 2, kIpcStateBits);
  const bool directory = AtCursor().U8(0);
  AddByteField(body, kIsDirectory, Res(directory ? kYes : kNo));
  if (words != kNtCreateResponseWords) {
    AddGuid(body, kVolumeGuid);
    AddQWordField(body, kServerFileId);
    AddAccessMask(body, kMaximalAccessRights);
    AddAccessMask(body, kGuestMaximalAccessRights);
  }
  AddWordField(body, kBytesCount);
}

}  // namespace vel
