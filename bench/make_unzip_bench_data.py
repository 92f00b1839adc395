#!/usr/bin/env python3
"""Makes the archives of unzip_bench.sh in OUTDIR:

  exe.zip     512 MiB of executable-like data (the machine's own ELF files,
              with a fifth of random bytes mixed in so that deflate gets
              about 1.9x, as on the suite's programs), zipped by Info-ZIP zip
  random.zip  256 MiB of random bytes, zipped by Info-ZIP zip (stored)
  small/      2,000 archives of one file each, 1-50 KiB and a few of some
              MiB, of the same executable-like data, zipped by zipfile
  sizes.txt   "name uncompressed-bytes" for each set; written last

Usage: make_unzip_bench_data.py OUTDIR
"""
import glob
import os
import random
import subprocess
import sys
import zipfile

MIB = 1024 * 1024
RANDOM_SHARE = 0.21


def elf_pool(limit):
    pool = bytearray()
    paths = sorted(glob.glob("/usr/bin/*")) + sorted(glob.glob("/usr/lib/x86_64-linux-gnu/*.so*"))
    for path in paths:
        if os.path.islink(path) or not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            data = f.read()
        if data[:4] == b"\x7fELF":
            pool += data
        if len(pool) >= limit:
            break
    return bytes(pool)


class ExeLike:
    """An endless stream: per MiB, ELF bytes and then a piece of random bytes."""

    def __init__(self, pool, seed):
        self.pool = pool
        self.pos = 0
        self.rnd = random.Random(seed)
        self.rest = b""

    def block(self):
        code = int(MIB * (1 - RANDOM_SHARE))
        if self.pos + code > len(self.pool):
            self.pos = 0
        out = self.pool[self.pos:self.pos + code] + self.rnd.randbytes(MIB - code)
        self.pos += code
        return out

    def take(self, size):
        out = bytearray(self.rest)
        while len(out) < size:
            out += self.block()
        self.rest = bytes(out[size:])
        return bytes(out[:size])


def zip_one(folder, archive, name):
    subprocess.run(["zip", "-q", "-j", archive, name], cwd=folder, check=True)
    os.remove(os.path.join(folder, name))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    pool = elf_pool(128 * MIB)
    stream = ExeLike(pool, 1)

    with open(os.path.join(out, "exe.bin"), "wb") as f:
        for _ in range(512):
            f.write(stream.block())
    zip_one(out, "exe.zip", "exe.bin")

    rnd = random.Random(2)
    with open(os.path.join(out, "random.bin"), "wb") as f:
        for _ in range(256):
            f.write(rnd.randbytes(MIB))
    zip_one(out, "random.zip", "random.bin")

    small = os.path.join(out, "small")
    os.makedirs(small, exist_ok=True)
    rnd = random.Random(3)
    big = set(rnd.sample(range(2000), 5))
    total = 0
    for i in range(2000):
        size = rnd.randint(2 * MIB, 8 * MIB) if i in big else rnd.randint(1024, 50 * 1024)
        total += size
        with zipfile.ZipFile(os.path.join(small, "a%04d.zip" % i), "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("f%04d.dll" % i, stream.take(size))

    with open(os.path.join(out, "sizes.txt"), "w") as f:
        f.write("exe.zip %d\nrandom.zip %d\nsmall %d\n" % (512 * MIB, 256 * MIB, total))


if __name__ == "__main__":
    main()
