// Classifies a frame into its protocol layers before any module runs.
#pragma once

#include "vel/interfaces.h"

namespace vel {

// Fills a zeroed record from the frame alone; never reads past the captured data.
void Preclassify(const CapturedPacket* captured, ParsedPacket* packet);

}  // namespace vel
