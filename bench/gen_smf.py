#!/usr/bin/env python3
"""Writes a large format-1 Standard MIDI File for the import measurements: a tempo track and
16 tracks, one per channel, of overlapping notes with a controller every third note.

Usage: gen_smf.py OUT.mid [--notes N] [--division D]
"""
import argparse
import struct


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append((value & 0x7F) | 0x80)
        value >>= 7
    return bytes(reversed(out))


def chunk(chunk_id, body):
    return chunk_id + struct.pack('>I', len(body)) + body


def note_track(channel, count, division):
    step = division // 2  # an eighth note apart
    timed = []
    for i in range(count):
        start = i * step
        length = division // 3 + (i % 5) * (division // 4)
        key = 36 + (i * 7 + channel) % 60
        timed.append((start, 1, bytes((0x90 | channel, key, 40 + i % 80))))
        timed.append((start + length, 0, bytes((0x80 | channel, key, 64))))
        if i % 3 == 0:
            timed.append((start, 1, bytes((0xB0 | channel, 1, i % 128))))
    timed.sort(key=lambda e: (e[0], e[1]))
    body = bytearray(b'\x00\xff\x03' + vlq(8) + b'Track %02d' % (channel + 1))
    now = 0
    for time, _, message in timed:
        body += vlq(time - now)
        body += message
        now = time
    body += b'\x00\xff\x2f\x00'
    return chunk(b'MTrk', bytes(body))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('out')
    parser.add_argument('--notes', type=int, default=2000000)
    parser.add_argument('--division', type=int, default=480)
    args = parser.parse_args()
    tracks = 16
    with open(args.out, 'wb') as f:
        f.write(chunk(b'MThd', struct.pack('>HHH', 1, tracks + 1, args.division)))
        tempo = b'\x00\xff\x51\x03' + (500000).to_bytes(3, 'big') + b'\x00\xff\x2f\x00'
        f.write(chunk(b'MTrk', tempo))
        for channel in range(tracks):
            f.write(note_track(channel, args.notes // tracks, args.division))


if __name__ == '__main__':
    main()
