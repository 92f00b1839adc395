#!/usr/bin/env python3
"""The publisher's tree served by a real nginx on loopback with the
configuration the publisher writes.

Publishes a release with nested folders, a blank in a name, GBK names whose
second byte is 0x5C, a 12-level and an 80-level path, twice and signed;
starts nginx on a free port of 127.0.0.1; requests every archive and the
list's signature as the client does (backslashes raw, blanks as %20, the
client's own headers) and compares the bytes; sends ".." requests under
either separator, which must all be refused; checks that the publisher's own
trees are hidden under every spelling and that no response is compressed.

usage: nginx_publish_test.py LKS-PUBLISH NGINX
"""

import io
import os
import random
import socket
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from lks_fixtures import Checks, Nginx, free_port, publish, write_tree

JOU = b"\x81\x5c"   # GBK, second byte "\"
BING = b"\x95\x5c"  # GBK, second byte "\"

check = Checks()


def request(port, target, accept_encoding=b"gzip, deflate"):
    """GET `target` (raw bytes) with the client's request text; returns
    (status, headers with lower-case names, body)."""
    text = (b"GET " + target + b" HTTP/1.1\r\n"
            b"Accept: */*\r\n"
            b"Accept-Language: zh-cn\r\n"
            b"Accept-Encoding: " + accept_encoding + b"\r\n"
            b"User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.1.4322)\r\n"
            b"Host: 127.0.0.1\r\n"
            b"Connection: close\r\n"
            b"\r\n")
    with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
        s.sendall(text)
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.split(b"\r\n")
    status = int(lines[0].split()[1])
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(b":")
        headers[name.strip().lower()] = value.strip()
    if b"content-length" in headers:
        check(len(body) == int(headers[b"content-length"]),
              "%r: body length differs from Content-Length" % target)
    return status, headers, body


def make_release(release):
    """Writes the release; returns {list path: (path below the release, content)}."""
    rng = random.Random(4)
    deep12 = b"/".join(b"d%d" % i for i in range(1, 12)) + b"/deep.txt"
    deep80 = b"/".join([b"a"] * 79) + b"/f.txt"
    files = {
        b"readme.txt": b"Larkspan Office\r\n",
        b"program/a.dll": bytes(rng.getrandbits(8) for _ in range(300000)),
        b"program/a b.dll": b"a blank in the name",
        b"program/sub/c.dat": b"nested",
        b"program/" + JOU + b".dll": b"jou",
        BING + b"/" + JOU + b"x.txt": b"folder and file with 0x5C second bytes",
        b"locked.ini": b"read only",
        deep12: b"twelve levels",
        deep80: b"eighty levels",
    }
    write_tree(release, files, read_only={b"locked.ini"})
    # No "/" byte stands inside a GBK character, so this replace is safe; the
    # other way round it is not.
    return {b"\\" + rel.replace(b"/", b"\\"): (rel, content) for rel, content in files.items()}


def check_archives(port, served, files):
    for list_path, (rel, content) in files.items():
        target = b"/V" + list_path.replace(b" ", b"%20") + b".zip"
        status, headers, body = request(port, target)
        check(status == 200, "%r: status %d" % (target, status))
        check(b"content-encoding" not in headers, "%r: compressed" % target)
        tree_file = os.path.join(served, rel + b".zip")
        with open(tree_file, "rb") as f:
            check(body == f.read(), "%r: body differs from %r" % (target, tree_file))
        if status != 200:
            continue
        with zipfile.ZipFile(io.BytesIO(body)) as z:
            infos = z.infolist()
            check(len(infos) == 1, "%r: %d entries" % (target, len(infos)))
            info = infos[0]
            # No UTF-8 flag: zipfile decoded the name as code page 437.
            name = info.filename.encode("cp437")
            check(name == rel.rsplit(b"/", 1)[-1], "%r: entry name %r" % (target, name))
            check(info.create_system == 0, "%r: not made by DOS" % target)
            expected = 0x01 if list_path == b"\\locked.ini" else 0x20
            check(info.external_attr == expected,
                  "%r: attributes %#x" % (target, info.external_attr))
            check(z.read(info) == content, "%r: content differs" % target)


def check_list(port, served, files):
    status, headers, body = request(port, b"/V/codelist.txt.zip")
    check(status == 200, "codelist.txt.zip: status %d" % status)
    with open(os.path.join(served, b"codelist.txt.zip"), "rb") as f:
        check(body == f.read(), "codelist.txt.zip differs")
    with zipfile.ZipFile(io.BytesIO(body)) as z:
        text = z.read("codelist.txt")
    paths = [line[3:line.index(b">")] for line in text.split(b"\r\n") if line]
    check(paths == sorted(files), "list paths %r" % paths)
    # The list's signature, as the client will ask for it.
    with open(os.path.join(served, b"codelist.txt.zip.minisig"), "rb") as f:
        signature = f.read()
    for target in [b"/V/codelist.txt.zip.minisig", b"/V\\codelist.txt.zip.minisig"]:
        status, headers, body = request(port, target)
        check(status == 200 and body == signature and b"content-encoding" not in headers,
              "%r: status %d, %d bytes" % (target, status, len(body)))
    # text/plain is what gzip compresses by default: it must stay off.
    status, headers, _ = request(port, b"/V/codelist.txt")
    check(status == 200 and b"content-encoding" not in headers,
          "codelist.txt: status %d, headers %r" % (status, headers))


def check_refusals(port, secret):
    up = b"\\..".join([b""] * 9)  # "\.." eight times: far above any root
    refused = [
        b"/V\\..\\..\\..\\etc\\hostname",
        b"/V" + up + b"\\etc\\hostname",
        b"/V" + up.replace(b"\\", b"/", 1) + b"\\etc\\passwd",
        b"/V/..\\..\\etc\\passwd",
        b"/V\\..%5c..%5cetc%5chostname",
        b"/V%5c..%5c..%5c..%5c..%5c..%5c..%5c..%5cetc%5cpasswd",
        b"/V\\program\\..\\..\\..\\etc\\hostname",
        b"/V\\%2e%2e\\%2E%2E\\etc\\hostname",
        b"/V\\..\\..\\" + secret,
        b"/V\\..\\..\\" + secret + b"?x=1",
        b"/V\\..",
        b"/..\\" + secret,
    ]
    forbidden_bodies = []
    for path in ("/etc/hostname", "/etc/passwd"):
        with open(path, "rb") as f:
            forbidden_bodies.append(f.read())
    forbidden_bodies.append(b"the secret beside the server root")
    for target in refused:
        status, _, body = request(port, target)
        check(status == 403, "%r: status %d, not 403" % (target, status))
        check(not any(b and b in body for b in forbidden_bodies),
              "%r: served a file from outside the root" % target)
    # nginx resolves "/.." itself: still never outside the root.
    for target in [b"/V/../../" + secret, b"/V\\../../" + secret]:
        status, _, body = request(port, target)
        check(status in (400, 403, 404), "%r: status %d" % (target, status))
        check(not any(b and b in body for b in forbidden_bodies),
              "%r: served a file from outside the root" % target)


def check_hidden_trees(port, root, trees):
    """The publisher's trees answer only through the version folder, under
    every spelling of the separators."""
    spellings = [
        b"/%s/codelist.txt",
        b"/%s\\codelist.txt",
        b"/%%5c%s/codelist.txt",
        b"/%%5C%s/codelist.txt",
        b"/%%5c%s%%5ccodelist.txt",
        b"/\\%s\\codelist.txt",
        b"/\\%s/codelist.txt",
        b"/\\\\%s\\codelist.txt",
        b"//%s/codelist.txt",
        b"/./%s/codelist.txt",
        b"/.\\%s\\codelist.txt",
        b"/.%%5c%s%%5Ccodelist.txt",
        b"/%%2e%s/codelist.txt",
        b"/%%5c%%2e%s/codelist.txt",
        b"/\\%s\\codelist.txt.zip",
    ]
    for tree in trees:
        check(os.path.isfile(os.path.join(root, tree, b"codelist.txt")),
              "%r is not there to hide" % tree)
        with open(os.path.join(root, tree, b"codelist.txt"), "rb") as f:
            listed = f.read()
        for spelling in spellings:
            # "%2e" spells the tree's leading dot itself.
            name = tree[1:] if b"%%2e" in spelling else tree
            target = spelling % name
            status, _, body = request(port, target)
            check(status == 404, "%r: status %d, not 404" % (target, status))
            check(listed not in body, "%r: served a hidden tree" % target)
    # The version folder itself, under the same spellings.
    for target in [b"/V/codelist.txt", b"/V\\codelist.txt", b"/V%5ccodelist.txt",
                   b"/V%5Ccodelist.txt", b"/V%5c..%5cV/codelist.txt"]:
        status, _, _ = request(port, target)
        expected = 403 if b".." in target else 200
        check(status == expected, "%r: status %d, not %d" % (target, status, expected))


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    publisher, nginx = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="lks-nginx-publish-")
    # nginx's workers run as an unprivileged user when started by root.
    os.chmod(work, 0o755)
    try:
        base = os.fsencode(work)
        release = os.path.join(base, b"release")
        root = os.path.join(base, b"root")
        prefix = os.path.join(work, "nginx")
        conf = os.path.join(prefix, "nginx.conf")
        os.makedirs(prefix)
        secret = b"secret.txt"
        with open(os.path.join(base, secret), "wb") as f:
            f.write(b"the secret beside the server root")
        files = make_release(release)
        port = free_port()
        key = os.path.join(base, b"list.key")
        subprocess.run([publisher, b"--generate-key", os.path.join(base, b"list.pub"), key,
                        b"--no-password"], check=True, stdout=subprocess.DEVNULL)
        # Twice: the tree served before the second switch stays beside the
        # new one, and neither may be reached by its own name.
        for _ in range(2):
            publish(publisher, release, root, conf, "127.0.0.1:%d" % port, "--secret-key", key)
        trees = sorted(n for n in os.listdir(root) if n.startswith(b".V."))
        check(trees == [b".V.1", b".V.2"], "trees %r" % trees)
        served = os.path.join(root, b"V")
        server = Nginx(conf, prefix, port, program=nginx).start()
        try:
            check_archives(port, served, files)
            check_list(port, served, files)
            check_refusals(port, secret)
            check_hidden_trees(port, root, trees)
        finally:
            server.stop()
        if check.failures:
            sys.stderr.write(server.error_log())
    finally:
        subprocess.run(["chmod", "-R", "u+w", work])
        subprocess.run(["rm", "-rf", work])
    check.finish()


if __name__ == "__main__":
    main()
