#!/usr/bin/env python3
"""Makes the release of update_bench.sh in OUTDIR, the same bytes on every run:

  2,000 files (FILES) in 30 folders up to four levels deep, about 300 MiB in
  all (times SCALE): most files of 1-64 KiB, a fifth of 64 KiB-1 MiB and 2% of
  2-8 MiB. A third is random bytes (images, packed resources: deflate gains
  nothing), a third text (XML, help pages: about 3x) and a third program-like
  (three 2 KiB pieces of text, then one of random bytes: about 1.8x).

Usage: make_update_bench_data.py OUTDIR [SCALE] [FILES]
Prints the number of files and bytes.
"""
import math
import os
import random
import sys

MIB = 1024 * 1024
KIB = 1024

FOLDERS = [
    "program", "program/filters", "program/resource", "program/resource/zh-CN",
    "program/classes", "program/python/lib", "program/python/lib/encodings",
    "share/config", "share/config/soffice.cfg/modules/swriter",
    "share/config/soffice.cfg/modules/scalc", "share/config/soffice.cfg/modules/simpress",
    "share/templates/letters", "share/templates/reports", "share/templates/presentations",
    "share/gallery", "share/gallery/arrows", "share/gallery/symbols", "share/autotext/zh-CN",
    "share/wordbook", "share/fonts/truetype", "share/palette", "share/registry",
    "help/zh-CN/writer", "help/zh-CN/calc", "help/zh-CN/impress", "help/zh-CN/shared",
    "help/zh-CN/media", "readmes", "licenses", "sdk/include",
]
EXTENSIONS = {
    "random": [".png", ".jpg", ".lkt", ".ttf", ".res"],
    "text": [".xml", ".xhp", ".txt", ".xcu", ".h"],
    "program": [".dll", ".exe", ".so", ".class", ".pyd"],
}


def word_pool(rnd, size):
    """Text of pseudo-words, 2,000 of them at Zipf frequencies: deflate gets about 3x."""
    letters = "etaoinshrdlucmfwypvbgkqjxz"
    vocab = []
    for _ in range(2000):
        n = rnd.randint(2, 10)
        vocab.append("".join(rnd.choice(letters) for _ in range(n)))
    cumulative = []
    running = 0.0
    for rank in range(len(vocab)):
        running += 1 / (rank + 1)
        cumulative.append(running)
    words = rnd.choices(vocab, cum_weights=cumulative, k=size // 4)
    out = []
    at = 0
    while at < len(words):
        n = rnd.randint(4, 14)
        out.append(" ".join(words[at:at + n]) + "\r\n")
        at += n
    return "".join(out).encode()[:size]


def sizes(rnd, count, total):
    raw = []
    for _ in range(count):
        r = rnd.random()
        if r < 0.02:
            low, high = 2 * MIB, 8 * MIB
        elif r < 0.22:
            low, high = 64 * KIB, MIB
        else:
            low, high = KIB, 64 * KIB
        raw.append(math.exp(rnd.uniform(math.log(low), math.log(high))))
    factor = total / sum(raw)
    return [max(1, int(s * factor)) for s in raw]


def content(rnd, kind, size, pool):
    if kind == "random":
        return rnd.randbytes(size)
    piece = 2 * KIB
    parts = []
    made = 0
    turn = 0
    while made < size:
        n = min(piece, size - made)
        if kind == "program" and turn % 4 == 3:
            parts.append(rnd.randbytes(n))
        else:
            at = rnd.randrange(0, len(pool) - n)
            parts.append(pool[at:at + n])
        turn += 1
        made += n
    return b"".join(parts)


def main():
    out = sys.argv[1]
    scale = float(sys.argv[2]) if len(sys.argv) > 2 else 1.0
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 2000
    rnd = random.Random(20240611)
    pool = word_pool(rnd, 8 * MIB)
    kinds = ["random", "text", "program"]
    total = 0
    for n, size in enumerate(sizes(rnd, count, int(300 * MIB * scale))):
        kind = kinds[n % 3]
        folder = rnd.choice(FOLDERS)
        name = "f%04d%s" % (n, rnd.choice(EXTENSIONS[kind]))
        os.makedirs(os.path.join(out, folder), exist_ok=True)
        with open(os.path.join(out, folder, name), "wb") as f:
            f.write(content(rnd, kind, size, pool))
        total += size
    print("%d files, %d bytes" % (count, total))


main()
