// The protocol catalogue and the maps from wire numbers to protocol types.
//
// Everything here is constant data built at compile time: the maps that
// follow a numbering rule are derived from that rule by constexpr functions,
// and static_asserts pin the rule's landmarks, so a slip in a list fails the
// build instead of shifting every type after it.
#include "vel/protocol_catalogue.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>

namespace vel {
namespace {

struct ProtocolNames {
  const char16_t* shortName;
  const char16_t* longName;
};

// Indexed by protocol type. The long names of the numbered IP and PPP rows are
// the protocols' registry descriptions. A few long names are not what the
// registry says (row 148 is a single blank, 156 and 320 carry a stray blank,
// 254, 298 and 323 are misspelt): they are the texts this engine has always
// shown as next-protocol comments, so they stay exactly as they are.
constexpr ProtocolNames kCatalogue[] = {
    // 0-65: the engine's own protocols.
    {u"UNKNOWN", u"Unknown Protocol"},
    {u"IP", u"Internet Protocol (v4)"},
    {u"TCP", u"Transmission Control Protocol"},
    {u"HTTP", u"Hyper Text Transfer Protocol"},
    {u"HTTPS", u"Secure HTTP"},
    {u"SSL", u"Secure Sockets Layer"},
    {u"SMTP", u"Simple Mail Transfer Protocol"},
    {u"MIME", u"Multi-purpose Internet Mail Extensions"},
    {u"IMAP", u"Internet Message Access Protocol"},
    {u"POP3", u"Post Office Protocol"},
    {u"FTP_CTRL", u"File Transfer Protocol"},
    {u"NTP", u"Network Time Protocol"},
    {u"DHCP", u"Dynamic Host Configuration Protocol"},
    {u"SNMP", u"Simple Network Management Protocol"},
    {u"LDAP", u"Lightweight Directory Access Protocol"},
    {u"ICMP", u"Internet Control Message Protocol"},
    {u"ARP", u"Address Resolution Protocol"},
    {u"RARP", u"Reverse Address Resolution Protocol"},
    {u"BOOTP", u"Boot Protocol"},
    {u"PPTP", u"Point to Point Tunneling Protocol"},
    {u"UDP", u"User Datagram Protocol"},
    {u"FTP_DATA", u"File Transfer Protocol"},
    {u"QQ", u"Chat Protocol"},
    {u"MSN", u"MSN Messenger"},
    {u"TFTP", u"Trivial File Transfer Protocol"},
    {u"TELNET", u"Telecommunication network"},
    {u"FINGER", u"The Finger User Information Protocol"},
    {u"NNTP", u"Network News Transfer Protocol"},
    {u"IRC", u"Internet Relay Chat Protocol"},
    {u"DNS", u"Domain Name System Protocol"},
    {u"NFS", u"Network File System Protocol"},
    {u"PMAP", u"Port Mapper Protocol"},
    {u"NETBIOS", u"NetWork Basic Input/Output System"},
    {u"ECHO", u"Echo Protocol"},
    {u"WHOIS", u"Whois Protocol"},
    {u"IGMP", u"Internet Group Multicast Protocol"},
    {u"IGRP", u"Interior Gateway Routing Protocol"},
    {u"EGP", u"Edge Gateway Protocol"},
    {u"GGP", u"Gateway-to-Gateway Protocol"},
    {u"AH", u"Authentication Header"},
    {u"ESP", u"Encapsulating Security Payload"},
    {u"PIM", u"Protocol Independent Multicast"},
    {u"PGM", u"Pragmatic General Multicast Protocol"},
    {u"SLP", u"Server Location Point"},
    {u"NBNS", u"NetBIOS Name Service"},
    {u"NBDG", u"NetBIOS Datagram Service"},
    {u"NBSS", u"NetBIOS Session Service"},
    {u"CIFS", u"Common Internet File System"},
    {u"Ethernet II", u"Ethernet II Frame"},
    {u"Ethernet SNAP", u"Ethernet 802.3 SNAP"},
    {u"Ethernet SAP", u"Ethernet 802.3 SAP"},
    {u"Ethernet raw", u"Ethernet 802.3 raw"},
    {u"IPv6", u"Internet Protocol (v6)"},
    {u"ICMPv6", u"Internet Control Message Protocol (v6)"},
    {u"SMB", u"Server Message Block"},
    {u"MailSlot", u"SMB MailSlot Protocol"},
    {u"Browse", u"SMB Browse Protocol"},
    {u"RIP", u"Routing Information Protocol"},
    {u"Radius", u"Remote Authentication Dial In User Service"},
    {u"PPPoED", u"PPP-over-Ethernet Discovery"},
    {u"PPPoES", u"PPP-over-Ethernet Session"},
    {u"PPP", u"Point-to-point protocol"},
    {u"PPP LCP", u"PPP Link Control Protocol"},
    {u"PPP PAP", u"PPP Password Authentication Protocol"},
    {u"PPP IPCP", u"PPP Internet Protocol Control Protocol"},
    {u"PPP IPV6C", u"PPP IPv6 Control Protocol"},
    // 66-195: IP protocols known by number, in increasing order of number.
    {u"HOPOPT", u"IPv6 Hop-by-Hop Option"},
    {u"IPv4E", u"IPv4 encapsulation"},
    {u"SI", u"Stream"},
    {u"CBT", u"CBT"},
    {u"BBN-RCC-MON", u"BBN RCC Monitoring"},
    {u"NVP-II", u"Network Voice Protocol"},
    {u"PUP", u"PUP"},
    {u"ARGUS", u"ARGUS"},
    {u"EMCON", u"EMCON"},
    {u"XNET", u"Cross Net Debugger"},
    {u"CHAOS", u"Chaos"},
    {u"MUX", u"Multiplexing"},
    {u"DCN-MEAS", u"DCN Measurement Subsystems"},
    {u"HMP", u"Host Monitoring"},
    {u"PRM", u"Packet Radio Measurement"},
    {u"XNS-IDP", u"XEROX NS IDP"},
    {u"TRUNK-1", u"Trunk-1"},
    {u"TRUNK-2", u"Trunk-2"},
    {u"LEAF-1", u"Leaf-1"},
    {u"LEAF-2", u"Leaf-2"},
    {u"RDP", u"Reliable Data Protocol"},
    {u"IRTP", u"Internet Reliable Transaction"},
    {u"ISO-TP4", u"ISO Transport Protocol Class 4"},
    {u"NETBLT", u"Bulk Data Transfer Protocol"},
    {u"MFE-NSP", u"MFE Network Services Protocol"},
    {u"MERIT-INP", u"MERIT Internodal Protocol"},
    {u"DCCP", u"Datagram Congestion Control Protocol"},
    {u"3PC", u"Third Party Connect Protocol"},
    {u"IDPR", u"Inter-Domain Policy Routing Protocol"},
    {u"XTP", u"XTP"},
    {u"DDP", u"Datagram Delivery Protocol"},
    {u"IDPR-CMTP", u"IDPR Control Message Transport Proto"},
    {u"TP++", u"TP++ Transport Protocol"},
    {u"IL", u"IL Transport Protocol"},
    {u"SDRP", u"Source Demand Routing Protocol"},
    {u"IPv6-Route", u"Routing Header for IPv6"},
    {u"IPv6-Frag", u"Fragment Header for IPv6"},
    {u"IDRP", u"Inter-Domain Routing Protocol"},
    {u"RSVP", u"Reservation Protocol"},
    {u"GRE", u"Generic Routing Encapsulation"},
    {u"DSR", u"Dynamic Source Routing Protocol"},
    {u"BNA", u"BNA"},
    {u"I-NLSP", u"Integrated Net Layer Security  TUBA"},
    {u"SWIPE", u"IP with Encryption"},
    {u"NARP", u"NBMA Address Resolution Protocol"},
    {u"MOBILE", u"IP Mobility"},
    {u"TLSP",
     u"Transport Layer Security Protocol using Kryptonet key management"},
    {u"SKIP", u"SKIP"},
    {u"IPv6-NoNxt", u"No Next Header for IPv6"},
    {u"IPv6-Opts", u"Destination Options for IPv6"},
    {u"AHI", u"any host internal protocol"},
    {u"CFTP", u"CFTP"},
    {u"ALN", u"any local network"},
    {u"SAT-EXPAK", u"SATNET and Backroom EXPAK"},
    {u"KRYPTOLAN", u"Kryptolan"},
    {u"RVD", u"MIT Remote Virtual Disk Protocol"},
    {u"IPPC", u"Internet Pluribus Packet Core"},
    {u"ADFS", u"any distributed file system"},
    {u"SAT-MON", u"SATNET Monitoring"},
    {u"VISA", u"VISA Protocol"},
    {u"IPCV", u"Internet Packet Core Utility"},
    {u"CPNX", u"Computer Protocol Network Executive"},
    {u"CPHB", u"Computer Protocol Heart Beat"},
    {u"WSN", u"Wang Span Network"},
    {u"PVP", u"Packet Video Protocol"},
    {u"BR-SAT-MON", u"Backroom SATNET Monitoring"},
    {u"SUN-ND", u"SUN ND PROTOCOL-Temporary"},
    {u"WB-MON", u"WIDEBAND Monitoring"},
    {u"WB-EXPAK", u"WIDEBAND EXPAK"},
    {u"ISO-IP", u"ISO Internet Protocol"},
    {u"VMTP", u"VMTP"},
    {u"SECURE-VMTP", u"SECURE-VMTP"},
    {u"VINES", u"VINES"},
    {u"TTP", u"Transaction Transport Protocol"},
    {u"NSFNET-IGP", u"NSFNET-IGP"},
    {u"DGP", u"Dissimilar Gateway Protocol"},
    {u"TCF", u"TCF"},
    {u"EIGRP", u"EIGRP"},
    {u"OSPFIGP", u"OSPFIGP"},
    {u"Sprite-RPC", u"Sprite RPC Protocol"},
    {u"LARP", u"Locus Address Resolution Protocol"},
    {u"MTP", u"Multicast Transport Protocol"},
    {u"AX.25", u" "},
    {u"IPIP", u"IP-within-IP Encapsulation Protocol"},
    {u"MICP", u"Mobile Internetworking Control Pro."},
    {u"SCC-SP", u"Semaphore Communications Sec. Pro."},
    {u"ETHERIP", u"Ethernet-within-IP Encapsulation"},
    {u"ENCAP", u"Encapsulation Header"},
    {u"APES", u"any private encryption scheme"},
    {u"GMTP", u"GMTP"},
    {u"IFMP", u"Ipsilon Flow Management Protocol "},
    {u"PNNI", u"PNNI over IP"},
    {u"ARIS", u"ARIS"},
    {u"SCPS", u"SCPS"},
    {u"QNX", u"QNX"},
    {u"A/N", u"Active Networks"},
    {u"IPComp", u"IP Payload Compression Protocol"},
    {u"SNP", u"Sitara Networks Protocol"},
    {u"Compaq-Peer", u"Compaq Peer Protocol"},
    {u"IPX-in-IP", u"IPX in IP"},
    {u"VRRP", u"Virtual Router Redundancy Protocol"},
    {u"A0HP", u"any 0-hop protocol"},
    {u"L2TP", u"Layer Two Tunneling Protocol"},
    {u"DDX", u"D-II Data Exchange (DDX)"},
    {u"IATP", u"Interactive Agent Transfer Protocol"},
    {u"STP", u"Schedule Transfer Protocol"},
    {u"SRP", u"SpectraLink Radio Protocol"},
    {u"UTI", u"UTI"},
    {u"SMP", u"Simple Message Protocol"},
    {u"SM", u"Simple Multicast Protocol"},
    {u"PTP", u"Performance Transparency Protocol"},
    {u"ISIS-over-IPv4", u"ISIS over IPv4"},
    {u"FIRE", u"FIRE"},
    {u"CRTP", u"Combat Radio Transport Protocol"},
    {u"CRUDP", u"Combat Radio User Datagram"},
    {u"SSCOPMCE", u"SSCOPMCE"},
    {u"IPLT", u"IPLT"},
    {u"SPS", u"Secure Packet Shield"},
    {u"PIPE", u"Private IP Encapsulation within IP"},
    {u"SCTP", u"Stream Control Transmission Protocol"},
    {u"FC", u"Fibre Channel"},
    {u"RSVP-E2E-IGNORE", u"RSVP-E2E-IGNORE"},
    {u"MH", u"Mobility Header"},
    {u"UDPLite", u"UDPLite"},
    {u"MPLS-in-IP", u"MPLS-in-IP"},
    {u"manet", u"MANET Protocols"},
    {u"HIP", u"Host Identity Protocol"},
    {u"Shim6", u"Shim6 Protocol"},
    {u"WESP", u"Wrapped Encapsulating Security Payload"},
    {u"ROHC", u"Robust Header Compression"},
    // 196-325: PPP protocols known by number, in increasing order of number.
    {u"PPP PADDING", u"Padding Protocol"},
    {u"PPP ROHC SCID", u"ROHC small-CID"},
    {u"PPP ROHC LCID", u"ROHC large-CID"},
    {u"PPP IP", u"Internet Protocol version 4"},
    {u"PPP OSI", u"OSI Network Layer"},
    {u"PPP XNSIDP", u"Xerox NS IDP"},
    {u"PPP DEC4", u"DECnet Phase IV"},
    {u"PPP AT", u"Appletalk"},
    {u"PPP IPX", u"Novell IPX"},
    {u"PPP VJC COMP", u"Van Jacobson Compressed TCP/IP"},
    {u"PPP VJC UNCOMP", u"Van Jacobson Uncompressed TCP/IP"},
    {u"PPP BCP", u"Bridging PDU"},
    {u"PPP ST", u"Stream Protocol (ST-II)"},
    {u"PPP VINES", u"Banyan Vines"},
    {u"PPP AT EDDP", u"AppleTalk EDDP"},
    {u"PPP AT SB", u"AppleTalk SmartBuffered"},
    {u"PPP MP", u"Multi-Link"},
    {u"PPP NB", u"NETBIOS Framing"},
    {u"PPP CISCO", u"Cisco Systems"},
    {u"PPP ASCOM", u"Ascom Timeplex"},
    {u"PPP LBLB", u"Fujitsu Link Backup and Load Balancing (LBLB)"},
    {u"PPP RL", u"DCA Remote Lan"},
    {u"PPP SDTP", u"Serial Data Transport Protocol (PPP-SDTP)"},
    {u"PPP LLC", u"SNA over 802.2"},
    {u"PPP SNA", u"SNA"},
    {u"PPP IPV6HC", u"IPv6 Header Compression"},
    {u"PPP KNX", u"KNX Bridging Data"},
    {u"PPP ENCRYPT", u"Encryption"},
    {u"PPP ILE", u"Individual Link Encryption"},
    {u"PPP IPV6", u"Internet Protocol version 6"},
    {u"PPP MUX", u"PPP Muxing"},
    {u"PPP VSNP", u"Vendor-Specific Network Protocol (VSNP)"},
    {u"PPP TNP", u"TRILL Network Protocol (TNP)"},
    {u"PPP RTP FH", u"RTP IPHC Full Header"},
    {u"PPP RTP CTCP", u"RTP IPHC Compressed TCP"},
    {u"PPP RTP CNTCP", u"RTP IPHC Compressed Non TCP"},
    {u"PPP RTP CUDP8", u"RTP IPHC Compressed UDP 8"},
    {u"PPP RTP CRTP8", u"RTP IPHC Compressed RTP 8"},
    {u"PPP STAMPEDE", u"Stampede Bridging"},
    {u"PPP MPPLUS", u"MP+ Protocol"},
    {u"PPP NTCITS IPI", u"NTCITS IPI"},
    {u"PPP ML SLCOMP", u"single link compression in multilink"},
    {u"PPP COMP", u"compressed datagram"},
    {u"PPP STP HELLO", u"802.1d Hello Packets"},
    {u"PPP IBM SR", u"IBM Source Routing BPDU"},
    {u"PPP DEC LB", u"DEC LANBridge100 Spanning Tree"},
    {u"PPP CDP", u"Cisco Discovery Protocol"},
    {u"PPP NETCS", u"Netcs Twin Routing"},
    {u"PPP STP", u"STP - Scheduled Transfer Protocol"},
    {u"PPP EDP", u"EDP - Extreme Discovery Protocol"},
    {u"PPP OSCP", u"Optical Supervisory Channel Protocol (OSCP)"},
    {u"PPP OSCP2", u"Optical Supervisory Channel Protocol (OSCP)"},
    {u"PPP LUXCOM", u"Luxcom"},
    {u"PPP SIGMA", u"Sigma Network Systems"},
    {u"PPP ACSP", u"Apple Client Server Protocol"},
    {u"PPP MPLS UNI", u"MPLS Unicast"},
    {u"PPP MPLS MULTI", u"MPLS Multicast"},
    {u"PPP P12844", u"IEEE p1284.4 standard - data packets"},
    {u"PPP TETRA", u"ETSI TETRA Network Procotol Type 1"},
    {u"PPP MFTP", u"Multichannel Flow Treatment Protocol"},
    {u"PPP RTP CTCPND", u"RTP IPHC Compressed TCP No Delta"},
    {u"PPP RTP CS", u"RTP IPHC Context State"},
    {u"PPP RTP CUDP16", u"RTP IPHC Compressed UDP 16"},
    {u"PPP RTP CRDP16", u"RTP IPHC Compressed RTP 16"},
    {u"PPP CCCP", u"Cray Communications Control Protocol"},
    {u"PPP CDPD MNRP", u"CDPD Mobile Network Registration Protocol"},
    {u"PPP EXPANDAP", u"Expand accelerator protocol"},
    {u"PPP ODSICP", u"ODSICP NCP"},
    {u"PPP DOCSIS", u"DOCSIS DLL"},
    {u"PPP CETACEANNDP", u"Cetacean Network Detection Protocol"},
    {u"PPP LZS", u"Stacker LZS"},
    {u"PPP REFTEK", u"RefTek Protocol"},
    {u"PPP FC", u"Fibre Channel"},
    {u"PPP EMIT", u"EMIT Protocols"},
    {u"PPP VSP", u"Vendor-Specific Protocol (VSP)"},
    {u"PPP TLSP", u"TRILL Link State Protocol (TLSP)"},
    {u"PPP OSINLCP", u"OSI Network Layer Control Protocol"},
    {u"PPP XNSIDPCP", u"Xerox NS IDP Control Protocol"},
    {u"PPP DECNETCP", u"DECnet Phase IV Control Protocol"},
    {u"PPP ATCP", u"Appletalk Control Protocol"},
    {u"PPP IPXCP", u"Novell IPX Control Protocol"},
    {u"PPP BRIDGENCP", u"Bridging NCP"},
    {u"PPP SPCP", u"Stream Protocol Control Protocol"},
    {u"PPP BVCP", u"Banyan Vines Control Protocol"},
    {u"PPP MLCP", u"Multi-Link Control Protocol"},
    {u"PPP NBCP", u"NETBIOS Framing Control Protocol"},
    {u"PPP CISCOCP", u"Cisco Systems Control Protocol"},
    {u"PPP ASCOMCP", u"Ascom Timeplex"},
    {u"PPP LBLBCP", u"Fujitsu LBLB Control Protocol"},
    {u"PPP RLNCP", u"DCA Remote Lan Network Control Protocol (RLNCP)"},
    {u"PPP SDCP", u"Serial Data Control Protocol (PPP-SDCP)"},
    {u"PPP LLCCP", u"SNA over 802.2 Control Protocol"},
    {u"PPP SNACP", u"SNA Control Protocol"},
    {u"PPP IP6HCCP", u"IP6 Header Compression Control Protocol"},
    {u"PPP KNXCP", u"KNX Bridging Control Protocol"},
    {u"PPP ECP", u"Encryption Control Protocol"},
    {u"PPP ILECP", u"Individual Link Encryption Control Protocol"},
    {u"PPP IPV6CP", u"IPv6 Control Protocol"},
    {u"PPP MUXCP", u"PPP Muxing Control Protocol"},
    {u"PPP VSNCP", u"Vendor-Specific Network Control Protocol (VSNCP)"},
    {u"PPP TNCP", u"TRILL Network Control Protocol (TNCP)"},
    {u"PPP STAMPEDECP", u"Stampede Bridging Control Protocol"},
    {u"PPP MPPCP", u"MP+ Contorol Protocol"},
    {u"PPP IPICP", u"NTCITS IPI Control Protocol"},
    {u"PPP SLCC", u"single link compression in multilink control"},
    {u"PPP CCP", u"Compression Control Protocol"},
    {u"PPP CDPCP", u"Cisco Discovery Protocol Control"},
    {u"PPP NETCSCP", u"Netcs Twin Routing"},
    {u"PPP STPCP", u"STP - Control Protocol"},
    {u"PPP EDPCP", u"EDPCP - Extreme Discovery Protocol Ctrl Prtcl"},
    {u"PPP ACSPC", u"Apple Client Server Protocol Control"},
    {u"PPP MPLSCP", u"MPLSCP"},
    {u"PPP P12844CP", u"IEEE p1284.4 standard - Protocol Control"},
    {u"PPP TETRACP", u"ETSI TETRA TNP1 Control Protocol"},
    {u"PPP MFTPCP", u"Multichannel Flow Treatment Protocol"},
    {u"PPP LQR", u"Link Quality Report"},
    {u"PPP SPAP", u"Shiva Password Authentication Protocol"},
    {u"PPP CBCP", u"CallBack Control Protocol (CBCP)"},
    {u"PPP BACP", u"BACP Bandwidth Allocation Control Protocol"},
    {u"PPP BAP", u"BAP"},
    {u"PPP VSAP", u"Vendor-Specific Authentication Protocol (VSAP)"},
    {u"PPP CONTCP", u"Container Control Protocol"},
    {u"PPP CHAP", u"Challenge Handshake Authentication Protocol"},
    {u"PPP RSAAP", u"RSA Authentication Protocol"},
    {u"PPP EAP", u" Extensible Authentication Protocol"},
    {u"PPP SIEP", u"Mitsubishi Security Info Exch Ptcl (SIEP)"},
    {u"PPP SBAP", u"Stampede Bridging Authorization Protocol"},
    {u"PPP PRPAP", u"Proprietary Authentication Protoco"},
    {u"PPP PRPAP2", u"Proprietary Authentication Protocol"},
    {u"PPP PRPNIAP", u"Proprietary Node ID Authentication Protocol"},
    // 326-330: the engine's own protocols, continued.
    {u"Vlan", u"Virtual Local Area Network"},
    {u"LLDP", u"Link Layer Discovery Protocol"},
    {u"NDP", u"Neighbor Discovery Protocol"},
    {u"CDP", u"Cisco Discovery Protocol"},
    {u"Alarm", u"Alarm"},
};
static_assert(std::size(kCatalogue) == kProtocolTypeCount);

// Protocol types the lookups below fall back on.
constexpr uint32_t kUnknownType = 0;
constexpr uint32_t kTcpType = 2;
constexpr uint32_t kUdpType = 20;

struct WireNumberType {
  uint16_t number;
  uint16_t type;
};

// IP protocol numbers 0-140 are all known. The ones listed here map to rows of
// the engine's own protocols; every other number, in increasing order, takes
// the next row of the IP block.
constexpr uint32_t kIpProtocolNumberCount = 141;
constexpr uint16_t kFirstIpBlockRow = 66;
constexpr uint16_t kLastIpBlockRow = 195;
constexpr WireNumberType kIpProtocolsWithOwnRow[] = {
    {1, 15},   // ICMP
    {2, 35},   // IGMP
    {3, 38},   // GGP
    {6, 2},    // TCP
    {8, 37},   // EGP
    {9, 36},   // IGRP
    {17, 20},  // UDP
    {41, 52},  // IPv6
    {50, 40},  // ESP
    {51, 39},  // AH
    {58, 53},  // ICMPv6
};

// Every PPP protocol number that has a type, in increasing order. The numbers
// with a row among the engine's own protocols are listed separately; the
// others take the rows of the PPP block in order. Rows 225 and 293 (IPv6 and
// its control protocol) are never reached, because those two numbers map to
// the engine's own IPv6 and IPV6C rows instead.
constexpr uint16_t kPppProtocolNumbers[] = {
    0x0001, 0x0003, 0x0005, 0x0021, 0x0023, 0x0025, 0x0027, 0x0029, 0x002B,
    0x002D, 0x002F, 0x0031, 0x0033, 0x0035, 0x0039, 0x003B, 0x003D, 0x003F,
    0x0041, 0x0043, 0x0045, 0x0047, 0x0049, 0x004B, 0x004D, 0x004F, 0x0051,
    0x0053, 0x0055, 0x0057, 0x0059, 0x005B, 0x005D, 0x0061, 0x0063, 0x0065,
    0x0067, 0x0069, 0x006F, 0x0073, 0x00C1, 0x00FB, 0x00FD, 0x0201, 0x0203,
    0x0205, 0x0207, 0x0209, 0x020B, 0x020D, 0x0211, 0x0213, 0x0231, 0x0233,
    0x0235, 0x0281, 0x0283, 0x0285, 0x0287, 0x0289, 0x2063, 0x2065, 0x2067,
    0x2069, 0x4001, 0x4003, 0x4005, 0x4007, 0x4009, 0x400B, 0x4021, 0x4023,
    0x4025, 0x4027, 0x405B, 0x405D, 0x8021, 0x8023, 0x8025, 0x8027, 0x8029,
    0x802B, 0x8031, 0x8033, 0x8035, 0x803D, 0x803F, 0x8041, 0x8043, 0x8045,
    0x8047, 0x8049, 0x804B, 0x804D, 0x804F, 0x8051, 0x8053, 0x8055, 0x8057,
    0x8059, 0x805B, 0x805D, 0x806F, 0x8073, 0x80C1, 0x80FB, 0x80FD, 0x8207,
    0x8209, 0x820B, 0x820D, 0x8235, 0x8281, 0x8285, 0x8287, 0x8289, 0xC021,
    0xC023, 0xC025, 0xC027, 0xC029, 0xC02B, 0xC02D, 0xC05B, 0xC081, 0xC223,
    0xC225, 0xC227, 0xC229, 0xC26F, 0xC281, 0xC283, 0xC481,
};
constexpr uint16_t kFirstPppBlockRow = 196;
constexpr uint16_t kLastPppBlockRow = 325;
constexpr uint16_t kUnreachedPppBlockRows[] = {225, 293};
constexpr WireNumberType kPppProtocolsWithOwnRow[] = {
    {0x0057, 52},  // IPv6
    {0xC021, 62},  // PPP LCP
    {0xC023, 63},  // PPP PAP
    {0x8021, 64},  // PPP IPCP
    {0x8057, 65},  // PPP IPV6C
};

// Well-known ports below kPortTableSize that name an application protocol.
constexpr uint32_t kPortTableSize = 2000;
constexpr WireNumberType kTcpPorts[] = {
    {21, 10},    // FTP_CTRL
    {23, 25},    // TELNET
    {25, 6},     // SMTP
    {53, 29},    // DNS
    {79, 26},    // FINGER
    {80, 3},     // HTTP
    {110, 9},    // POP3
    {119, 27},   // NNTP
    {139, 46},   // NBSS
    {143, 8},    // IMAP
    {443, 5},    // SSL
    {445, 46},   // NBSS (SMB directly over TCP)
    {1605, 43},  // SLP
    {1863, 23},  // MSN
};
constexpr WireNumberType kUdpPorts[] = {
    {53, 29},    // DNS
    {67, 12},    // DHCP
    {69, 24},    // TFTP
    {123, 11},   // NTP
    {137, 44},   // NBNS
    {138, 45},   // NBDG
    {161, 13},   // SNMP
    {162, 13},   // SNMP trap
    {520, 57},   // RIP
    {1812, 58},  // Radius
    {1813, 58},  // Radius accounting
    {1863, 23},  // MSN
};

constexpr WireNumberType kEtherTypes[] = {
    {0x0800, 1},    // IP
    {0x0806, 16},   // ARP
    {0x8035, 17},   // RARP
    {0x8100, 326},  // Vlan
    {0x86DD, 52},   // IPv6
    {0x8863, 59},   // PPPoED
    {0x8864, 60},   // PPPoES
    {0x88CC, 327},  // LLDP
    {0x88A7, 328},  // NDP
};

// ---- Building the maps ----------------------------------------------------

template <std::size_t N>
constexpr uint16_t TypeOfListedNumber(const WireNumberType (&list)[N],
                                      uint32_t number) {
  for (const WireNumberType& entry : list) {
    if (entry.number == number) return entry.type;
  }
  return kUnknownType;
}

using IpProtocolMap = std::array<uint16_t, kIpProtocolNumberCount>;

constexpr IpProtocolMap BuildIpProtocolMap() {
  IpProtocolMap map{};
  uint16_t nextBlockRow = kFirstIpBlockRow;
  for (uint32_t number = 0; number < kIpProtocolNumberCount; ++number) {
    const uint16_t ownRow = TypeOfListedNumber(kIpProtocolsWithOwnRow, number);
    map[number] = ownRow != kUnknownType ? ownRow : nextBlockRow++;
  }
  return map;
}

constexpr IpProtocolMap kIpProtocolMap = BuildIpProtocolMap();

static_assert(kIpProtocolMap[0] == kFirstIpBlockRow);
static_assert(kIpProtocolMap[4] == 67);
static_assert(kIpProtocolMap[40] == 99);
static_assert(kIpProtocolMap[42] == 100);
static_assert(kIpProtocolMap[58] == 53);
static_assert(kIpProtocolMap[59] == 114);
static_assert(kIpProtocolMap[140] == kLastIpBlockRow,
              "the 130 numbers without a row of their own fill the IP block");

constexpr std::size_t kPppProtocolCount = std::size(kPppProtocolNumbers);
using PppProtocolMap = std::array<WireNumberType, kPppProtocolCount>;

constexpr bool IsUnreachedPppBlockRow(uint16_t row) {
  return std::find(std::begin(kUnreachedPppBlockRows),
                   std::end(kUnreachedPppBlockRows),
                   row) != std::end(kUnreachedPppBlockRows);
}

constexpr uint16_t SkipUnreachedPppBlockRows(uint16_t row) {
  while (IsUnreachedPppBlockRow(row)) ++row;
  return row;
}

// Sorted by number, so a lookup can search it by halves.
constexpr PppProtocolMap BuildPppProtocolMap() {
  PppProtocolMap map{};
  uint16_t nextBlockRow = kFirstPppBlockRow;
  for (std::size_t i = 0; i < kPppProtocolCount; ++i) {
    const uint16_t number = kPppProtocolNumbers[i];
    uint16_t type = TypeOfListedNumber(kPppProtocolsWithOwnRow, number);
    if (type == kUnknownType) {
      nextBlockRow = SkipUnreachedPppBlockRows(nextBlockRow);
      type = nextBlockRow++;
    }
    map[i] = {number, type};
  }
  return map;
}

constexpr PppProtocolMap kPppProtocolMap = BuildPppProtocolMap();

constexpr uint32_t LookUpPppProtocol(uint32_t number) {
  const auto byNumber = [](const WireNumberType& entry, uint32_t wanted) {
    return entry.number < wanted;
  };
  const auto found = std::lower_bound(kPppProtocolMap.begin(),
                                      kPppProtocolMap.end(), number, byNumber);
  if (found == kPppProtocolMap.end() || found->number != number) {
    return kUnknownType;
  }
  return found->type;
}

constexpr bool IsStrictlyIncreasing(const uint16_t* first,
                                    const uint16_t* last) {
  return std::adjacent_find(first, last, [](uint16_t a, uint16_t b) {
           return a >= b;
         }) == last;
}

template <std::size_t N>
constexpr bool AllHaveATypeInPppMap(const WireNumberType (&list)[N]) {
  return std::all_of(std::begin(list), std::end(list),
                     [](const WireNumberType& entry) {
                       return LookUpPppProtocol(entry.number) == entry.type;
                     });
}

static_assert(kPppProtocolCount == 133);
static_assert(IsStrictlyIncreasing(std::begin(kPppProtocolNumbers),
                                   std::end(kPppProtocolNumbers)),
              "the lookup searches the PPP numbers by halves");
static_assert(AllHaveATypeInPppMap(kPppProtocolsWithOwnRow),
              "every PPP number with a row of its own is in the number list");
static_assert(LookUpPppProtocol(0x0001) == kFirstPppBlockRow);
static_assert(LookUpPppProtocol(0x0021) == 199);
static_assert(LookUpPppProtocol(0x0059) == 226);
static_assert(LookUpPppProtocol(0x8023) == 272);
static_assert(LookUpPppProtocol(0x8059) == 294);
static_assert(LookUpPppProtocol(0xC223) == 318);
static_assert(LookUpPppProtocol(0xC481) == kLastPppBlockRow,
              "the 128 numbers without a row of their own fill the PPP block");
static_assert(LookUpPppProtocol(0x0000) == kUnknownType);

using PortTable = std::array<uint16_t, kPortTableSize>;

template <std::size_t N>
constexpr PortTable BuildPortTable(const WireNumberType (&ports)[N]) {
  PortTable table{};
  for (const WireNumberType& entry : ports) table[entry.number] = entry.type;
  return table;
}

constexpr PortTable kTcpPortTable = BuildPortTable(kTcpPorts);
constexpr PortTable kUdpPortTable = BuildPortTable(kUdpPorts);

static_assert(kTcpPortTable[443] == 5 && kTcpPortTable[1863] == 23);
static_assert(kUdpPortTable[67] == 12 && kUdpPortTable[68] == kUnknownType);

// ---- Lookups --------------------------------------------------------------

constexpr uint32_t kIpv4ProtocolOffset = 9;

uint16_t ReadBigEndian16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

uint32_t PortEntry(const PortTable& table, uint32_t port) {
  return port < kPortTableSize ? table[port] : kUnknownType;
}

// The source port is tried first, so a client sitting on a well-known port
// (1863 talking to 80, say) is classified by its own port.
uint32_t TypeFromPorts(const PortTable& table, const uint8_t* header,
                       uint32_t transportType) {
  if (header == nullptr) return transportType;
  if (const uint32_t bySource = PortEntry(table, ReadBigEndian16(header))) {
    return bySource;
  }
  if (const uint32_t byDestination =
          PortEntry(table, ReadBigEndian16(header + 2))) {
    return byDestination;
  }
  return transportType;
}

}  // namespace

const char16_t* ProtocolShortName(uint32_t type) noexcept {
  return type < kProtocolTypeCount ? kCatalogue[type].shortName : nullptr;
}

const char16_t* ProtocolLongName(uint32_t type) noexcept {
  return type < kProtocolTypeCount ? kCatalogue[type].longName : nullptr;
}

uint32_t IpProtocolToType(const uint8_t* ipHeader) noexcept {
  if (ipHeader == nullptr) return kUnknownType;
  return IpProtocolNumberToType(ipHeader[kIpv4ProtocolOffset]);
}

uint32_t IpProtocolNumberToType(uint32_t number) noexcept {
  return number < kIpProtocolNumberCount ? kIpProtocolMap[number]
                                         : kUnknownType;
}

uint32_t PppProtocolToType(uint32_t number) noexcept {
  return LookUpPppProtocol(number);
}

uint32_t TcpPortToType(const uint8_t* tcpHeader) noexcept {
  return TypeFromPorts(kTcpPortTable, tcpHeader, kTcpType);
}

uint32_t UdpPortToType(const uint8_t* udpHeader) noexcept {
  return TypeFromPorts(kUdpPortTable, udpHeader, kUdpType);
}

uint32_t EtherTypeToType(uint32_t etherType) noexcept {
  return TypeOfListedNumber(kEtherTypes, etherType);
}

}  // namespace vel
