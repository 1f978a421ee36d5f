// Whether a file may be trusted with what this process does on its word
// (loading code it names, or its code itself): only root and the user the
// process runs as can have changed it.
#pragma once

#include <string>

namespace vel {

// Empty when the path is absolute and the file it names, and every directory
// above it up to the root, are owned by root or by this process's user and
// are not writable by group or others; otherwise why not, naming the first
// component that fails. A root-owned directory with the sticky bit (such as
// /tmp) may be writable by all: nobody can replace another user's entries in
// it, and whatever lies in it must pass on its own. Symbolic links are
// followed: the path as written and the path it resolves to must both pass.
std::string UntrustedReason(const std::string& path);

}  // namespace vel
