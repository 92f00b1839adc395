#!/usr/bin/env python3
"""Writes files of the sizes that matter to a checksum into OUTDIR, and their
checksums by the system's own tool into OUTDIR/sums.txt.

  md5: MD5 block and padding edges, the 1024-byte read block, the 128 KiB
       read buffer, one large file; checked against md5sum
  sha256: SHA-256 block and padding edges, one file of several MiB; checked
       against sha256sum

Made natively when the tests are built, so that the Windows test program,
which cannot run the tools, compares against the same reference.

Usage: make_checksum_fixture.py md5|sha256 OUTDIR
"""
import os
import random
import subprocess
import sys

# Per kind: the tool, the sizes, and a seed offset so the kinds' files differ.
KINDS = {
    "md5": ("md5sum", [0, 1, 55, 56, 63, 64, 65, 1023, 1024, 1025,
                       131071, 131072, 131073, 20 * 1024 * 1024 + 3], 0),
    "sha256": ("sha256sum", [0, 1, 55, 56, 63, 64, 65, 119, 120, 4095, 4096, 4097,
                             5 * 1024 * 1024 + 7], 256),
}


def main():
    tool, sizes, seed = KINDS[sys.argv[1]]
    out = sys.argv[2]
    os.makedirs(out, exist_ok=True)
    names = []
    for size in sizes:
        name = f"{size}.bin"
        with open(os.path.join(out, name), "wb") as f:
            f.write(random.Random(size + seed).randbytes(size))
        names.append(name)
    sums = subprocess.run([tool, "--"] + names, cwd=out, check=True,
                          capture_output=True).stdout
    tmp = os.path.join(out, "sums.txt.tmp")
    with open(tmp, "wb") as f:
        f.write(sums)
    os.replace(tmp, os.path.join(out, "sums.txt"))


if __name__ == "__main__":
    main()
