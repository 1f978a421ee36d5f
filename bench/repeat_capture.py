#!/usr/bin/env python3
"""Writes a classic pcap that repeats the packets of another one until it
holds at least COUNT packets, each repetition starting one second after the
previous one ended, so that time stamps keep rising.

    repeat_capture.py INPUT.pcap OUTPUT.pcap COUNT
"""
import struct
import sys


def read_packets(path):
    with open(path, "rb") as f:
        data = f.read()
    magic = data[:4]
    if magic == b"\xd4\xc3\xb2\xa1":
        order = "<"
    elif magic == b"\xa1\xb2\xc3\xd4":
        order = ">"
    else:
        sys.exit(f"{path}: not a microsecond classic pcap file")
    header = data[:24]
    packets, pos = [], 24
    while pos + 16 <= len(data):
        seconds, micros, captured, original = struct.unpack(order + "IIII", data[pos:pos + 16])
        frame = data[pos + 16:pos + 16 + captured]
        packets.append((seconds * 1000000 + micros, original, frame))
        pos += 16 + captured
    return order, header, packets


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    order, header, packets = read_packets(sys.argv[1])
    wanted = int(sys.argv[3])
    if not packets:
        sys.exit(f"{sys.argv[1]}: holds no packets")
    first, last = packets[0][0], packets[-1][0]
    span = max(0, last - first) + 1000000
    with open(sys.argv[2], "wb") as out:
        out.write(header)
        written, round_ = 0, 0
        while written < wanted:
            for stamp, original, frame in packets:
                t = stamp + round_ * span
                out.write(struct.pack(order + "IIII", t // 1000000, t % 1000000, len(frame), original))
                out.write(frame)
                written += 1
            round_ += 1


if __name__ == "__main__":
    main()
