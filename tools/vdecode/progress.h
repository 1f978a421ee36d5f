// A progress bar on standard error for captures that take more than a moment.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vdecode {

class ProgressBar {
 public:
  using Clock = std::chrono::steady_clock;

  // Draws only when enabled; it appears once the work has run for a moment
  // and is redrawn a few times a second.
  ProgressBar(bool enabled, std::FILE* terminal);
  ~ProgressBar() { Finish(); }

  // Whether Update would draw now: callers skip finding out how far the work
  // went (which may cost a system call) when it would not.
  bool Due() const;
  // bytesTotal 0: the size is unknown (a pipe) and only the count is shown.
  void Update(uint64_t bytesDone, uint64_t bytesTotal, uint64_t packets);
  // Erases the bar.
  void Finish();

  // The bar's text: "[#####.....]  42%  1234 packets".
  static std::string Text(uint64_t bytesDone, uint64_t bytesTotal, uint64_t packets);

  // Whether a bar belongs on standard error: it is a terminal that the decoded
  // output does not go to as well.
  static bool WantedOnStandardError(bool quiet);

 private:
  bool enabled_;
  std::FILE* terminal_;
  Clock::time_point start_;
  Clock::time_point lastDrawn_;
  bool drawn_ = false;
};

}  // namespace vdecode
