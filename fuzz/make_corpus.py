#!/usr/bin/env python3
"""Writes the inputs that once broke or stalled a reader into fuzz/corpus/:
textures, models and skins. Each is kept as a regression case: test.sh
replays the corpus before the fuzzers explore. Run it again only to
re-create them."""
import os
import struct
import zlib

corpus = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
here = os.path.join(corpus, "texture")


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, idat_chunks):
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
    for data in idat_chunks:
        out += chunk(b"IDAT", data)
    return out + chunk(b"IEND", b"")


def write(name, data):
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)


os.makedirs(here, exist_ok=True)

# A zero-length IDAT chunk before the data: a null pointer handed to memcpy.
row = zlib.compress(b"\x00" + b"\x10\x20\x30\xff" * 2 * 1)
write("png-zero-length-idat.png", png(2, 1, [b"", row]))

# An IDAT that inflates far past the one pixel the header claims (1 GB of
# zeros in about 1 MB).
z = zlib.compressobj(9)
parts = [z.compress(b"\x00" * (1 << 20)) for _ in range(1024)]
parts.append(z.flush())
write("png-idat-bomb-1x1.png", png(1, 1, [b"".join(parts)]))

# A TGA header alone that claims 100 x 100 true-colour pixels.
write("tga-truncated-100x100.tga",
      struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 100, 100, 24, 0))

# Run-length packets that run past the last pixel, and a colour map index
# past the map's end.
write("tga-rle-overrun.tga",
      struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, 2, 2, 24, 0) + b"\xff\x01\x02\x03")
write("tga-map-index-out-of-range.tga",
      struct.pack("<BBBHHBHHHHBB", 0, 1, 1, 0, 2, 24, 0, 0, 2, 1, 8, 0)
      + b"\x00\x00\xff\x00\xff\x00" + b"\x01\x07")

# JPEG pieces.
def seg(marker, data):
    return b"\xff" + bytes([marker]) + struct.pack(">H", len(data) + 2) + data

dqt = seg(0xDB, b"\x00" + bytes([1] * 64))
# A Huffman table of one code length-1 symbol 0: every category is 0.
dht_dc = seg(0xC4, b"\x00" + b"\x01" + b"\x00" * 15 + b"\x00")
dht_ac = seg(0xC4, b"\x10" + b"\x01" + b"\x00" * 15 + b"\x00")

# A baseline frame whose scan names Huffman table 3, never defined.
sof0 = seg(0xC0, struct.pack(">BHHB", 8, 16, 16, 1) + b"\x01\x11\x00")
sos_undefined = seg(0xDA, b"\x01" + b"\x01\x33" + b"\x00\x3f\x00")
write("jpeg-undefined-huffman-table.jpg",
      b"\xff\xd8" + dqt + dht_dc + dht_ac + sof0 + sos_undefined + b"\x00" * 64 + b"\xff\xd9")

# A progressive frame of 1,000 scans over a 2048 x 2048 picture.
sof2 = seg(0xC2, struct.pack(">BHHB", 8, 2048, 2048, 1) + b"\x01\x11\x00")
sos_dc = seg(0xDA, b"\x01" + b"\x01\x00" + b"\x00\x00\x00")
write("jpeg-progressive-1000-scans.jpg",
      b"\xff\xd8" + dqt + dht_dc + sof2 + (sos_dc + b"\x00\x00") * 1000 + b"\xff\xd9")


# A model with frames and tags but no surface (as a weapon's hand model is):
# drawing "all" of it once crashed the command line.
md3 = b"IDP3" + struct.pack("<i", 15) + b"models/hand.md3".ljust(64, b"\0")
md3 += struct.pack("<9i", 0, 1, 0, 0, 0, 108, 108, 108, 164)
md3 += struct.pack("<10f", -1, -1, -1, 1, 1, 1, 0, 0, 0, 1) + b"frame".ljust(16, b"\0")
os.makedirs(os.path.join(corpus, "md3"), exist_ok=True)
with open(os.path.join(corpus, "md3", "no-surfaces.md3"), "wb") as f:
    f.write(md3)

# Skins: a line without an end, quotes, a comment opening a line, a NUL.
os.makedirs(os.path.join(corpus, "skin"), exist_ok=True)
with open(os.path.join(corpus, "skin", "odd-lines.skin"), "wb") as f:
    f.write(b'"u_torso" , "models/a/b.tga"\r\n//,x\n,\n\x00,\x00\ntag_x,y\nu_legs,"')

# Archives: a small pak, one with a name that climbs out, one cut short.
import io
import zipfile
os.makedirs(os.path.join(corpus, "archive"), exist_ok=True)
def pak(entries):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            z.writestr(name, data)
    return buffer.getvalue()
small = pak([("models/a/b.md3", b"IDP3" + b"\0" * 200), ("scripts/a.shader", b"a { { map b.tga } }")])
with open(os.path.join(corpus, "archive", "small.pk3"), "wb") as f:
    f.write(small)
with open(os.path.join(corpus, "archive", "climbs-out.pk3"), "wb") as f:
    f.write(pak([("../../escape.txt", b"x"), ("models/ok.txt", b"ok")]))
with open(os.path.join(corpus, "archive", "cut.pk3"), "wb") as f:
    f.write(small[: len(small) // 2])

# Shader scripts: comments, quotes, several stages, an unclosed one.
os.makedirs(os.path.join(corpus, "shader"), exist_ok=True)
with open(os.path.join(corpus, "shader", "stages.shader"), "wb") as f:
    f.write(b'// c\nmodels/x { /* b */ { map $lightmap } { map "models/x.tga" } }\n'
            b"a{{animMap 10 a1.tga a2.tga}}\n")
with open(os.path.join(corpus, "shader", "unclosed.shader"), "wb") as f:
    f.write(b"a { { map x.tga }\n")


# Hostile paks, written byte by byte (zipfile would not write them): a
# hundred names for one deflated stream, one name stored three times, and
# skins far past the 64 KB a skin may hold.
def raw_pak(entries, shared=False):
    out, directory, first = b"", b"", 0
    for i, (name, data, method) in enumerate(entries):
        name = name.encode()
        crc = zlib.crc32(data)
        packed = data
        if method == 8:
            z = zlib.compressobj(9, zlib.DEFLATED, -15)
            packed = z.compress(data) + z.flush()
        offset = len(out)
        if shared and i > 0:
            offset = first
        else:
            out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, 0, 0, crc,
                               len(packed), len(data), len(name), 0) + name + packed
        directory += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, 0, 0,
                                 crc, len(packed), len(data), len(name), 0, 0, 0, 0, 0,
                                 offset) + name
    out += directory + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries),
                                   len(directory), len(out), 0)
    return out


def write_archive(name, data):
    with open(os.path.join(corpus, "archive", name), "wb") as f:
        f.write(data)


stream = b"a" * (256 << 10)
write_archive("overlapping-entries.pk3",
              raw_pak([("scripts/s%d.shader" % i, stream, 8) for i in range(100)], shared=True))
write_archive("duplicate-names.pk3",
              raw_pak([("models/a.txt", b"first", 0), ("Models/A.TXT", b"second", 0),
                       ("models/a.txt", b"last", 0)]))
write_archive("huge-skins.pk3",
              raw_pak([("models/x/upper_%d.skin" % i, b" " * (1 << 20), 8) for i in range(8)]))

# A script of one-letter words, over the small limits the shader fuzzer
# also parses with (its games' limits are megabytes: that flood is a test).
with open(os.path.join(corpus, "shader", "token-flood.shader"), "wb") as f:
    f.write(b"textures/flood {\n" + b" a" * 1500 + b"\n}\n")


# id paks ("PACK", stored entries): a small one, a name stored three times,
# entries that overlap, run past the end or are badly named, and a directory
# that is not a whole number of its 64-byte entries.
def id_pak(records, data):
    directory = b"".join(struct.pack("<56sii", name.encode()[:56], pos, length)
                         for name, pos, length in records)
    return b"PACK" + struct.pack("<ii", 12 + len(data), len(directory)) + data + directory


def id_files(files):
    records, data = [], b""
    for name, content in files:
        records.append((name, 12 + len(data), len(content)))
        data += content
    return id_pak(records, data)


write_archive("id-small.pak", id_files([("progs/player.mdl", b"IDPO" + b"\0" * 60),
                                        ("gfx/palette.lmp", bytes(range(48)))]))
write_archive("id-duplicates.pak", id_files([("maps/a.bsp", b"first"), ("MAPS\\A.BSP", b"second"),
                                             ("maps/a.bsp", b"third")]))
write_archive("id-hostile.pak", id_pak([("progs/a.mdl", 12, 16), ("progs/b.mdl", 20, 16),
                                        ("progs/past.mdl", 30, 1 << 20), ("progs/neg.mdl", -4, 4),
                                        ("../x.cfg", 12, 0), ("n" * 56, 12, 0),
                                        ("progs/ok.mdl", 44, 4)], b"x" * 36))
ragged = bytearray(id_files([("progs/a.mdl", b"aaaa")]) + b"\0" * 20)
ragged[8:12] = struct.pack("<i", 64 + 20)
write_archive("id-ragged.pak", bytes(ragged))
