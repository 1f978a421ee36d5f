// The host side of the tests: a manager with the built-in graph, decoding a
// frame the way a host does, a vendor name table, the interface language, and
// a probe that records what a layer hands on.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "frames.h"
#include "vel/interfaces.h"
#include "vel/module_base.h"
#include "vel/registration.h"

namespace vel::test {

// A manager holding every built-in module, in registration order.
ComPtr<IOrvDecoderManager> MakeManager(bool initialize = true);

// The manager's modules in graph order.
std::vector<ComPtr<IVELDcoder>> GraphModules(IOrvDecoderManager* manager);

// Decodes one Ethernet frame (or its first captureLength bytes).
ComPtr<IVELPacketsDecodingInfo> Decode(IOrvDecoderManager* manager, const Bytes& frame);
ComPtr<IVELPacketsDecodingInfo> Decode(IOrvDecoderManager* manager, const Bytes& frame, uint32_t captureLength);
// Decodes one frame of the given link type (a VEL_LINK_TYPE).
ComPtr<IVELPacketsDecodingInfo> DecodeAs(IOrvDecoderManager* manager, uint16_t linkType, const Bytes& frame,
                                         uint32_t captureLength);
ComPtr<IVELPacketsDecodingInfo> DecodeAs(IOrvDecoderManager* manager, uint16_t linkType, const Bytes& frame);

// Decodes every capture length from 0 to the whole frame, each from a heap
// block of exactly that size, and renders each result as text.
void TruncationSweep(IOrvDecoderManager* manager, const Bytes& frame, uint16_t linkType = VEL_LT_ETHERNET);

// A decoder test: a manager of the built-in graph, and frames decoded with it.
class DecoderTest : public ::testing::Test {
 protected:
  ComPtr<IVELPacketsDecodingInfo> DecodeFrame(const Bytes& frame) { return Decode(m_.get(), frame); }
  // Puts the frame through the truncation sweep, then decodes it whole.
  ComPtr<IVELPacketsDecodingInfo> SweepAndDecode(const Bytes& frame, uint16_t linkType = VEL_LT_ETHERNET) {
    TruncationSweep(m_.get(), frame, linkType);
    return DecodeAs(m_.get(), linkType, frame);
  }

  ComPtr<IOrvDecoderManager> m_ = MakeManager();
};

// Gives the manager a host name table that names one vendor: by default
// "VMware" for the OUI 00:0C:29.
void SetVendorTable(IOrvDecoderManager* manager, uint32_t oui = 0x000C29, std::u16string name = u"VMware");

// Points the module-list store (VEL_REGISTRY_ROOT) of this process, and of
// the programs it starts, at a directory while this lives.
class StoreAt {
 public:
  explicit StoreAt(const std::string& root);
  ~StoreAt();
  StoreAt(const StoreAt&) = delete;
  StoreAt& operator=(const StoreAt&) = delete;

 private:
  std::optional<std::string> previous_;
};

// The thread's interface language is Chinese while this lives.
struct ChineseInterface {
  ChineseInterface();
  ~ChineseInterface();
};

// Stands behind the modules of the given protocol types and records each
// offer they make: the protocol type it carries and the frame offset of its
// data. It takes nothing.
inline constexpr CLSID kOfferProbeClsid = MakeGuid("{8E4D2A17-C35B-4F60-A9E1-6B7C0D2F3A85}");
class COfferProbe : public CVELBaseModuleCLSIDImplT<COfferProbe, 0, kOfferProbeClsid> {
 public:
  struct Offer {
    uint32_t protocol, offset;
    bool operator==(const Offer&) const = default;
  };
  std::vector<Offer> offers;
  std::vector<uint32_t> inputs;

  HRESULT Decode(uint32_t nProtocol, uint8_t* pPacket, uint8_t* pDataDecoded, IVELPacketsDecodingInfo*) override;

 protected:
  bool CanAccept(IVELDcoder* input) override;
  void DecodeLayer() override {}
};
using Offers = std::vector<COfferProbe::Offer>;

// The built-in graph cut down to the modules of the kept protocol types, with
// a probe behind the given inputs, so that the probe is the only module those
// inputs offer their payload to.
struct ProbedGraph {
  ProbedGraph(std::initializer_list<uint32_t> keptTypes, std::initializer_list<uint32_t> probedInputs);
  Offers OffersFor(const Bytes& frame);

  ComPtr<IOrvDecoderManager> manager;
  ComPtr<CComObject<COfferProbe>> probe;
};

// The process's local time zone is zone (a TZ value such as "UTC") while this
// lives; the previous setting comes back afterwards.
class TimeZone {
 public:
  explicit TimeZone(const char* zone);
  ~TimeZone();
  TimeZone(const TimeZone&) = delete;
  TimeZone& operator=(const TimeZone&) = delete;

 private:
  std::string previous_;
  bool wasSet_;
};

}  // namespace vel::test
