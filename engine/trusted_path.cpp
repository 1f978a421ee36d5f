#include "engine/trusted_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace vel {

namespace {

namespace fs = std::filesystem;

// One component, as lstat sees it.
std::string ComponentReason(const fs::path& component) {
  struct stat status {};
  if (::lstat(component.c_str(), &status) != 0) return "cannot examine " + component.string() + ": " + std::strerror(errno);
  if (status.st_uid != 0 && status.st_uid != ::geteuid())
    return component.string() + " is owned by user " + std::to_string(status.st_uid);
  // A link's own mode means nothing: it changes only with its directory, and its target is checked apart.
  if (S_ISLNK(status.st_mode)) return {};
  bool writableByOthers = (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  bool rootStickyDirectory = S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX) && status.st_uid == 0;
  if (writableByOthers && !rootStickyDirectory) return component.string() + " is writable by group or others";
  return {};
}

// The path and every directory above it.
std::string ChainReason(const fs::path& path) {
  for (fs::path component = path;; component = component.parent_path()) {
    if (std::string reason = ComponentReason(component); !reason.empty()) return reason;
    if (component.parent_path() == component || component.parent_path().empty()) return {};
  }
}

}  // namespace

std::string UntrustedReason(const std::string& path) {
  if (!fs::path(path).is_absolute()) return "the path " + path + " is not absolute";
  if (std::string reason = ChainReason(path); !reason.empty()) return reason;
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved)) return "cannot resolve " + path + ": " + std::strerror(errno);
  return resolved == path ? std::string() : ChainReason(resolved);
}

}  // namespace vel
