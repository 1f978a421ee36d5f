// libFuzzer target: arbitrary bytes as one captured frame, decoded as an
// Ethernet frame and as a frame of one other link type by a fully initialised
// manager and rendered as text; the frame sits at the very end of its heap
// block so that any read past it is reported.
#include <cstring>
#include <memory>

#include "vel/interfaces.h"
#include "vel/registration.h"

namespace {

vel::IOrvDecoderManager* Manager() {
  static vel::IOrvDecoderManager* manager = [] {
    vel::IOrvDecoderManager* m = nullptr;
    vel::CreateInstance(vel::CLSID_COrvDecoderManager, &m);
    m->Initialize();
    for (const vel::CLSID& clsid : vel::BuiltInModuleClasses()) {
      vel::IVELDcoder* module = nullptr;
      if (vel::SUCCEEDED(vel::CreateInstance(clsid, &module))) {
        m->AddModule(module);
        module->Release();
      }
    }
    return m;
  }();
  return manager;
}

void DecodeAs(uint16_t linkType, const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> record(new uint8_t[sizeof(vel::CapturedPacket) + size]);
  vel::CapturedPacket header{1, 0, static_cast<uint32_t>(size), static_cast<uint32_t>(size),
                             sizeof(vel::CapturedPacket), linkType};
  std::memcpy(record.get(), &header, sizeof header);
  if (size) std::memcpy(record.get() + sizeof header, data, size);

  vel::IVELPacketsDecodingInfo* info = nullptr;
  if (Manager()->Decode(record.get(), &info) != vel::S_OK || !info) return;
  vel::BSTR text = nullptr;
  info->GetText(&text);
  vel::SysFreeString(text);
  for (uint32_t offset : {0u, 14u, static_cast<uint32_t>(size / 2)}) {
    vel::IVELPacketsDecodingItem* item = nullptr;
    if (info->LooupDecodingItemEx(offset, &item) == vel::S_OK) item->Release();
  }
  info->Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65535) return 0;
  DecodeAs(vel::VEL_LT_ETHERNET, data, size);
  // And as one of the other link types, picked by the first byte, which the fuzzer varies like any other.
  if (size) DecodeAs(static_cast<uint16_t>(vel::VEL_LT_LINUX_SLL + data[0] % vel::VEL_LT_LOOP), data, size);
  return 0;
}
