// The diagnostic log: try-locked, so a line arriving while another thread logs
// is dropped rather than waited for.
#include "support/diagnostic_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace vel {

namespace {

bool TracerAttached() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return false;
  char line[256];
  bool attached = false;
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, "TracerPid:", 10) == 0) {
      attached = std::atoi(line + 10) != 0;
      break;
    }
  }
  std::fclose(status);
  return attached;
}

}  // namespace

std::string LogTimeStamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return std::string(text, n);
}

bool DebuggerOutputEnabled() {
  const char* flag = std::getenv("VEL_DEBUG_OUTPUT");
  if (flag && std::strcmp(flag, "1") == 0) return true;
  return TracerAttached();
}

DiagnosticLog& DiagnosticLog::Instance() {
  static DiagnosticLog log;
  return log;
}

std::string_view DiagnosticLog::TagOf(uint32_t level) {
  switch (level) {
    case kLogFatal: return "[FATAL] ";
    case kLogError: return "[ERROR] ";
    case kLogWarn: return "[WARN ] ";
    case kLogInfo: return "[INFO ] ";
    case kLogDebug: return "[DEBUG] ";
    case kLogTrace: return "[TRACE] ";
    default: return "";
  }
}

void DiagnosticLog::Log(uint32_t level, const char* format, ...) {
  std::unique_lock lock(mutex_, std::try_to_lock);
  if (!lock.owns_lock() || (level & mask_) == 0) return;
  char message[8192];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  std::string line = LogTimeStamp();
  line += ' ';
  line += TagOf(level);
  line += message;
  line += "\r\n";
  Write(line);
}

void DiagnosticLog::Write(const std::string& line) {
  if (stream_.is_open()) {
    stream_ << line;
    stream_.flush();
  }
  if (listener_) listener_(line);
  if ((mask_ & kLogError) && DebuggerOutputEnabled()) std::fputs(line.c_str(), stderr);
  written_ += line.size();
  if (maxFileSize_ && written_ > maxFileSize_ && !fileName_.empty()) Rotate();
}

void DiagnosticLog::Rotate() {
  stream_.close();
  std::string rotatedName = fileName_ + "." + LogTimeStamp();
  std::rename(fileName_.c_str(), rotatedName.c_str());
  rotated_.push_back(rotatedName);
  if (rotated_.size() > maxRotated_) {
    std::remove(rotated_.front().c_str());
    rotated_.pop_front();
  }
  stream_.open(fileName_, std::ios::app | std::ios::binary);
  written_ = 0;
}

void DiagnosticLog::SetFileName(const std::string& name) {
  std::lock_guard lock(mutex_);
  stream_.close();
  fileName_ = name;
  if (!name.empty()) stream_.open(name, std::ios::app | std::ios::binary);
}

void DiagnosticLog::SetLevelMask(uint32_t mask) {
  std::lock_guard lock(mutex_);
  mask_ = mask;
}

void DiagnosticLog::SetMaxFileSize(uint64_t bytes) {
  std::lock_guard lock(mutex_);
  maxFileSize_ = bytes;
}

void DiagnosticLog::SetMaxRotatedFiles(size_t count) {
  std::lock_guard lock(mutex_);
  maxRotated_ = count;
}

void DiagnosticLog::SetListener(Listener listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

}  // namespace vel
