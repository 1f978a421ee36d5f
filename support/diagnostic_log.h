// A levelled, time-stamped line log. With no file name set it writes to no
// file; lines still reach the listener and the debugger output.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace vel {

enum LogLevel : uint32_t {
  kLogFatal = 0x01,
  kLogError = 0x02,
  kLogWarn = 0x04,
  kLogInfo = 0x08,
  kLogDebug = 0x10,
  kLogTrace = 0x20,
};

class DiagnosticLog {
 public:
  using Listener = std::function<void(std::string_view line)>;

  static DiagnosticLog& Instance();

  void Log(uint32_t level, const char* format, ...) __attribute__((format(printf, 3, 4)));

  void SetFileName(const std::string& name);
  void SetLevelMask(uint32_t mask);
  uint32_t LevelMask() const { return mask_; }
  void SetMaxFileSize(uint64_t bytes);
  void SetMaxRotatedFiles(size_t count);
  void SetListener(Listener listener);

  static std::string_view TagOf(uint32_t level);

 private:
  DiagnosticLog() = default;
  void Write(const std::string& line);
  void Rotate();

  std::ofstream stream_;
  std::string fileName_;
  uint32_t mask_ = 0x3F;
  std::mutex mutex_;
  uint64_t maxFileSize_ = 0;
  uint64_t written_ = 0;
  std::deque<std::string> rotated_;
  size_t maxRotated_ = 10;
  Listener listener_;
};

// The "%Y-%m-%d %H:%M" local time stamp of the log.
std::string LogTimeStamp();

// Whether log lines are echoed to standard error: when a debugger is attached
// or VEL_DEBUG_OUTPUT=1 is set.
bool DebuggerOutputEnabled();

}  // namespace vel
