#include "tools/vdecode/capture_filter.h"

#include <pcap/pcap.h>

namespace vdecode {

namespace {

// What a filter may look at of each packet: no more than libpcap ever captures.
constexpr int kSnapLength = 262144;

}  // namespace

void CaptureFilter::ProgramDeleter::operator()(bpf_program* program) const {
  pcap_freecode(program);
  delete program;
}

bool CaptureFilter::Matches(const RawPacket& packet) {
  pcap_pkthdr header{};
  header.caplen = static_cast<bpf_u_int32>(packet.frame.size());
  header.len = packet.originalLength;
  return pcap_offline_filter(&ProgramFor(packet.linkType), &header, packet.frame.data()) != 0;
}

const bpf_program& CaptureFilter::ProgramFor(uint32_t linkType) {
  auto found = programs_.find(linkType);
  if (found != programs_.end()) return *found->second;
  pcap_t* compiler = pcap_open_dead(PcapDataLink(linkType), kSnapLength);
  if (!compiler) throw FilterError(FilterProblem(expression_, "libpcap cannot compile filters"));
  Program program(new bpf_program{});
  if (pcap_compile(compiler, program.get(), expression_.c_str(), 1, PCAP_NETMASK_UNKNOWN) != 0) {
    std::string reason = pcap_geterr(compiler);
    pcap_close(compiler);
    throw FilterError(FilterProblem(expression_, reason + " (link type " + LinkTypeText(linkType) + ")"));
  }
  pcap_close(compiler);
  return *programs_.emplace(linkType, std::move(program)).first->second;
}

std::string FilterProblem(const std::string& expression, const std::string& reason) {
  return "bad capture filter '" + expression + "': " + reason;
}

}  // namespace vdecode
