#!/usr/bin/env python3
"""Whole updates with the console updater against a real nginx on loopback
serving trees made by the publisher. Each test makes its own releases,
server root, installation and temporary folder."""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

ARGS = None
GBK_NAME = b'\x81\x5c.txt'  # one GBK character whose second byte is 0x5C

REL1 = {
    b'program/lkcore.dll': b'core 1' * 100,
    b'share/license.txt': b'unchanged',
    b'share/' + GBK_NAME: b'notes 1',
}
REL2 = {
    b'program/lkcore.dll': os.urandom(300000),
    b'share/license.txt': b'unchanged',
    b'share/' + GBK_NAME: b'notes 2',
    b'templates/letters/letter.lkt': b'new file',
}


def write_tree(root, files):
    for rel, data in files.items():
        path = os.path.join(os.fsencode(root), rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(data)


def read_tree(root):
    tree = {}
    broot = os.fsencode(root)
    for dirpath, _, names in os.walk(broot):
        for name in names:
            full = os.path.join(dirpath, name)
            with open(full, 'rb') as f:
                tree[os.path.relpath(full, broot)] = f.read()
    return tree


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


class UpdateTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='lks-e2e-')
        os.chmod(self.dir, 0o755)  # nginx workers read the tree as another user
        self.port = free_port()
        self.server = os.path.join(self.dir, 'server')
        self.install = os.path.join(self.dir, 'installation')
        self.temp = os.path.join(self.dir, 'lksupdate')
        self.nginx_prefix = os.path.join(self.dir, 'nginx')
        self.nginx_pid = None

    def tearDown(self):
        if self.nginx_pid:
            os.kill(self.nginx_pid, 15)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                try:
                    os.kill(self.nginx_pid, 0)
                except ProcessLookupError:
                    break
                time.sleep(0.05)
        shutil.rmtree(self.dir, ignore_errors=True)

    def publish(self, files, name, server=None):
        release = os.path.join(self.dir, name)
        write_tree(release, files)
        conf = os.path.join(self.dir, 'nginx.conf')
        subprocess.run([ARGS.publish, release, server or self.server, 'V', '--nginx-conf', conf,
                        '--listen', f'127.0.0.1:{self.port}'], check=True, stdout=subprocess.DEVNULL)
        return release

    def serve(self):
        os.makedirs(os.path.join(self.nginx_prefix, 'logs'), exist_ok=True)
        conf = os.path.join(self.dir, 'nginx.conf')
        subprocess.run(['nginx', '-p', self.nginx_prefix, '-c', conf, '-e',
                        os.path.join(self.nginx_prefix, 'logs', 'error.log')], check=True)
        pid_file = os.path.join(self.nginx_prefix, 'logs', 'nginx.pid')
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            try:
                with socket.create_connection(('127.0.0.1', self.port), timeout=1):
                    break
            except OSError:
                time.sleep(0.05)
        with open(pid_file) as f:
            self.nginx_pid = int(f.read())

    def requests(self):
        with open(os.path.join(self.nginx_prefix, 'logs', 'access.log'), 'rb') as f:
            return f.read().count(b'"GET ')

    def install_release1(self):
        release = self.publish(REL1, 'rel1')
        shutil.copytree(release, self.install)
        shutil.copy(os.path.join(self.server, 'V', 'codelist.txt'), self.install)
        with open(os.path.join(self.install, 'codelist.txt'), 'rb') as f:
            self.list1 = f.read()

    def update(self, *extra, install=None):
        cmd = [ARGS.cli, '--install', install or self.install, '--version', 'V', '--host', '127.0.0.1',
               '--port', str(self.port), '--temp', self.temp, *extra]
        return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)

    def expect_installed(self, files, install=None):
        """The installation holds exactly `files` and the list that describes them."""
        tree = read_tree(install or self.install)
        listed = tree.pop(b'codelist.txt')
        self.assertEqual(tree, files)
        if files is REL1:
            self.assertEqual(listed, self.list1, 'the installed list is the old one')
        else:
            with open(os.path.join(self.server, 'V', 'codelist.txt'), 'rb') as f:
                self.assertEqual(listed, f.read())

    def test_client_update_then_nothing_to_do(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        result = self.update()
        self.assertEqual(result.returncode, 0, result.stdout.decode(errors='replace'))
        self.expect_installed(REL2)
        self.assertFalse(os.path.exists(self.temp), 'a completed update leaves no temporary folder')
        before = self.requests()
        result = self.update()
        self.assertEqual(result.returncode, 0)
        self.assertEqual(self.requests() - before, 1, 'only the list is fetched again')

    def test_missing_archive_installs_nothing_and_next_run_fetches_only_the_rest(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        os.remove(os.path.join(self.server, 'V', 'templates', 'letters', 'letter.lkt.zip'))
        self.serve()
        result = self.update()
        self.assertEqual(result.returncode, 4, result.stdout.decode(errors='replace'))
        self.expect_installed(REL1)
        self.publish(REL2, 'rel2b')  # the archive is back
        before = self.requests()
        result = self.update()
        self.assertEqual(result.returncode, 0, result.stdout.decode(errors='replace'))
        self.expect_installed(REL2)
        # The list and the one archive that failed; the others were kept unpacked.
        self.assertEqual(self.requests() - before, 2)

    def test_tampered_archive_is_never_installed(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        archive = os.path.join(self.server, 'V', 'program', 'lkcore.dll.zip')
        with zipfile.ZipFile(archive, 'w') as z:
            z.writestr('lkcore.dll', b'not what the list says')
        self.serve()
        result = self.update()
        self.assertEqual(result.returncode, 4, result.stdout.decode(errors='replace'))
        self.expect_installed(REL1)

    def test_stale_fetched_file_never_overwrites_a_current_one(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        # An older unfinished run left a file for an entry that is current.
        os.makedirs(os.path.join(self.temp, 'share'))
        with open(os.path.join(self.temp, 'share', 'license.txt'), 'wb') as f:
            f.write(b'stale')
        result = self.update()
        self.assertEqual(result.returncode, 0, result.stdout.decode(errors='replace'))
        self.expect_installed(REL2)

    def test_unsafe_list_path_is_never_requested(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        listing = os.path.join(self.server, 'V', 'codelist.txt')
        with open(listing, 'ab') as f:
            f.write(b'<FN\\..\\..\\escape.txt><MD0123456789ABCDEF0123456789ABCDEF><SZ1><ZZ0>\r\n')
        with zipfile.ZipFile(os.path.join(self.server, 'V', 'codelist.txt.zip'), 'w') as z:
            z.write(listing, 'codelist.txt')
        self.serve()
        result = self.update()
        self.assertEqual(result.returncode, 4, result.stdout.decode(errors='replace'))
        self.expect_installed(REL1)
        self.assertFalse(os.path.exists(os.path.join(self.dir, 'escape.txt')))

    def test_server_mode_mirror_then_client_from_the_mirror(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        mirror = os.path.join(self.dir, 'mirror', 'V')
        os.makedirs(mirror)
        result = self.update('--mode', 'server', install=mirror)
        self.assertEqual(result.returncode, 0, result.stdout.decode(errors='replace'))
        served = read_tree(os.path.join(self.server, 'V'))
        self.assertEqual(read_tree(mirror), served)
        # A client updated from nginx serving the mirror.
        os.remove(os.path.join(self.server, 'V'))  # the publisher's link
        shutil.copytree(mirror, os.path.join(self.server, 'V'))
        result = self.update()
        self.assertEqual(result.returncode, 0, result.stdout.decode(errors='replace'))
        self.expect_installed(REL2)


if __name__ == '__main__':
    parser = argparse.ArgumentParser()
    parser.add_argument('--cli', required=True)
    parser.add_argument('--publish', required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
