#!/usr/bin/env python3
"""A plain receiver in Python: the same exchange and pauses as the tool, with
blocking reads alone. The CPU benchmark's second floor."""
import os
import struct
import sys
import time
import tty
import zlib

fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
tty.setraw(fd)


def read(n):
    data = b""
    while len(data) < n:
        got = os.read(fd, n - len(data))
        if not got:
            sys.exit("line closed")
        data += got
    return data


def word():
    return struct.unpack(">I", read(4))[0]


while read(1) != b"K":
    pass
read(2)
os.write(fd, bytes.fromhex("AB557002"))
while read(1) != b"\xba":  # greetings still on their way come first
    pass
if read(3) != bytes.fromhex("557090"):
    sys.exit("bad reply")
time.sleep(0.55)
header = (b"TAVRA_V_ZT100" + bytes(19) + b"SER" + bytes(13) + bytes.fromhex("B20001000100")
          + b"270307" + bytes.fromhex("44332211"))
os.write(fd, header)
if word() != 0xAB9000AB:
    sys.exit("header refused")
time.sleep(0.52)
read(64)
content = bytearray()
while (length := word()) != 0xAB454E44:
    time.sleep(0.75)
    packet = read(length)
    if zlib.crc32(packet[:-4]) != struct.unpack(">I", packet[-4:])[0]:
        sys.exit("bad packet")
    content += packet[:-4]
    time.sleep(0.32)
    os.write(fd, bytes.fromhex("AB50434B"))
word()
print(len(content))
