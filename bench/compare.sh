#!/usr/bin/env bash
# Compares vdecode with the tools a user would pick instead, on one mixed
# capture in one run: the full tree (-V against tshark -V and tcpdump -vvv),
# JSON (against tshark -T json) and one line per packet (against tcpdump -n),
# each with every thread (-j, one per core) and with one (-j 1). Prints the
# best of RUNS wall-clock times, the packets per second and the ratios.
#
#   bench/compare.sh [CAPTURE]
#
# Without CAPTURE it repeats the sample capture (which holds a frame of every
# decoder) to at least PACKETS packets. Environment: VDECODE (the program,
# default build/tools/vdecode/vdecode), RUNS (default 3), PACKETS (default
# 100000). Missing tshark and tcpdump are installed with apt-get when run as
# root; otherwise their rows are left out.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
vdecode=${VDECODE:-$root/build/tools/vdecode/vdecode}
runs=${RUNS:-3}
packets=${PACKETS:-100000}
cores=$(nproc)

[ -x "$vdecode" ] || { echo "compare: $vdecode is not built (make build)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

capture=${1:-}
if [ -z "$capture" ]; then
  capture=$work/mixed.pcap
  python3 "$here/repeat_capture.py" "$root/samples/sample.pcap" "$capture" "$packets"
fi

install_missing() {
  local missing=()
  command -v tshark > /dev/null || missing+=(tshark)
  command -v tcpdump > /dev/null || missing+=(tcpdump)
  if [ ${#missing[@]} -gt 0 ] && [ "$(id -u)" = 0 ] && command -v apt-get > /dev/null; then
    echo "installing ${missing[*]} ..." >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" > /dev/null 2>&1 ||
      { apt-get update -qq > /dev/null 2>&1 && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" > /dev/null 2>&1; } ||
      echo "compare: could not install ${missing[*]}" >&2
  fi
}
install_missing

# Best wall-clock seconds of RUNS runs of a command, its output thrown away.
best_seconds() {
  local best="" t
  for ((r = 0; r < runs; r++)); do
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s.%N)
    t=$(awk -v a="$end" -v b="$start" 'BEGIN { print a - b }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  printf '%.3f' "$best"
}

count=$("$vdecode" -q -j 1 "$capture" | wc -l)

rate() { awk -v n="$count" -v s="$1" 'BEGIN { printf "%.0f", n / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "capture: $capture, $count packets; best of $runs runs; $cores cores; $(uptime | sed 's/.*load/load/')"
printf '%-10s | %-22s | %-22s | %-9s | %-18s | %-22s | %s\n' \
  mode "vdecode -j $cores" "vdecode -j 1" "-j $cores/-j 1" "other tool" "its time" "other / vdecode -j $cores"
printf -- '-----------+------------------------+------------------------+-----------+--------------------+------------------------+-----------\n'

row() {
  local mode=$1 tool=$2 flags=$3
  shift 3
  local all one
  # shellcheck disable=SC2086
  all=$(best_seconds "$vdecode" -q -j "$cores" $flags "$capture")
  # shellcheck disable=SC2086
  one=$(best_seconds "$vdecode" -q -j 1 $flags "$capture")
  local other="-" otherRate="-" versus="-"
  if command -v "${1:-none}" > /dev/null; then
    other=$(best_seconds "$@")
    otherRate="$other s $(rate "$other")/s"
    versus="$(ratio "$other" "$all")x"
  fi
  printf '%-10s | %-22s | %-22s | %-9s | %-18s | %-22s | %s\n' "$mode" "$all s $(rate "$all")/s" \
    "$one s $(rate "$one")/s" "$(ratio "$one" "$all")x" "$tool" "$otherRate" "$versus"
}

row "-V" "tshark -n -V" "-V" tshark -n -V -r "$capture"
row "-V" "tcpdump -n -vvv" "-V" tcpdump -n -vvv -r "$capture"
row "--json" "tshark -n -T json" "--json" tshark -n -T json -r "$capture"
row "one line" "tcpdump -n" "" tcpdump -n -r "$capture"
