#!/usr/bin/env python3
"""Writes files of the sizes that matter to the checksum (MD5 block and
padding edges, the 1024-byte read block, the 128 KiB read buffer, one large
file) into OUTDIR, and their checksums by md5sum into OUTDIR/sums.txt.

Made natively at build time, so that the Windows test program under Wine,
which cannot run md5sum, compares against the same reference.

Usage: make_md5_fixture.py OUTDIR
"""
import os
import random
import subprocess
import sys

SIZES = [0, 1, 55, 56, 63, 64, 65, 1023, 1024, 1025,
         131071, 131072, 131073, 20 * 1024 * 1024 + 3]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    names = []
    for size in SIZES:
        name = f"{size}.bin"
        with open(os.path.join(out, name), "wb") as f:
            f.write(random.Random(size).randbytes(size))
        names.append(name)
    sums = subprocess.run(["md5sum", "--"] + names, cwd=out, check=True,
                          capture_output=True).stdout
    tmp = os.path.join(out, "sums.txt.tmp")
    with open(tmp, "wb") as f:
        f.write(sums)
    os.replace(tmp, os.path.join(out, "sums.txt"))


if __name__ == "__main__":
    main()
