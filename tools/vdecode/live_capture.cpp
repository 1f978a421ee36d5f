#include "tools/vdecode/live_capture.h"

#include <pcap/pcap.h>

#include <csignal>
#include <cstdio>
#include <iterator>

#include "tools/vdecode/capture_filter.h"
#include "tools/vdecode/pcap_packet.h"
#include "vel/interfaces.h"

namespace vdecode {

namespace {

// libpcap returns at least this often, so a stop request is seen even when no
// packet arrives.
constexpr int kTimeoutMilliseconds = 100;
constexpr int kStopSignals[] = {SIGINT, SIGTERM};

volatile std::sig_atomic_t stopRequested = 0;
pcap_t* capturing = nullptr;  // the capture a stop request breaks

extern "C" void RequestStop(int) {
  stopRequested = 1;
  if (capturing) pcap_breakloop(capturing);
}

std::string Counted(uint64_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

class LiveSource : public PacketSource {
 public:
  LiveSource(std::string interface, pcap_t* capture) : interface_(std::move(interface)), capture_(capture) {
    stopRequested = 0;
    capturing = capture_;
    struct sigaction action {};
    action.sa_handler = RequestStop;
    // A second signal finds the default action again and ends the program.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &action, &previous_[i]);
  }

  ~LiveSource() override {
    for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &previous_[i], nullptr);
    capturing = nullptr;
    pcap_close(capture_);
  }

  bool Next(RawPacket& packet) override {
    while (!stopRequested) {
      pcap_pkthdr* header = nullptr;
      const u_char* data = nullptr;
      int result = pcap_next_ex(capture_, &header, &data);
      if (result == 0) continue;  // the timeout: look at the stop request again
      if (result == PCAP_ERROR_BREAK) break;
      if (result != 1) throw InputError(interface_ + ": capture failed: " + pcap_geterr(capture_));
      ++captured_;
      TakePcapPacket(capture_, *header, data, packet);
      return true;
    }
    return false;
  }

  std::string Name() const override { return interface_; }
  bool Live() const override { return true; }

  // "eth0: 12 packets captured, 0 dropped by the kernel"
  std::string ClosingNote() override {
    pcap_stat statistics{};
    std::string dropped = pcap_stats(capture_, &statistics) == 0 ? std::to_string(statistics.ps_drop) : "an unknown number";
    return interface_ + ": " + Counted(captured_, "packet") + " captured, " + dropped + " dropped by the kernel";
  }

 private:
  std::string interface_;
  pcap_t* capture_;
  uint64_t captured_ = 0;
  struct sigaction previous_[std::size(kStopSignals)] {};
};

std::string ActivationProblem(const std::string& interface, pcap_t* capture, int status) {
  std::string detail = pcap_geterr(capture);
  std::string said = detail.empty() ? "" : " (" + detail + ")";
  switch (status) {
    case PCAP_ERROR_PERM_DENIED:
      return interface + ": no permission to capture" + said + "; capturing needs root or the CAP_NET_RAW capability";
    case PCAP_ERROR_PROMISC_PERM_DENIED:
      return interface + ": no permission to capture in promiscuous mode; -p captures without it";
    case PCAP_ERROR_NO_SUCH_DEVICE:
      return interface + ": no such interface" + said + "; -D lists the interfaces";
    case PCAP_ERROR_IFACE_NOT_UP:
      return interface + ": the interface is not up";
    default:
      return interface + ": cannot capture: " + pcap_statustostr(status) + said;
  }
}

void SetFilter(pcap_t* capture, const std::string& interface, const std::string& expression) {
  bpf_u_int32 network = 0, netmask = PCAP_NETMASK_UNKNOWN;
  char error[PCAP_ERRBUF_SIZE] = {};
  if (pcap_lookupnet(interface.c_str(), &network, &netmask, error) != 0) netmask = PCAP_NETMASK_UNKNOWN;
  bpf_program program{};
  if (pcap_compile(capture, &program, expression.c_str(), 1, netmask) != 0)
    throw FilterError(FilterProblem(expression, pcap_geterr(capture)));
  int result = pcap_setfilter(capture, &program);
  pcap_freecode(&program);
  if (result != 0) throw InputError(interface + ": cannot set the capture filter: " + pcap_geterr(capture));
}

// The interface's flags as a short text: "Up, Running, Loopback".
std::string FlagsText(bpf_u_int32 flags) {
  std::string text;
  auto add = [&](bpf_u_int32 flag, const char* name) {
    if (flags & flag) text += (text.empty() ? "" : ", ") + std::string(name);
  };
  add(PCAP_IF_UP, "Up");
  add(PCAP_IF_RUNNING, "Running");
  add(PCAP_IF_LOOPBACK, "Loopback");
  add(PCAP_IF_WIRELESS, "Wireless");
  return text;
}

}  // namespace

std::unique_ptr<PacketSource> OpenLiveCapture(const LiveCaptureSettings& settings) {
  const std::string& interface = settings.interface;
  char error[PCAP_ERRBUF_SIZE] = {};
  pcap_t* capture = pcap_create(interface.c_str(), error);
  if (!capture) throw InputError(interface + ": cannot capture: " + error);
  pcap_set_snaplen(capture, settings.snapLength);
  pcap_set_promisc(capture, settings.promiscuous ? 1 : 0);
  pcap_set_timeout(capture, kTimeoutMilliseconds);
  pcap_set_immediate_mode(capture, 1);
  pcap_set_tstamp_precision(capture, PCAP_TSTAMP_PRECISION_MICRO);
  int status = pcap_activate(capture);
  if (status < 0) {
    std::string problem = ActivationProblem(interface, capture, status);
    pcap_close(capture);
    throw InputError(problem);
  }
  auto source = std::make_unique<LiveSource>(interface, capture);
  auto linkType = static_cast<uint32_t>(pcap_datalink(capture));
  if (vel::LinkTypeFromPcap(linkType) < 0)
    throw InputError(interface + ": link type " + LinkTypeText(linkType) + " is not supported");
  if (!settings.filter.empty()) SetFilter(capture, interface, settings.filter);
  if (settings.announce)
    std::fprintf(stderr, "vdecode: listening on %s, link type %s, snapshot length %d bytes\n", interface.c_str(),
                 LinkTypeText(linkType).c_str(), pcap_snapshot(capture));
  return source;
}

std::string InterfaceListing() {
  pcap_if_t* interfaces = nullptr;
  char error[PCAP_ERRBUF_SIZE] = {};
  if (pcap_findalldevs(&interfaces, error) != 0) throw InputError(std::string("cannot list the interfaces: ") + error);
  std::string listing;
  int number = 0;
  for (const pcap_if_t* interface = interfaces; interface; interface = interface->next) {
    listing += std::to_string(++number) + "." + interface->name;
    if (interface->description) listing += std::string(" (") + interface->description + ")";
    std::string flags = FlagsText(interface->flags);
    if (!flags.empty()) listing += " [" + flags + "]";
    listing += "\n";
  }
  pcap_freealldevs(interfaces);
  return listing;
}

}  // namespace vdecode
