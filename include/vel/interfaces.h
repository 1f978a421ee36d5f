// The engine's interfaces, shared enumerations and packet records. Virtual
// operations are declared in their binding slot order: a module compiled on its
// own binds to them through these tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vel/platform.h"

namespace vel {

enum VEL_SEVERITY_TYPE : uint32_t {
  VEL_SST_INFOMATION = 1,
  VEL_SST_NOTICE = 2,
  VEL_SST_WARNING = 3,
  VEL_SST_CRITICAL = 4,
};

enum VEL_DECODING_ITEM_TYPE : uint32_t {
  VEL_DII_DESTINATION_ADDRESS = 1,
  VEL_DII_SOURCE_ADDRESS = 2,
  VEL_DII_SOURCE_IP = 3,
  VEL_DII_DESTINATION_IP = 4,
  VEL_DII_IP_ADRESS = 5,
  VEL_DII_HARDWARE_ADDRESS = 6,
  VEL_DII_SOURCE_PORT = 7,
  VEL_DII_DEST_PORT = 8,
  VEL_DII_PACKET_LEN = 9,
};

enum VEL_GRAPH_MANAGER_EVENT : uint32_t {
  VGME_GME_REMOVE_MODULE = 1,
  VGME_GME_JOINGRAPH = 2,
  VGME_GME_DESTROY = 3,
  VGME_GME_NEW_MODULE = 4,
};

// The link layer a host's frame starts with. Zero is Ethernet, so a host
// that zeroes its packet record and knows nothing of other link layers gets
// Ethernet decoding.
enum VEL_LINK_TYPE : uint16_t {
  VEL_LT_ETHERNET = 0,
  VEL_LT_LINUX_SLL = 1,   // Linux cooked capture, 16-byte header
  VEL_LT_LINUX_SLL2 = 2,  // Linux cooked capture v2, 20-byte header
  VEL_LT_RAW_IP = 3,      // no link header: IPv4 or IPv6 by the version nibble
  VEL_LT_IPV4 = 4,        // no link header: IPv4
  VEL_LT_IPV6 = 5,        // no link header: IPv6
  VEL_LT_NULL = 6,        // BSD loopback: address family in the capturing host's byte order
  VEL_LT_LOOP = 7,        // BSD loopback: address family in network byte order
};

// The link type for a capture's link-type number (a file's LINKTYPE_ value or
// libpcap's DLT_ value, which differ for raw IP: 101 in files, 12 from
// libpcap); -1 for link types the engine does not decode.
constexpr int32_t LinkTypeFromPcap(uint32_t pcapLinkType) {
  switch (pcapLinkType) {
    case 1: return VEL_LT_ETHERNET;
    case 113: return VEL_LT_LINUX_SLL;
    case 276: return VEL_LT_LINUX_SLL2;
    case 12: case 101: return VEL_LT_RAW_IP;
    case 228: return VEL_LT_IPV4;
    case 229: return VEL_LT_IPV6;
    case 0: return VEL_LT_NULL;
    case 108: return VEL_LT_LOOP;
    default: return -1;
  }
}

// ---- Packet records -----------------------------------------------------

// The host's packet: this header, then the frame bytes at record start + HeaderSize.
struct CapturedPacket {
  uint32_t Sequence;
  uint64_t TimeStamp;  // microseconds since 1970-01-01 00:00:00 UTC
  uint32_t CaptureLength;
  uint32_t OriginalLength;
  uint16_t HeaderSize;
  // A VEL_LINK_TYPE, in what was padding before the engine knew more than
  // Ethernet: the record keeps its size and every other field its place.
  uint16_t LinkType;

  const uint8_t* Frame() const { return reinterpret_cast<const uint8_t*>(this) + HeaderSize; }
};
static_assert(offsetof(CapturedPacket, Sequence) == 0);
static_assert(offsetof(CapturedPacket, TimeStamp) == 8);
static_assert(offsetof(CapturedPacket, CaptureLength) == 16);
static_assert(offsetof(CapturedPacket, OriginalLength) == 20);
static_assert(offsetof(CapturedPacket, HeaderSize) == 24);
static_assert(offsetof(CapturedPacket, LinkType) == 26);
static_assert(sizeof(CapturedPacket) == 32);

inline constexpr uint32_t kMaxLayers = 10;

// What the manager learns from a frame before any module runs; every module,
// extension modules included, receives it. Pointers point into the host's
// frame or are null.
struct ParsedPacket {
  const CapturedPacket* pCapturedPacket;
  const uint8_t* pFrameData;
  const uint8_t* pVlanTag;
  const uint8_t* pIPv4Header;
  const uint8_t* pIPv6Header;
  const uint8_t* pUDPHeader;
  const uint8_t* pTCPHeader;
  const uint8_t* pICMPHeader;
  const uint8_t* pARPHeader;
  const uint8_t* pLLDPData;
  const uint8_t* pNDPData;
  const uint8_t* pCDPData;
  uint32_t nReserved0;
  uint32_t nIPv4HeaderLength;
  uint32_t nIPv4TotalLength;
  uint32_t nReserved[14];
  uint32_t nQuotedDatagram;
  uint32_t nLayers[kMaxLayers];
  uint32_t nLayerCount;

  // One past the last captured frame byte: nothing at or beyond it is read.
  const uint8_t* FrameEnd() const { return pFrameData + pCapturedPacket->CaptureLength; }
};
static_assert(sizeof(void*) == 8, "the packet record layout below is fixed for 64-bit hosts");
static_assert(offsetof(ParsedPacket, pFrameData) == 8);
static_assert(offsetof(ParsedPacket, pCDPData) == 88);
static_assert(offsetof(ParsedPacket, nReserved0) == 96);
static_assert(offsetof(ParsedPacket, nIPv4HeaderLength) == 100);
static_assert(offsetof(ParsedPacket, nIPv4TotalLength) == 104);
static_assert(offsetof(ParsedPacket, nReserved) == 108);
static_assert(offsetof(ParsedPacket, nQuotedDatagram) == 164);
static_assert(offsetof(ParsedPacket, nLayers) == 168);
static_assert(offsetof(ParsedPacket, nLayerCount) == 208);
static_assert(sizeof(ParsedPacket) == 216);

// ---- Decoding results ---------------------------------------------------

struct IIDECollection;
struct IVELPacketsDecodingInfo;

struct IVELPacketsDecodingItem : IDispatch {
  static constexpr IID kIID = MakeGuid("{6C2F4D1A-8E37-4B52-9A0D-3F1E5B7C2D41}");
  virtual HRESULT get_StartPos(uint32_t* pVal) = 0;
  virtual HRESULT put_StartPos(uint32_t newVal) = 0;
  virtual HRESULT get_Length(uint32_t* pVal) = 0;
  virtual HRESULT put_Length(uint32_t newVal) = 0;
  virtual HRESULT get_Name(BSTR* pVal) = 0;
  virtual HRESULT put_Name(BSTR newVal) = 0;
  virtual HRESULT get_Description(BSTR* pVal) = 0;
  virtual HRESULT put_Description(BSTR newVal) = 0;
  virtual HRESULT get_Comment(BSTR* pVal) = 0;
  virtual HRESULT put_Comment(BSTR newVal) = 0;
  virtual HRESULT get_Value(BSTR* pVal) = 0;
  virtual HRESULT put_Value(BSTR newVal) = 0;
  virtual HRESULT get_IsGroup(int32_t* pVal) = 0;
  virtual HRESULT put_IsGroup(int32_t newVal) = 0;
  virtual HRESULT get_Protocol(uint32_t* pVal) = 0;
  virtual HRESULT put_Protocol(uint32_t newVal) = 0;
  virtual HRESULT get_Type(uint32_t* pVal) = 0;
  virtual HRESULT put_Type(uint32_t newVal) = 0;
  virtual HRESULT get_MaxValueLen(uint32_t* pVal) = 0;
  virtual HRESULT put_MaxValueLen(uint32_t newVal) = 0;
  virtual HRESULT get_Cookie(uint32_t* pVal) = 0;
  virtual HRESULT put_Cookie(uint32_t newVal) = 0;
  virtual HRESULT get_Severity(uint32_t* pVal) = 0;
  virtual HRESULT put_Severity(uint32_t newVal) = 0;
  virtual HRESULT get_Summary(BSTR* pVal) = 0;
  virtual HRESULT put_Summary(BSTR newVal) = 0;
  virtual HRESULT get_ID(BSTR* pVal) = 0;
  virtual HRESULT put_Index(uint32_t newVal) = 0;
  virtual HRESULT get_Index(uint32_t* pVal) = 0;
  virtual HRESULT EmunDecodingItem(IIDECollection** ppCollection) = 0;
  virtual HRESULT CreateGroup(BSTR bstrName, IVELPacketsDecodingItem** ppItem) = 0;
  virtual HRESULT CreateDecodingItem(BSTR bstrName, IVELPacketsDecodingItem** ppItem) = 0;
  virtual HRESULT AppendSummary(BSTR text) = 0;
  virtual HRESULT GetText(int32_t nNameWidth, int32_t nValueWidth, BSTR* pVal) = 0;

 protected:
  ~IVELPacketsDecodingItem() = default;
};

struct IIDECollection : IDispatch {
  static constexpr IID kIID = MakeGuid("{9B3E61C4-25D7-4F08-B1A6-7C4D2E8F9A13}");
  virtual HRESULT get_Count(int32_t* pVal) = 0;
  virtual HRESULT get_Item(VARIANT Index, VARIANT* pRetVal) = 0;
  virtual HRESULT get__NewEnum(IUnknown** ppEnum) = 0;

 protected:
  ~IIDECollection() = default;
};

struct IVELPacketsDecodingInfo : IDispatch {
  static constexpr IID kIID = MakeGuid("{D8173B50-E66E-4155-9EE6-E8288C2FDE17}");
  virtual HRESULT get_Sequence(uint32_t* pVal) = 0;
  virtual HRESULT put_Sequence(uint32_t newVal) = 0;
  virtual HRESULT get_TimeStamp(uint64_t* pVal) = 0;
  virtual HRESULT put_TimeStamp(uint64_t newVal) = 0;
  virtual HRESULT get_CaptureLength(uint32_t* pVal) = 0;
  virtual HRESULT put_CaptureLength(uint32_t newVal) = 0;
  virtual HRESULT get_OriginalLength(uint32_t* pVal) = 0;
  virtual HRESULT put_OriginalLength(uint32_t newVal) = 0;
  virtual HRESULT get_MaxItemLen(uint32_t* pVal) = 0;
  virtual HRESULT put_MaxItemLen(uint32_t newVal) = 0;
  virtual HRESULT get_Severity(uint32_t* pVal) = 0;
  virtual HRESULT put_Severity(uint32_t newVal) = 0;
  virtual HRESULT get_Summary(uint32_t nProtocol, BSTR* pVal) = 0;
  virtual HRESULT get_ItemIDSelected(BSTR* pVal) = 0;
  virtual HRESULT put_ItemIDSelected(BSTR newVal) = 0;
  virtual HRESULT DecodingItemSelected(IVELPacketsDecodingItem** ppItem) = 0;
  virtual HRESULT EmunGroups(IIDECollection** ppCollection) = 0;
  virtual HRESULT CreateGroup(BSTR bstrName, IVELPacketsDecodingItem** ppItem) = 0;
  virtual HRESULT CreateGroupEx(uint32_t nProtocol, IVELPacketsDecodingItem** ppItem) = 0;
  virtual HRESULT LooupDecodingItem(uint32_t nCookie, IVELPacketsDecodingItem** ppItem) = 0;
  virtual HRESULT LooupDecodingItemEx(uint32_t nOffset, IVELPacketsDecodingItem** ppItem) = 0;
  virtual HRESULT TopLayerDecodingItem(IVELPacketsDecodingItem** ppItem) = 0;
  virtual HRESULT GetText(BSTR* pVal) = 0;

 protected:
  ~IVELPacketsDecodingInfo() = default;
};

// ---- Decoder modules and the manager ----------------------------------------

struct IVELDcoder : IDispatch {
  static constexpr IID kIID = MakeGuid("{04027398-E6D6-42BA-AA6B-24FC4C71F7AC}");
  virtual HRESULT get_Name(BSTR* pVal) = 0;
  virtual HRESULT put_Name(BSTR newVal) = 0;
  virtual HRESULT get_CLSID(BSTR* pVal) = 0;
  virtual HRESULT get_Enable(int32_t* pVal) = 0;
  virtual HRESULT put_Enable(int32_t newVal) = 0;
  virtual HRESULT get_ProtocolType(uint32_t* pVal) = 0;
  virtual HRESULT put_ProtocolType(uint32_t newVal) = 0;
  virtual HRESULT IsConnectedWith(IVELDcoder* pDstModule) = 0;
  virtual HRESULT ConnectModule(IVELDcoder* pOutputModule) = 0;
  virtual HRESULT AcceptModule(IVELDcoder* pInputModule) = 0;
  virtual HRESULT OnManagerNotify(uint32_t nEventCode, int64_t nEventParam1, int64_t nEventParam2) = 0;
  virtual HRESULT Decode(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded,
                         IVELPacketsDecodingInfo* piDecodingInfo) = 0;

 protected:
  ~IVELDcoder() = default;
};

struct IOrvDecoderManager : IDispatch {
  static constexpr IID kIID = MakeGuid("{31D8ADFF-6248-4E8D-953B-68AEAC93AC25}");
  virtual HRESULT get_VerifyChecksum(int32_t* pVal) = 0;
  virtual HRESULT put_VerifyChecksum(int32_t newVal) = 0;
  virtual HRESULT get_ItemIDSelected(BSTR* pVal) = 0;
  virtual HRESULT put_ItemIDSelected(BSTR newVal) = 0;
  virtual HRESULT put_NameTableObj(IDispatch* pNameTable) = 0;
  virtual HRESULT Initialize() = 0;
  virtual HRESULT AddModule(IVELDcoder* pBaseModule) = 0;
  virtual HRESULT RemoveModule(IVELDcoder* pBaseModule) = 0;
  virtual HRESULT DestroyGraph() = 0;
  virtual HRESULT EnumerateModules(IIDECollection** ppModules) = 0;
  virtual HRESULT LookforModule(BSTR pClsid, IVELDcoder** ppModule) = 0;
  virtual HRESULT Decode(uint8_t* pPacket, IVELPacketsDecodingInfo** ppiPacketsDecodingInfo) = 0;
  virtual HRESULT LookupOUIName(uint32_t nCode, BSTR* pbstrName) = 0;

 protected:
  ~IOrvDecoderManager() = default;
};

// The host's vendor-name table. The manager uses the second operation only.
struct IVELNameTable : IDispatch {
  static constexpr IID kIID = MakeGuid("{BF842EDF-3B08-452A-8E77-595FC9C24D9A}");
  virtual HRESULT get_Count(uint32_t* pVal) = 0;
  virtual HRESULT LookupName(uint32_t nCode, BSTR* pbstrName) = 0;

 protected:
  ~IVELNameTable() = default;
};

// ---- Class identities ---------------------------------------------------

inline constexpr CLSID CLSID_COrvDecoderManager = MakeGuid("{FED08E96-C756-4625-A171-8CA6829B6464}");
inline constexpr CLSID CLSID_CVELPacketsDecodingInfo = MakeGuid("{DCA4A26B-49D9-4198-A2FE-4B2F33B40D80}");
inline constexpr CLSID CLSID_CEthernetDcoder = MakeGuid("{0E0B92FD-E942-4649-B36D-987410322621}");
inline constexpr GUID LIBID_OrvDecoderModule = MakeGuid("{6F31291D-2D82-41A4-A903-F8809BCA847B}");

// Creates an object of one of this library's classes, or of a class that an
// extension library registered, asking for the interface riid.
VEL_API HRESULT CreateInstance(REFCLSID clsid, REFIID riid, void** ppv);

template <class I>
HRESULT CreateInstance(REFCLSID clsid, I** ppv) {
  return CreateInstance(clsid, IidOf<I>, reinterpret_cast<void**>(ppv));
}

}  // namespace vel
