// Files of tests/data: raw bytes, the frames of a classic pcap capture, and
// every frame of a capture decoded and rendered.
#pragma once

#include <string>
#include <vector>

#include "frames.h"
#include "vel/interfaces.h"

namespace vel::test {

// Reads a file of tests/data into memory.
Bytes ReadDataFile(const std::string& name);

// The paths of the capture files (pcap and pcapng) in a directory of tests/data, sorted.
std::vector<std::string> CaptureFilesIn(const std::string& directory);

// The frames of a classic pcap file of tests/data, as captured (either byte
// order); stops at the first damaged record.
std::vector<Bytes> ReadPcapFrames(const std::string& name);

// Decodes every frame of a pcap file of tests/data and renders each as text;
// returns the texts.
std::vector<std::string> DecodeCapture(IOrvDecoderManager* manager, const std::string& name);

// Every frame of a pcap file of tests/data through the truncation sweep.
void SweepCapture(IOrvDecoderManager* manager, const std::string& name);

}  // namespace vel::test
