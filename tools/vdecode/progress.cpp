#include "tools/vdecode/progress.h"

#include <unistd.h>

#include <algorithm>

namespace vdecode {

namespace {

constexpr auto kFirstDrawAfter = std::chrono::milliseconds(500);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;
constexpr const char* kEraseLine = "\r\033[K";

}  // namespace

ProgressBar::ProgressBar(bool enabled, std::FILE* terminal)
    : enabled_(enabled), terminal_(terminal), start_(Clock::now()), lastDrawn_(start_) {}

std::string ProgressBar::Text(uint64_t bytesDone, uint64_t bytesTotal, uint64_t packets) {
  std::string text;
  if (bytesTotal > 0) {
    uint64_t done = std::min(bytesDone, bytesTotal);
    int filled = static_cast<int>(done * kBarWidth / bytesTotal);
    text = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] ";
    std::string percent = std::to_string(done * 100 / bytesTotal);
    text += std::string(3 - std::min<size_t>(3, percent.size()), ' ') + percent + "%  ";
  }
  return text + std::to_string(packets) + (packets == 1 ? " packet" : " packets");
}

bool ProgressBar::WantedOnStandardError(bool quiet) {
  return !quiet && isatty(STDERR_FILENO) && !isatty(STDOUT_FILENO);
}

bool ProgressBar::Due() const {
  if (!enabled_) return false;
  Clock::time_point now = Clock::now();
  return now - start_ >= kFirstDrawAfter && (!drawn_ || now - lastDrawn_ >= kRedrawEvery);
}

void ProgressBar::Update(uint64_t bytesDone, uint64_t bytesTotal, uint64_t packets) {
  if (!Due()) return;
  Clock::time_point now = Clock::now();
  std::fprintf(terminal_, "%s%s", kEraseLine, Text(bytesDone, bytesTotal, packets).c_str());
  std::fflush(terminal_);
  lastDrawn_ = now;
  drawn_ = true;
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  std::fputs(kEraseLine, terminal_);
  std::fflush(terminal_);
  drawn_ = false;
}

}  // namespace vdecode
