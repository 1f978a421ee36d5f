// Per-thread state that the decoding path reaches for every item. It is kept
// small and placed in the static thread-local block, which is reached without
// a call into the dynamic linker.
#pragma once

#define VEL_HOT_THREAD_LOCAL thread_local __attribute__((tls_model("initial-exec")))
