#!/usr/bin/env python3
"""The reference of planning_bench.sh: the same plan in plain Python.

Reads the installed list into a dict (first entry of a path wins), walks the
new list, and for each entry that is not current probes the temporary folder
and hashes the file found there with hashlib. Prints, like lks_planning_bench
plan, "seconds downloads fetched result" (the time excludes start-up).

Usage: planning_reference.py DIR
"""
import hashlib
import re
import sys
import time

FIELD = {tag: re.compile(rb"<" + tag + rb"\s*([^>]*?)\s*>") for tag in (b"FN", b"MD")}


def field(line, tag):
    m = FIELD[tag].search(line)
    return m.group(1) if m else b""


def read_lines(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return None
    lines = data.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    return [line[:-1] if line.endswith(b"\r") else line for line in lines]


def native(path):
    # "\" as a character of its own (never a GBK trail byte) is the separator.
    return path.decode("gbk", "surrogateescape").replace("\\", "/").encode("gbk", "surrogateescape")


def fetched(temp, path, checksum):
    try:
        with open(temp + native(path), "rb") as f:
            digest = hashlib.md5(f.read()).hexdigest().upper().encode()
    except OSError:
        return False
    return digest == checksum


def main():
    root = sys.argv[1].encode()
    start = time.perf_counter()
    installed = {}
    for line in read_lines(root + b"/install/codelist.txt") or []:
        installed.setdefault(field(line, b"FN"), field(line, b"MD"))
    fresh = read_lines(root + b"/temp/codelist.txt")
    downloads = found = 0
    for line in fresh or []:
        path = field(line, b"FN")
        if not path:
            continue
        checksum = field(line, b"MD")
        old = installed.get(path)
        if old is not None and old.startswith(checksum):
            continue
        if fetched(root + b"/temp", path, checksum):
            found += 1
        else:
            downloads += 1
    took = time.perf_counter() - start
    print("%.6f %d %d %d" % (took, downloads, found, 1 if downloads or found else 0))


main()
