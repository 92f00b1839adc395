#!/usr/bin/env python3
"""Makes keys and signatures with the real minisign tool into OUTDIR, for the
signature tests of engine/:

  a.pub a.key, b.pub b.key   two unencrypted key pairs (minisign -G -W)
  data.bin, empty.bin        the signed data
  a.ED.minisig               data.bin, key a, the default prehashed kind
  a.Ed.minisig               data.bin, key a, the legacy kind (-l)
  b.ED.minisig               data.bin, key b
  a.default.minisig          data.bin, key a, minisign's own trusted comment
  a.empty.minisig            empty.bin, key a
  comment.txt                the trusted comment of the -t signatures

Made natively at build time, so that the Windows test program under Wine,
which cannot run minisign, checks the same files.

Usage: make_minisign_fixture.py OUTDIR
"""
import os
import random
import shutil
import subprocess
import sys

COMMENT = "lksupdate version=V1 serial=7 valid-until=2031-02-28T23:59:59Z"


def run(*args):
    subprocess.run(args, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)


def main():
    out = sys.argv[1]
    work = out + ".new"
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for name in ("a", "b"):
        run("minisign", "-G", "-W", "-p", os.path.join(work, name + ".pub"),
            "-s", os.path.join(work, name + ".key"))
    data = os.path.join(work, "data.bin")
    with open(data, "wb") as f:
        f.write(random.Random(7).randbytes(100000))
    empty = os.path.join(work, "empty.bin")
    open(empty, "wb").close()

    def sign(key, target, sig, *extra):
        run("minisign", "-S", "-s", os.path.join(work, key + ".key"), "-m", target,
            "-x", os.path.join(work, sig), *extra)

    sign("a", data, "a.ED.minisig", "-t", COMMENT)
    sign("a", data, "a.Ed.minisig", "-l", "-t", COMMENT)
    sign("b", data, "b.ED.minisig", "-t", COMMENT)
    sign("a", data, "a.default.minisig")
    sign("a", empty, "a.empty.minisig", "-t", COMMENT)
    with open(os.path.join(work, "comment.txt"), "w") as f:
        f.write(COMMENT)
    shutil.rmtree(out, ignore_errors=True)
    os.replace(work, out)


if __name__ == "__main__":
    main()
