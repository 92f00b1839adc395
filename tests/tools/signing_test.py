#!/usr/bin/env python3
"""lks-publish signs the list archive so that the minisign tool accepts it,
with keys it makes itself and with keys made by minisign.

For each way of making a key (table below): publishes a release signed with
it; `minisign -V` accepts the tree's codelist.txt.zip and shows the trusted
comment "lksupdate version=V serial=1"; a second publication has serial 2.
Then: --serial and --valid-days, a tree signed by minisign itself continued
by the publisher, a wrong password (nothing switched), a password that would
have to come from a terminal (refused, no wait), the secret key's mode, and
the SH field of an unsigned publication.

usage: signing_test.py LKS-PUBLISH MINISIGN
"""

import base64
import calendar
import hashlib
import os
import pty
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from lks_fixtures import Checks, write_tree

RUN_LIMIT_S = 120  # scrypt of an encrypted key takes seconds and 1 GiB

check = Checks()


def run(args, stdin_text=None, umask=None, **kwargs):
    return subprocess.run(args, input=stdin_text, capture_output=True, text=True,
                          timeout=RUN_LIMIT_S,
                          preexec_fn=(lambda: os.umask(umask)) if umask is not None else None,
                          **kwargs)


class Env:
    def __init__(self, publisher, minisign, work):
        self.publisher = publisher
        self.minisign = minisign
        self.work = work
        self.release = os.path.join(work, "release")
        write_tree(self.release, {b"readme.txt": b"Larkspan Office\r\n",
                                  b"program/a.dll": b"MZ" + bytes(range(256)) * 40,
                                  b"program/b c.dat": b""})

    def publish(self, root, *extra, stdin_text=None):
        return run([self.publisher, self.release, root, "V", *extra], stdin_text=stdin_text)

    def trusted_comment(self, root):
        with open(os.path.join(root, "V", "codelist.txt.zip.minisig")) as f:
            lines = f.read().split("\n")
        check(len(lines) == 5 and lines[4] == "", "signature lines %r" % lines)
        check(lines[0] == "untrusted comment: signature from minisign secret key",
              "untrusted comment %r" % lines[0])
        check(base64.b64decode(lines[1])[:2] == b"ED", "not the prehashed kind: %r" % lines[1])
        prefix = "trusted comment: "
        check(lines[2].startswith(prefix), "trusted line %r" % lines[2])
        return lines[2][len(prefix):]

    def minisign_accepts(self, root, public_key, label):
        """minisign -V in the version folder; returns its trusted comment."""
        result = run([self.minisign, "-V", "-p", public_key, "-m", "codelist.txt.zip"],
                     cwd=os.path.join(root, "V"))
        check(result.returncode == 0,
              "%s: minisign -V failed: %s%s" % (label, result.stdout, result.stderr))
        for line in result.stdout.splitlines():
            if line.startswith("Trusted comment: "):
                return line[len("Trusted comment: "):]
        check(False, "%s: minisign shows no trusted comment: %r" % (label, result.stdout))
        return None


# Ways of making a key: (label, make(env, pub, key) -> completed process,
# password given to lks-publish: None, ("stdin", text) or ("file", text)).
def publisher_key(password):
    def make(env, pub, key):
        args = [env.publisher, "--generate-key", pub, key]
        if password is None:
            return run(args + ["--no-password"], umask=0)
        path = os.path.join(env.work, "password-for-" + os.path.basename(key))
        with open(path, "w") as f:
            f.write(password + "\n")
        return run(args + ["--password-file", path], umask=0)
    return make


def minisign_key(password):
    def make(env, pub, key):
        if password is None:
            return run([env.minisign, "-G", "-W", "-p", pub, "-s", key])
        return run([env.minisign, "-G", "-p", pub, "-s", key],
                   stdin_text="%s\n%s\n" % (password, password))
    return make


KEY_CASES = [
    ("publisher_unencrypted", publisher_key(None), None, True),
    ("publisher_encrypted_password_on_stdin", publisher_key("pass word 1"),
     ("stdin", "pass word 1"), True),
    ("minisign_unencrypted", minisign_key(None), None, False),
    ("minisign_encrypted_password_file", minisign_key("zweites Wort"),
     ("file", "zweites Wort"), False),
]


def password_args(env, label, password):
    """The lks-publish arguments and standard input that give `password`."""
    if password is None:
        return [], None
    how, text = password
    if how == "stdin":
        return [], text + "\n"
    path = os.path.join(env.work, label + ".password")
    with open(path, "w") as f:
        f.write(text + "\r\n")  # a CR LF line end is no part of it
    return ["--password-file", path], None


def check_key_cases(env):
    for label, make, password, made_by_publisher in KEY_CASES:
        pub = os.path.join(env.work, label + ".pub")
        key = os.path.join(env.work, label + ".key")
        made = make(env, pub, key)
        check(made.returncode == 0, "%s: making the key failed: %s" % (label, made.stderr))
        if made.returncode != 0:
            continue
        if made_by_publisher:
            # Made with umask 0: the mode comes from the creation itself.
            mode = os.stat(key).st_mode & 0o777
            check(mode == 0o600, "%s: secret key mode %o" % (label, mode))
        root = os.path.join(env.work, "root-" + label)
        args, stdin_text = password_args(env, label, password)
        for serial in (1, 2):
            result = env.publish(root, "--secret-key", key, *args, stdin_text=stdin_text)
            check(result.returncode == 0, "%s: publish %d failed: %s" % (label, serial,
                                                                          result.stderr))
            expected = "lksupdate version=V serial=%d" % serial
            check(env.trusted_comment(root) == expected,
                  "%s: trusted comment %r" % (label, env.trusted_comment(root)))
            shown = env.minisign_accepts(root, pub, label)
            check(shown == expected, "%s: minisign shows %r" % (label, shown))
        if made_by_publisher:
            # minisign signs with the publisher's keys too.
            signed = os.path.join(env.work, label + ".signed")
            with open(signed, "w") as f:
                f.write("data")
            result = run([env.minisign, "-S", "-s", key, "-m", signed],
                         stdin_text=(password[1] + "\n") if password else None)
            check(result.returncode == 0, "%s: minisign -S: %s" % (label, result.stderr))
            result = run([env.minisign, "-V", "-p", pub, "-m", signed])
            check(result.returncode == 0, "%s: minisign -V: %s" % (label, result.stderr))


def make_plain_key(env, name):
    pub = os.path.join(env.work, name + ".pub")
    key = os.path.join(env.work, name + ".key")
    result = run([env.publisher, "--generate-key", pub, key, "--no-password"])
    if result.returncode != 0:
        raise SystemExit("cannot make a key: " + result.stderr)
    return pub, key


def check_serial_and_end(env):
    pub, key = make_plain_key(env, "serials")
    root = os.path.join(env.work, "root-serials")
    result = env.publish(root, "--secret-key", key, "--serial", "41")
    check(result.returncode == 0, "--serial: %s" % result.stderr)
    check(env.trusted_comment(root) == "lksupdate version=V serial=41",
          "--serial: %r" % env.trusted_comment(root))
    before = int(time.time())
    result = env.publish(root, "--secret-key", key, "--valid-days", "30")
    after = int(time.time())
    check(result.returncode == 0, "--valid-days: %s" % result.stderr)
    comment = env.trusted_comment(root)
    head, _, until = comment.partition(" valid-until=")
    check(head == "lksupdate version=V serial=42", "--valid-days: %r" % comment)
    try:
        end = calendar.timegm(time.strptime(until, "%Y-%m-%dT%H:%M:%SZ"))
    except ValueError:
        end = None
    check(end is not None and before + 30 * 86400 <= end <= after + 30 * 86400,
          "valid-until %r is not 30 days from now" % until)
    check(env.minisign_accepts(root, pub, "valid-days") == comment, "valid-days: minisign")

    # A tree that minisign itself signed: the publisher goes on from its serial.
    mpub = os.path.join(env.work, "m.pub")
    mkey = os.path.join(env.work, "m.key")
    run([env.minisign, "-G", "-W", "-p", mpub, "-s", mkey])
    served = os.path.join(root, "V")
    sig = os.path.join(served, "codelist.txt.zip.minisig")
    os.remove(sig)
    result = run([env.minisign, "-S", "-s", mkey, "-m", os.path.join(served, "codelist.txt.zip"),
                  "-t", "lksupdate version=V serial=77"])
    check(result.returncode == 0, "minisign -S on the tree: %s" % result.stderr)
    result = env.publish(root, "--secret-key", mkey)
    check(result.returncode == 0, "after minisign: %s" % result.stderr)
    check(env.trusted_comment(root) == "lksupdate version=V serial=78",
          "after minisign: %r" % env.trusted_comment(root))

    # A served signature without a serial: refused, unless --serial says.
    result = run([env.minisign, "-S", "-s", mkey, "-m", os.path.join(served, "codelist.txt.zip")])
    result = env.publish(root, "--secret-key", mkey)
    check(result.returncode == 1 and "--serial" in result.stderr,
          "no serial served: %d %s" % (result.returncode, result.stderr))


def check_refused_passwords(env):
    pub = os.path.join(env.work, "pw.pub")
    key = os.path.join(env.work, "pw.key")
    made = run([env.minisign, "-G", "-p", pub, "-s", key], stdin_text="right\nright\n")
    check(made.returncode == 0, "minisign -G: %s" % made.stderr)
    root = os.path.join(env.work, "root-passwords")
    result = env.publish(root, "--secret-key", key, stdin_text="right\n")
    check(result.returncode == 0, "right password: %s" % result.stderr)
    with open(os.path.join(root, "V", "codelist.txt.zip.minisig"), "rb") as f:
        served = f.read()

    result = env.publish(root, "--secret-key", key, stdin_text="wrong\n")
    check(result.returncode == 1 and "password" in result.stderr,
          "wrong password: %d %s" % (result.returncode, result.stderr))
    with open(os.path.join(root, "V", "codelist.txt.zip.minisig"), "rb") as f:
        check(f.read() == served, "a refused publication changed the served tree")

    # Standard input on a terminal: refused at once, nothing read from it.
    controller, terminal = pty.openpty()
    try:
        result = subprocess.run([env.publisher, env.release, root, "V", "--secret-key", key],
                                stdin=terminal, capture_output=True, text=True,
                                timeout=RUN_LIMIT_S)
    finally:
        os.close(terminal)
        os.close(controller)
    check(result.returncode == 1 and "--password-file" in result.stderr,
          "password from a terminal: %d %s" % (result.returncode, result.stderr))

    # --generate-key never replaces a key.
    result = run([env.publisher, "--generate-key", pub, key, "--no-password"])
    check(result.returncode == 1 and "exists" in result.stderr,
          "key replaced: %d %s" % (result.returncode, result.stderr))


def check_unsigned_tree(env):
    root = os.path.join(env.work, "root-unsigned")
    result = env.publish(root)
    check(result.returncode == 0, "unsigned: %s" % result.stderr)
    served = os.path.join(root, "V")
    check(not os.path.exists(os.path.join(served, "codelist.txt.zip.minisig")),
          "an unsigned tree has a signature")
    with open(os.path.join(served, "codelist.txt"), "rb") as f:
        lines = [line for line in f.read().split(b"\r\n") if line]
    check(len(lines) == 3, "list lines %r" % lines)
    for line in lines:
        path = line[3:line.index(b">")].decode().replace("\\", "/").lstrip("/")
        with open(os.path.join(env.release, path), "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest().upper().encode()
        check(line.endswith(b"<SH" + digest + b">"), "SH of %r: %r" % (path, line))


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    publisher, minisign = sys.argv[1], sys.argv[2]
    if shutil.which(minisign) is None:
        raise SystemExit("%s is missing (scripts/bootstrap installs it)" % minisign)
    work = tempfile.mkdtemp(prefix="lks-signing-")
    try:
        env = Env(publisher, minisign, work)
        check_key_cases(env)
        check_serial_and_end(env)
        check_refused_passwords(env)
        check_unsigned_tree(env)
    finally:
        shutil.rmtree(work)
    check.finish()


if __name__ == "__main__":
    main()
