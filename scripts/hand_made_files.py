#!/usr/bin/env python3
"""Small valid files of the formats that no tool installed here writes, built byte by byte:
standard MIDI files and their RIFF "RMID" wrapper, tracker modules (MOD, XM, S3M, IT),
Monkey's Audio and Musepack (SV8). Each plays a second or two of notes, noise or silence.

usage: scripts/hand_made_files.py FOLDER   (writes every kind there, prints their names)
"""
import os
import random
import struct
import sys
import zlib


def be16(v):
    return struct.pack(">H", v)


def be32(v):
    return struct.pack(">I", v)


def le16(v):
    return struct.pack("<H", v)


def le32(v):
    return struct.pack("<I", v)


def padded(text, size):
    data = text.encode("latin-1")[:size]
    return data + b"\0" * (size - len(data))


# ---- MIDI ---------------------------------------------------------------------------------

def vlq(value):
    """A number in groups of seven bits, most significant first, each but the last with its
    top bit set: MIDI's variable-length quantity, and Musepack's sizes and counts."""
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def midi_chunk(tag, body):
    return tag + be32(len(body)) + body


def midi_meta(delta, kind, body):
    return vlq(delta) + bytes([0xFF, kind]) + vlq(len(body)) + body


def smf(notes=8, division=96):
    """Format 1: a tempo track with a name, a copyright note and two tempos, then a piano
    track of notes in running status."""
    tempo = (midi_meta(0, 0x03, "Hand-made song".encode()) +
             midi_meta(0, 0x02, "(c) nobody".encode()) +
             midi_meta(0, 0x51, bytes([0x07, 0xA1, 0x20])) +       # 120 bpm
             midi_meta(division * 4, 0x51, bytes([0x0F, 0x42, 0x40])) +  # then 60 bpm
             midi_meta(0, 0x2F, b""))
    events = bytes([0x00, 0xC0, 0x00])  # piano
    for i in range(notes):
        key = 60 + (i * 5) % 12
        events += bytes([0x00, 0x90, key, 100]) + vlq(division // 2) + bytes([key, 0])
    events += bytes([0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7])  # a short system exclusive
    events += midi_meta(0, 0x2F, b"")
    header = b"MThd" + be32(6) + be16(1) + be16(2) + be16(division)
    return header + midi_chunk(b"MTrk", tempo) + midi_chunk(b"MTrk", events)


def riff_chunk(tag, body):
    return tag + le32(len(body)) + body + (b"\0" if len(body) % 2 else b"")


def rmid():
    """The song in a RIFF "RMID" wrapper, behind an odd-sized INFO list that is padded."""
    info = riff_chunk(b"LIST", b"INFO" + riff_chunk(b"INAM", b"Hand-made\0"))
    info = riff_chunk(b"JUNK", b"odd") + info
    body = b"RMID" + info + riff_chunk(b"data", smf())
    return b"RIFF" + le32(len(body)) + body


# ---- Tracker modules ----------------------------------------------------------------------

def square(length, period=16, signed=True):
    high, low = (0x40, 0xC0) if signed else (0xC0, 0x40)
    return bytes(high if (i // (period // 2)) % 2 == 0 else low for i in range(length))


PERIODS = [428, 381, 339, 320, 285, 254, 226, 214]  # C-2 to C-3 in ProTracker periods


def mod():
    """ProTracker "M.K.": four channels, one looped square sample, one pattern of 16 rows."""
    sample = square(64)
    head = padded("hand-made mod", 20)
    head += padded("square", 22) + be16(len(sample) // 2) + bytes([0, 64]) + be16(0) + \
        be16(len(sample) // 2)
    for _ in range(30):
        head += b"\0" * 22 + be16(0) + bytes([0, 0]) + be16(0) + be16(1)
    head += bytes([1, 127]) + bytes(128) + b"M.K."
    pattern = bytearray(64 * 4 * 4)
    for row in range(16):
        period = PERIODS[row % len(PERIODS)]
        effect, param = (0xF, 6) if row == 0 else ((0xD, 0) if row == 15 else (0, 0))
        at = row * 16
        pattern[at:at + 4] = bytes([(1 & 0xF0) | (period >> 8), period & 0xFF,
                                    ((1 & 0x0F) << 4) | effect, param])
    return head + bytes(pattern) + sample


XM_NOTES = [49, 51, 53, 54, 56, 58, 60, 61]  # C-4 up the scale


def xm():
    """FastTracker 2: two channels, one instrument with a looped delta-coded sample, one
    pattern of 16 rows."""
    header = b"Extended Module: " + padded("hand-made xm", 20) + b"\x1a" + \
        padded("hand_made_files", 20) + le16(0x0104)
    orders = bytes([0]) + bytes(255)
    song = le16(1) + le16(0) + le16(2) + le16(1) + le16(1) + le16(1) + le16(6) + le16(125)
    header += le32(20 + 256) + song + orders
    rows = 16
    data = b""
    for row in range(rows):
        data += bytes([XM_NOTES[row % len(XM_NOTES)], 1, 0x50, 0, 0])  # note, instrument, vol
        data += bytes([0x80])                                         # empty second channel
    pattern = le32(9) + bytes([0]) + le16(rows) + le16(len(data)) + data
    sample = square(64)
    delta = bytearray()
    last = 0
    for b in sample:
        value = b - 256 if b >= 128 else b
        delta.append((value - last) & 0xFF)
        last = value
    instrument = padded("square", 22) + bytes([0]) + le16(1) + le32(40) + bytes(96) + \
        bytes(48) + bytes(48) + bytes(2) + bytes(6) + bytes(2) + bytes(4) + le16(0) + le16(0)
    instrument = le32(4 + len(instrument) + 20) + instrument + bytes(20)
    sample_header = le32(len(sample)) + le32(0) + le32(len(sample)) + bytes([64, 0, 1, 128, 0, 0]) \
        + padded("square", 22)
    return header + pattern + instrument + sample_header + bytes(delta)


def s3m():
    """Scream Tracker 3: two channels, one looped unsigned sample, one pattern of 16 rows."""
    sample = square(64, signed=False)
    orders = bytes([0, 255])
    header = padded("hand-made s3m", 28) + bytes([0x1A, 16, 0, 0])
    header += le16(len(orders)) + le16(1) + le16(1) + le16(0) + le16(0x1320) + le16(2)
    header += b"SCRM" + bytes([64, 6, 125, 0xB0, 0, 0]) + bytes(8) + le16(0)
    header += bytes([0, 8] + [255] * 30)
    instrument_at, pattern_at = 0x70, 0xC0
    header += orders + le16(instrument_at // 16) + le16(pattern_at // 16)
    header += bytes(instrument_at - len(header))
    packed = bytearray()
    for row in range(64):
        if row < 16:
            packed += bytes([0x20 | 0, 0x40 + row % 8, 1])  # channel 0: note and instrument
            if row == 15:
                packed += bytes([0x80 | 1, ord("C") - 64, 0])  # pattern break on channel 1
        packed.append(0)
    pattern = le16(len(packed) + 2) + bytes(packed)
    sample_at = (pattern_at + len(pattern) + 15) // 16 * 16
    instrument = bytes([1]) + padded("square.raw", 12) + bytes([sample_at >> 20]) + \
        le16((sample_at // 16) & 0xFFFF) + le32(len(sample)) + le32(0) + le32(len(sample)) + \
        bytes([64, 0, 0, 1]) + le32(8363) + bytes(12) + padded("square", 28) + b"SCRS"
    out = header + instrument
    out += bytes(pattern_at - len(out)) + pattern
    out += bytes(sample_at - len(out)) + sample
    return out


def it():
    """Impulse Tracker: samples only (no instruments), one looped sample, one pattern of 16
    rows."""
    sample = square(64)
    orders = bytes([0, 255])
    header = b"IMPM" + padded("hand-made it", 26) + le16(0x1004)
    header += le16(len(orders)) + le16(0) + le16(1) + le16(1) + le16(0x0214) + le16(0x0200)
    header += le16(0x0009) + le16(0) + bytes([128, 48, 6, 125, 128, 0]) + le16(0) + le32(0) + \
        le32(0)
    header += bytes([32] * 2 + [160] * 62) + bytes([64] * 64)
    sample_header_at = len(header) + len(orders) + 8
    pattern_at = sample_header_at + 80
    packed = bytearray()
    for row in range(16):
        packed += bytes([0x81, 0x03, 60 + row % 8, 1])  # channel 1: note and sample
        packed.append(0)
    pattern = le16(len(packed)) + le16(16) + bytes(4) + bytes(packed)
    sample_at = pattern_at + len(pattern)
    sample_header = b"IMPS" + padded("square.raw", 12) + bytes([0, 64, 0x01 | 0x10, 64]) + \
        padded("square", 26) + bytes([0x01, 0]) + le32(len(sample)) + le32(0) + \
        le32(len(sample)) + le32(8363) + le32(0) + le32(0) + le32(sample_at) + bytes(4)
    return header + orders + le32(sample_header_at) + le32(pattern_at) + sample_header + \
        pattern + sample


# ---- Monkey's Audio and Musepack ----------------------------------------------------------

def noise(size, seed):
    rng = random.Random(seed)
    return bytes(rng.randrange(256) for _ in range(size))


def ape():
    """Monkey's Audio 3.99 (fast), 16-bit stereo 44.1 kHz: two frames of range-coded noise."""
    blocks, final, frames = 1024, 512, 2
    frame_bytes = [4096, 2048]
    header = le16(1000) + le16(0) + le32(blocks) + le32(final) + le32(frames) + le16(16) + \
        le16(2) + le32(44100)
    descriptor_size = 52
    seek_bytes = 4 * frames
    data = b"".join(noise(n, 3990 + i) for i, n in enumerate(frame_bytes))
    descriptor = b"MAC " + le16(3990) + le16(0) + le32(descriptor_size) + le32(len(header)) + \
        le32(seek_bytes) + le32(0) + le32(len(data)) + le32(0) + le32(0) + bytes(16)
    first = descriptor_size + len(header) + seek_bytes
    seek = le32(first) + le32(first + frame_bytes[0])
    return descriptor + header + seek + data


def mpc_packet(key, body):
    # The size counts the key and itself; stored as a variable-length number.
    size = len(body) + 2 + 1
    if size > 127:
        size += 1
        return key + bytes([0x80 | (size >> 7), size & 0x7F]) + body
    return key + bytes([size]) + body


def mpc():
    """Musepack SV8, stereo 44.1 kHz: a stream header, a replay gain packet and sixteen audio
    packets of silence, then the end of the stream."""
    samples = 1152 * 16
    # Version 8, sample count, no leading silence; 44.1 kHz with 26 bands; two channels,
    # mid/side off, one frame per audio packet.
    stream = bytes([8]) + vlq(samples) + vlq(0) + bytes([(0 << 5) | 25, (1 << 4) | 0])
    out = b"MPCK" + mpc_packet(b"SH", be32(zlib.crc32(stream)) + stream)
    out += mpc_packet(b"RG", bytes([1]) + bytes(8))
    for i in range(16):
        out += mpc_packet(b"AP", bytes(32))
    return out + mpc_packet(b"SE", b"")


KINDS = [("song.mid", smf), ("song.rmi", rmid), ("tune.mod", mod), ("tune.xm", xm),
         ("tune.s3m", s3m), ("tune.it", it), ("noise.ape", ape), ("silence.mpc", mpc)]


def write_all(folder):
    """Writes every kind into folder; the paths written."""
    os.makedirs(folder, exist_ok=True)
    paths = []
    for name, make in KINDS:
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(make())
        paths.append(path)
    return paths


if __name__ == "__main__":
    if len(sys.argv) != 2 or sys.argv[1] in ("-h", "--help"):
        print(__doc__)
        sys.exit(0 if len(sys.argv) == 2 else 2)
    for written in write_all(sys.argv[1]):
        print(written)
