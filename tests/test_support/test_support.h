// The shared test kit: frames and their builders, the host side (manager,
// decoding, vendor names, language, forwarding probe), reading results by
// label path, and the files of tests/data. Decoder tests include this alone.
#pragma once

#include "captures.h"
#include "frames.h"
#include "host.h"
#include "results.h"
