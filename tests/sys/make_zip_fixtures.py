#!/usr/bin/env python3
"""Makes the zip archives of the extraction tests in OUTDIR.

Archives of ordinary trees come from Info-ZIP `zip`; entries that no zip tool
writes on purpose (names that climb out, bad CRCs, broken data, DOS
attributes, GBK names) come from Python's zipfile, patched where the header
must lie. The source files of the Info-ZIP archives stay in OUTDIR/src so
that the tests compare extracted bytes with them.

Made natively at build time: the Windows test program under Wine cannot run
these tools. OUTDIR/done is written last.

Usage: make_zip_fixtures.py OUTDIR
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

# The entry of info.zip, whose fields the tests check one by one.
INFO_NAME = "dir/info.txt"
INFO_DATA = b"hello, zip\n" * 100
INFO_COMMENT = b"entry comment"
INFO_TIME = (2021, 6, 15, 12, 0, 0)

# Names that would leave the target folder, each in an archive of its own
# next to ok.txt: traversal-<slug>.zip.
ESCAPE = "lks-zip-escape.txt"
TRAVERSALS = {
    "parent": "../" + ESCAPE,
    "parent-backslash": "..\\" + ESCAPE,
    "nested-parent": "a/b/../../../" + ESCAPE,
    "parent-then-folder": "../t/../" + ESCAPE,
    "three-dots": ".../" + ESCAPE,
    "dots-blank": ".. /" + ESCAPE,
    "absolute": "/" + ESCAPE,
    "absolute-backslash": "\\" + ESCAPE,
    "unc": "//server/share/" + ESCAPE,
    "unc-backslash": "\\\\server\\share\\" + ESCAPE,
    "drive": "C:/" + ESCAPE,
    "drive-relative": "C:" + ESCAPE,
    "stream": "ok.txt:" + ESCAPE,
    "device": "CON",
    "device-extension": "sub/nul.txt",
}

# 150 bytes: the tests pad the target folder to put folder + "\" + name
# exactly at 259 or 260 bytes.
LONG_NAME = "n" * 146 + ".txt"
# Longer than an entry name may be (260 bytes).
TOO_LONG_NAME = "d" * 150 + "/" + "e" * 150 + ".txt"

# GBK names: 乗 (81 5C) and 昞 (95 5C) end in the byte of "\".
GBK_NAMES = [b"\x81\x5c/\x95\x5c.txt", b"\xb1\xed.txt", b"dir/\x81\x5c"]


def text_lines(seed, size):
    """Compressible bytes: numbered lines of words."""
    rnd = random.Random(seed)
    words = [b"update", b"larkspan", b"office", b"program", b"module", b"\xb8\xfc\xd0\xc2"]
    out = bytearray()
    n = 0
    while len(out) < size:
        out += b"%06d " % n + b" ".join(rnd.choice(words) for _ in range(8)) + b"\r\n"
        n += 1
    return bytes(out[:size])


class RawNameInfo(zipfile.ZipInfo):
    """An entry whose name is stored as the given bytes (zipfile itself
    writes ASCII or UTF-8 only)."""

    def __init__(self, raw, **kwargs):
        super().__init__(raw.decode("latin-1"), **kwargs)
        self.raw_name = raw

    def _encodeFilenameFlags(self):
        return self.raw_name, self.flag_bits


def entry(name, date_time=(2020, 1, 2, 3, 4, 6), attrs=0x20, system=0):
    """A DOS-made entry with DOS attributes, as archives made on Windows carry."""
    info = RawNameInfo(name, date_time=date_time) if isinstance(name, bytes) else \
        zipfile.ZipInfo(name, date_time=date_time)
    info.create_system = system
    info.external_attr = attrs
    return info


def write_zip(path, entries):
    """entries: (ZipInfo, data, compress_type)."""
    with zipfile.ZipFile(path, "w") as z:
        for info, data, method in entries:
            info.compress_type = method
            z.writestr(info, data)


def patch_entry(path, name, **fields):
    """Rewrites method, crc and usize of the named entry in both its local and
    its central header."""
    data = bytearray(open(path, "rb").read())
    eocd = data.rfind(b"PK\x05\x06")
    count, = struct.unpack_from("<H", data, eocd + 10)
    pos, = struct.unpack_from("<I", data, eocd + 16)
    # offset in the central header, offset in the local header, format
    places = {"method": (10, 8, "<H"), "crc": (16, 14, "<I"), "usize": (24, 22, "<I")}
    for _ in range(count):
        nlen, xlen, clen = struct.unpack_from("<HHH", data, pos + 28)
        local, = struct.unpack_from("<I", data, pos + 42)
        if bytes(data[pos + 46:pos + 46 + nlen]) == name.encode():
            for key, value in fields.items():
                central_at, local_at, fmt = places[key]
                struct.pack_into(fmt, data, pos + central_at, value)
                struct.pack_into(fmt, data, local + local_at, value)
            open(path, "wb").write(bytes(data))
            return
        pos += 46 + nlen + xlen + clen
    raise KeyError(name)


def raw_deflate(data, finish=True):
    c = zlib.compressobj(6, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush(zlib.Z_FINISH if finish else zlib.Z_FULL_FLUSH)


def make_tree(out):
    """src/tree, zipped by Info-ZIP with and without folder entries."""
    tree = os.path.join(out, "src", "tree")
    files = {
        "a/b/c.txt": b"c in a/b\n",
        "d.txt": b"d at the top\r\n",
        "big.txt": text_lines(1, 300 * 1024 + 7),
        "big.bin": random.Random(2).randbytes(100 * 1024 + 3),
    }
    for rel, data in files.items():
        path = os.path.join(tree, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    # d.txt: 2020-03-04 05:06:08, stored by zip as DOS local time; TZ=UTC below.
    os.utime(os.path.join(tree, "d.txt"), (1583298368, 1583298368))
    env = dict(os.environ, TZ="UTC")
    # -n .bin: big.bin stored, the rest deflated.
    for name, flags in (("tree.zip", []), ("tree_nodirs.zip", ["-D"])):
        subprocess.run(["zip", "-q", "-r", "-n", ".bin"] + flags +
                       [os.path.join(out, name), "a", "d.txt", "big.txt", "big.bin"],
                       cwd=tree, env=env, check=True)
    # A Unix-made read-only file: zip sets the DOS read-only bit beside the mode.
    ro = os.path.join(out, "src", "unix_ro")
    os.makedirs(ro, exist_ok=True)
    with open(os.path.join(ro, "locked.txt"), "wb") as f:
        f.write(b"made read-only on Unix\n")
    os.chmod(os.path.join(ro, "locked.txt"), 0o444)
    subprocess.run(["zip", "-q", os.path.join(out, "unix_readonly.zip"), "locked.txt"],
                   cwd=ro, env=env, check=True)


def make_crafted(out):
    p = lambda name: os.path.join(out, name)

    with zipfile.ZipFile(p("empty.zip"), "w"):
        pass
    with open(p("not_a_zip.zip"), "wb") as f:
        f.write(b"this is a text file, not an archive\n" * 20)
    whole = open(p("tree.zip"), "rb").read()
    with open(p("truncated.zip"), "wb") as f:
        f.write(whole[:len(whole) * 2 // 3])

    info = entry(INFO_NAME, date_time=INFO_TIME, attrs=0x21)
    info.comment = INFO_COMMENT
    info.internal_attr = 1
    info.create_version = 20
    write_zip(p("info.zip"), [(info, INFO_DATA, zipfile.ZIP_DEFLATED)])
    # The compressed size depends on the zlib that made it.
    with open(p("info_compressed_size.txt"), "w") as f:
        f.write("%d\n" % zipfile.ZipFile(p("info.zip")).getinfo(INFO_NAME).compress_size)

    for version in ("v1", "v2"):
        write_zip(p(f"readonly_{version}.zip"), [
            (entry("ro.txt", attrs=0x21), f"read-only {version}\n".encode(), zipfile.ZIP_DEFLATED),
            (entry("rw.txt", attrs=0x20), f"writable {version}\n".encode(), zipfile.ZIP_DEFLATED),
        ])

    write_zip(p("dirs.zip"), [
        (entry("folder/", attrs=0x10), b"", zipfile.ZIP_STORED),
        (entry("dirattr", attrs=0x10), b"", zipfile.ZIP_STORED),
        (entry("plain/", attrs=0x20), b"", zipfile.ZIP_STORED),
        (entry("x.txt"), b"x\n", zipfile.ZIP_DEFLATED),
    ])

    write_zip(p("gbk.zip"), [(entry(name), name + b"\n", zipfile.ZIP_DEFLATED)
                             for name in GBK_NAMES])

    write_zip(p("extensions.zip"), [(entry(name), name.encode(), zipfile.ZIP_STORED) for name in
                                    ["readme", "x.dat", "dir.v2/file", "y.TXT", "noext.",
                                     "sub/z.txt", "w.txt.bak"]])

    write_zip(p("long_names.zip"), [
        (entry(TOO_LONG_NAME), b"too long\n", zipfile.ZIP_STORED),
        (entry(LONG_NAME), b"long\n", zipfile.ZIP_STORED),
        (entry("short.txt"), b"short\n", zipfile.ZIP_STORED),
    ])

    # Entries whose data lie. broken.bin inflates 100 KiB and then meets an
    # invalid block type; short.txt ends after half its stored size; the
    # CRC of bad_crc.txt is wrong. The good entries around them are fine.
    part = text_lines(3, 100 * 1024)
    broken = raw_deflate(part, finish=False) + b"\x07" + bytes(64)
    full = text_lines(4, 1000)
    write_zip(p("bad_entries.zip"), [
        (entry("good_before.txt"), b"before\n", zipfile.ZIP_DEFLATED),
        (entry("bad_crc.txt"), text_lines(5, 5000), zipfile.ZIP_DEFLATED),
        (entry("broken.bin"), broken, zipfile.ZIP_STORED),
        (entry("short.txt"), raw_deflate(full), zipfile.ZIP_STORED),
        (entry("good_after.txt"), b"after\n", zipfile.ZIP_DEFLATED),
    ])
    patch_entry(p("bad_entries.zip"), "bad_crc.txt", crc=zlib.crc32(text_lines(5, 5000)) ^ 0xFFFFFFFF)
    patch_entry(p("bad_entries.zip"), "broken.bin", method=8, usize=2 * len(part),
                crc=zlib.crc32(part + part))
    patch_entry(p("bad_entries.zip"), "short.txt", method=8, usize=2 * len(full),
                crc=zlib.crc32(full))

    for slug, name in TRAVERSALS.items():
        write_zip(p(f"traversal-{slug}.zip"), [
            (entry(name), b"escaped\n", zipfile.ZIP_STORED),
            (entry("ok.txt"), b"ok\n", zipfile.ZIP_STORED),
        ])


def main():
    out = sys.argv[1]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    make_tree(out)
    make_crafted(out)
    with open(os.path.join(out, "done"), "w") as f:
        f.write("ok\n")


if __name__ == "__main__":
    main()
