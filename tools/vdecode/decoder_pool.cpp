#include "tools/vdecode/decoder_pool.h"

#include <algorithm>

#include "tools/vdecode/decoding_tree.h"
#include "tools/vdecode/utf8.h"
#include "vel/text.h"

namespace vdecode {

using namespace vel;

namespace {

// Batches under way per worker: enough that no worker waits for the reader.
constexpr size_t kBatchesPerWorker = 4;

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
           return lower(x) == lower(y);
         });
}

// Whether the decoding has a layer of one of the short names the options ask for.
bool ShowsWantedProtocol(const Options& options, const DecodingInfo& info) {
  if (options.protocols.empty()) return true;
  for (const DecodingItem* group : info.Groups()) {
    if (group->protocol == 0) continue;  // "Packet Info"
    std::string name = Utf16ToUtf8(LayerShortName(*group));
    for (const std::string& wanted : options.protocols)
      if (EqualIgnoringCase(name, wanted)) return true;
  }
  return false;
}

}  // namespace

void DecodeBatch(const Options& options, IOrvDecoderManager* manager, PacketPrinter& printer, PacketBatch& batch) {
  printer.SetTimeReference(batch.timeReference);
  batch.output.clear();
  for (BatchEntry& entry : batch.entries) {
    if (entry.record) {
      ComPtr<IVELPacketsDecodingInfo> info;
      entry.result = manager->Decode(entry.record->data(), &info);
      entry.decoded = SUCCEEDED(entry.result) && info;
      entry.printed = entry.decoded && ShowsWantedProtocol(options, InfoOf(info.get()));
      if (entry.printed) printer.Print(batch.output, info.get(), entry.record->frame());
    }
    entry.outputEnd = batch.output.size();
  }
}

DecoderPool::DecoderPool(const Options& options, std::vector<ComPtr<IOrvDecoderManager>> managers)
    : options_(options), managers_(std::move(managers)), maxUnderWay_(kBatchesPerWorker * managers_.size()) {
  uint16_t language = GetThreadUILanguage();
  uint32_t codePage = GetThreadCodePage();
  for (ComPtr<IOrvDecoderManager>& manager : managers_)
    workers_.emplace_back([this, language, codePage, manager = manager.get()] {
      SetThreadUILanguage(language);
      SetThreadCodePage(codePage);
      Work(manager);
    });
}

DecoderPool::~DecoderPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  workReady_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void DecoderPool::Submit(std::unique_ptr<PacketBatch> batch) {
  auto job = std::make_shared<Job>();
  job->batch = std::move(batch);
  std::lock_guard lock(mutex_);
  order_.push_back(job);
  waiting_.push_back(job);
  workReady_.notify_one();
}

std::unique_ptr<PacketBatch> DecoderPool::TakeDone(bool wait) {
  std::unique_lock lock(mutex_);
  if (wait) jobDone_.wait(lock, [this] { return order_.empty() || order_.front()->done; });
  if (order_.empty() || !order_.front()->done) return nullptr;
  std::unique_ptr<PacketBatch> batch = std::move(order_.front()->batch);
  order_.pop_front();
  return batch;
}

bool DecoderPool::Full() {
  std::lock_guard lock(mutex_);
  return order_.size() >= maxUnderWay_;
}

void DecoderPool::Work(IOrvDecoderManager* manager) {
  PacketPrinter printer(options_);
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock lock(mutex_);
      workReady_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (waiting_.empty()) return;
      job = waiting_.front();
      waiting_.pop_front();
    }
    DecodeBatch(options_, manager, printer, *job->batch);
    {
      std::lock_guard lock(mutex_);
      job->done = true;
    }
    jobDone_.notify_all();
  }
}

}  // namespace vdecode
