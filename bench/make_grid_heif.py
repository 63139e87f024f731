#!/usr/bin/env python3
"""Makes a large grid HEIF for the memory and speed measurements, as phones store their photos: a
grid of 512 x 512 HEVC tiles. Every tile is the same coded tile (taken from a small HEIC that
heif-enc made), so the file is small while its decode is the whole work of a picture that size.

  make_grid_heif.py TILE.heic WIDTH HEIGHT OUT.heic

TILE.heic must hold one 512 x 512 picture as heif-enc writes it (one hvc1 tile under a grid)."""
import struct
import sys


def boxes(b, start, end):
    at = start
    while at + 8 <= end:
        size, kind = struct.unpack('>I4s', b[at:at + 8])
        yield kind, at, size
        at += size


def child(b, start, end, kind):
    return next((at, size) for k, at, size in boxes(b, start, end) if k == kind)


def box(kind, payload, version=None, flags=0):
    head = b'' if version is None else struct.pack('>I', version << 24 | flags)
    return struct.pack('>I4s', 8 + len(head) + len(payload), kind) + head + payload


def main():
    tile_file, width, height, out = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    b = open(tile_file, 'rb').read()
    meta, meta_size = child(b, 0, len(b), b'meta')
    iprp, iprp_size = child(b, meta + 12, meta + meta_size, b'iprp')
    ipco, ipco_size = child(b, iprp + 8, iprp + iprp_size, b'ipco')
    hvcc_at, hvcc_size = child(b, ipco + 8, ipco + ipco_size, b'hvcC')
    hvcc = b[hvcc_at:hvcc_at + hvcc_size]
    # The coded tile: the one extent of the hvc1 item in the iloc box (version 1, 4-byte offsets).
    iloc, _ = child(b, meta + 12, meta + meta_size, b'iloc')
    version = b[iloc + 8]
    offset_size, length_size, base_size = b[iloc + 12] >> 4, b[iloc + 12] & 15, b[iloc + 13] >> 4
    at = iloc + 16
    tile = None
    for _ in range(struct.unpack('>H', b[at - 2:at])[0]):
        method = struct.unpack('>H', b[at + 2:at + 4])[0] & 15 if version >= 1 else 0
        at += 2 + (2 if version >= 1 else 0) + 2
        base = int.from_bytes(b[at:at + base_size], 'big')
        at += base_size
        extents = struct.unpack('>H', b[at:at + 2])[0]
        at += 2
        for _ in range(extents):
            off = int.from_bytes(b[at:at + offset_size], 'big')
            length = int.from_bytes(b[at + offset_size:at + offset_size + length_size], 'big')
            at += offset_size + length_size
            if method == 0 and tile is None:
                tile = b[base + off:base + off + length]
    assert tile, 'no coded tile found'
    columns, rows = -(-width // 512), -(-height // 512)
    count = columns * rows
    grid_id = count + 1
    ispe_tile = box(b'ispe', struct.pack('>II', 512, 512), 0)
    ispe_grid = box(b'ispe', struct.pack('>II', width, height), 0)
    ipco_new = box(b'ipco', hvcc + ispe_tile + ispe_grid)
    entries = b''.join(struct.pack('>HBBB', i, 2, 0x81, 0x02) for i in range(1, count + 1))
    entries += struct.pack('>HBB', grid_id, 1, 0x03)
    ipma = box(b'ipma', struct.pack('>I', count + 1) + entries, 0)
    infe = b''.join(box(b'infe', struct.pack('>HH', i, 0) + b'hvc1' + b'\0', 2, 1) for i in range(1, count + 1))  # hidden
    infe += box(b'infe', struct.pack('>HH', grid_id, 0) + b'grid' + b'\0', 2)
    iinf = box(b'iinf', struct.pack('>H', count + 1) + infe, 0)
    iref = box(b'iref', box(b'dimg', struct.pack('>HH', grid_id, count) + b''.join(struct.pack('>H', i) for i in range(1, count + 1))), 0)
    grid_data = struct.pack('>BBBBHH', 0, 0, rows - 1, columns - 1, width, height)
    hdlr = box(b'hdlr', struct.pack('>I4s', 0, b'pict') + b'\0' * 12 + b'\0', 0)
    pitm = box(b'pitm', struct.pack('>H', grid_id), 0)
    ftyp = b[0:child(b, 0, len(b), b'ftyp')[1]]

    def build(tile_offset):
        locs = b''.join(struct.pack('>HHHHII', i, 0, 0, 1, tile_offset, len(tile)) for i in range(1, count + 1))
        locs += struct.pack('>HHHHII', grid_id, 1, 0, 1, 0, len(grid_data))
        iloc_new = box(b'iloc', struct.pack('>BBH', 0x44, 0x00, count + 1) + locs, 1)
        meta_new = box(b'meta', hdlr + pitm + iloc_new + iinf + iref + box(b'iprp', ipco_new + ipma) +
                       box(b'idat', grid_data), 0)
        return ftyp + meta_new

    head = build(0)
    head = build(len(head) + 8)
    open(out, 'wb').write(head + box(b'mdat', tile))


main()
