#!/usr/bin/env python3
"""Writes files of the sizes that matter to SHA-256 (block and padding edges,
one file of several MiB) into OUTDIR, and their checksums by sha256sum into
OUTDIR/sums.txt.

Made natively at build time, so that the Windows test program under Wine,
which cannot run sha256sum, compares against the same reference.

Usage: make_sha256_fixture.py OUTDIR
"""
import os
import random
import subprocess
import sys

SIZES = [0, 1, 55, 56, 63, 64, 65, 119, 120, 4095, 4096, 4097, 5 * 1024 * 1024 + 7]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    names = []
    for size in SIZES:
        name = f"{size}.bin"
        with open(os.path.join(out, name), "wb") as f:
            f.write(random.Random(size + 256).randbytes(size))
        names.append(name)
    sums = subprocess.run(["sha256sum", "--"] + names, cwd=out, check=True,
                          capture_output=True).stdout
    tmp = os.path.join(out, "sums.txt.tmp")
    with open(tmp, "wb") as f:
        f.write(sums)
    os.replace(tmp, os.path.join(out, "sums.txt"))


if __name__ == "__main__":
    main()
