#!/usr/bin/env python3
"""Writes the seed inputs of the download task fuzzer (tests/fuzz/corpus).

An input is a script of the box's side: records of a length byte and that many
bytes; a record of length 0 is a pause in which nothing arrives."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
UP_ACCEPTED = bytes.fromhex("BA557090")
HEADER_ACCEPTED = bytes.fromhex("AB9000AB")
END_MARKER = bytes.fromhex("AB454E44")


def records(data, chunk=200):
    out = b""
    for i in range(0, len(data), chunk):
        part = data[i:i + chunk]
        out += bytes([len(part)]) + part
    return out


def pause():
    return b"\x00"


def header(magic=b"TAVRA_V_ZT100", total=0):
    h = bytearray(64)
    h[:len(magic)] = magic
    h[16:20] = struct.pack(">I", total)
    return bytes(h)


def packet(payload, corrupt=False):
    crc = zlib.crc32(payload) & 0xFFFFFFFF
    if corrupt:
        crc ^= 1
    return struct.pack(">I", len(payload) + 4) + payload + struct.pack(">I", crc)


def download(payloads, magic=b"TAVRA_V_ZT100", prefix=b"KGS", extra=b""):
    total = sum(len(p) for p in payloads)
    body = records(prefix) + records(UP_ACCEPTED) + records(HEADER_ACCEPTED)
    body += records(header(magic, total))
    for p in payloads:
        body += records(packet(p))
    return body + extra + records(END_MARKER + b"\0\0\0\0")


seeds = {
    "good_small": download([b"channel list " * 10, b"more"]),
    "good_tavo": download([bytes(range(256)) * 4], magic=b"TAVO"),
    "junk_before_greeting": download([b"x" * 50], prefix=b"\x00\xffKGS"),
    "bad_greeting": records(b"KGX"),
    "silent_box": pause() * 4,
    "refused_request": records(b"KGS") + records(b"\x01\x02\x03\x04"),
    "refused_header": records(b"KGS") + records(UP_ACCEPTED) + records(b"NOPE"),
    "bad_response_header": records(b"KGS") + records(UP_ACCEPTED) + records(HEADER_ACCEPTED)
    + records(header(b"tavo")),
    "three_failures_then_end": records(b"KGS") + records(UP_ACCEPTED) + records(HEADER_ACCEPTED)
    + records(header(total=8)) + records(packet(b"12345678", True)) * 3
    + records(END_MARKER + b"\0\0\0\0"),
    "bad_lengths": records(b"KGS") + records(UP_ACCEPTED) + records(HEADER_ACCEPTED)
    + records(header(total=4)) + records(b"\0\0\0\0") + pause()
    + records(b"\xff\xff\xff\xf0") + pause() + records(packet(b"abcd"))
    + records(END_MARKER + b"\0\0\0\0"),
    "short_packet": records(b"KGS") + records(UP_ACCEPTED) + records(HEADER_ACCEPTED)
    + records(header(total=4)) + records(packet(b"abcd")[:6]) + pause()
    + records(packet(b"abcd")) + records(END_MARKER + b"\0\0\0\0"),
    "empty_content": download([]),
    "more_than_announced": records(b"KGS") + records(UP_ACCEPTED) + records(HEADER_ACCEPTED)
    + records(header(total=2)) + records(packet(b"abcdefgh"))
    + records(END_MARKER + b"\0\0\0\0"),
    "level1_timeout_then_request": pause() * 2 + records(UP_ACCEPTED) + records(b"nope"),
    "junk_without_greeting": records(b"\x00\xff\x10") + pause() + records(b"\x20\x30") + pause() * 2,
    "greeting_cut_after_4b": records(b"\x00K") + pause() * 3,
    "length_field_cut": records(b"KGS") + records(UP_ACCEPTED) + records(HEADER_ACCEPTED)
    + records(header(total=4)) + records(b"\0\0") + pause() + records(packet(b"abcd"))
    + records(END_MARKER + b"\0\0\0\0"),
}

os.makedirs(os.path.join(HERE, "corpus"), exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(HERE, "corpus", name), "wb") as f:
        f.write(data)
