#!/usr/bin/env python3
"""Whole updates with the console updater against a real nginx on loopback
serving trees made by the publisher. Each test makes its own releases,
server root, installation and temporary folder.

With --wine the updater is the Windows build run under Wine (Z:\\ paths), while
the publisher and nginx stay native: the server always holds GBK-byte names,
and the installation holds them as Wine writes Windows names, in UTF-8."""
import argparse
import hashlib
import os
import platform
import pwd
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from lks_fixtures import (GBK_NAME, Nginx, free_port, publish, read_tree, start_ready, stop_ready,
                          end_process, walk_files, write_tree)

ARGS = None
SCRIPTS = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..', 'scripts'))
WINE_RUN = os.path.join(SCRIPTS, 'wine-run')
AS_TEST_USER = os.path.join(SCRIPTS, 'as-test-user')
ATTACKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'attacker.py')
TEST_USER = 'lkstest'
LIST_REQUEST = b'/V/codelist.txt.zip'

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
# In the order of the list, which is the order of the copy.
CHANGED = sorted(name for name in REL2 if REL1.get(name) != REL2[name])

# Stops the updater, under gdb, at the second rename of a staged file over its
# target: every file of the copy step goes through one, so the first file has
# been replaced and the second is staged whole.
GDB_STOP_IN_COPY = """
import gdb

class StopInCopy(gdb.Breakpoint):
    def __init__(self):
        super().__init__('rename')
        self.hits = 0

    def stop(self):
        # Any bytes: names are GBK.
        source = gdb.parse_and_eval('(const char*)FIRST_ARGUMENT').string('latin-1')
        if os.path.basename(source).startswith('~lks'):
            self.hits += 1
        return self.hits == 2

gdb.execute('set breakpoint pending on')
stop_in_copy = StopInCopy()
"""


def stored_name(name):
    """A release path as the installation's file system holds it."""
    return name.decode('gbk').encode('utf-8') if ARGS.wine else name


def served_name(name):
    """The inverse of stored_name: the GBK bytes the server holds."""
    return name.decode('utf-8').encode('gbk') if ARGS.wine else name


def stored(files):
    return {stored_name(name): data for name, data in files.items()}


def program_path(path):
    """A path as the updater takes it."""
    return 'Z:' + path.replace('/', '\\') if ARGS.wine else path


def digests(files):
    """Sizes and checksums: a failing comparison stays readable."""
    return {name: (len(data), hashlib.md5(data).hexdigest()) for name, data in files.items()}


def read_only_names(root):
    """Files with no write permission bit: a read-only file on Linux, natively and from Wine."""
    return {rel for rel, full in walk_files(root) if os.stat(full).st_mode & 0o222 == 0}


def chown_tree(root, user):
    entry = pwd.getpwnam(user)
    os.chown(root, entry.pw_uid, entry.pw_gid)
    for dirpath, dirs, names in os.walk(root):
        for name in dirs + names:
            os.chown(os.path.join(dirpath, name), entry.pw_uid, entry.pw_gid)


def forward_slashes(listing):
    """A list written with "/" between folders (GBK-aware: 0x5C may be a second byte)."""
    return listing.decode('gbk').replace('\\', '/').encode('gbk')


def output_of(result):
    # The Windows build writes its console text in the ANSI code page.
    return result.stdout.decode('gbk' if ARGS.wine else 'utf-8', errors='replace')


class UpdateTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if ARGS.wine:
            # The prefix's services start here, detached: started by an updater
            # run they would keep its output open.
            subprocess.run([WINE_RUN, 'wineboot'], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=True, timeout=300)

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='lks-e2e-')
        os.chmod(self.dir, 0o755)  # nginx workers and lkstest read the tree as other users
        self.port = free_port()
        self.server = os.path.join(self.dir, 'server')
        self.install = os.path.join(self.dir, 'installation')
        self.temp = os.path.join(self.dir, 'lksupdate')
        self.nginx = None
        self.lists = {}
        self.runs = 0
        self.trusted = []  # public key files the updater is given
        # Cleanups run last first: a test's own ones, then nginx, then the folder.
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.addCleanup(self.stop_nginx)

    def stop_nginx(self):
        if self.nginx:
            self.nginx.stop()

    def publish(self, files, name, server=None, read_only=(), key=None):
        release = os.path.join(self.dir, name)
        write_tree(release, files, read_only)
        root = server or self.server
        signing = ['--secret-key', key] if key else []
        publish(ARGS.publish, release, root, os.path.join(self.dir, 'nginx.conf'),
                f'127.0.0.1:{self.port}', *signing)
        with open(os.path.join(root, 'V', 'codelist.txt'), 'rb') as f:
            self.lists[name] = f.read()
        return release

    def serve(self):
        self.nginx = Nginx(os.path.join(self.dir, 'nginx.conf'), os.path.join(self.dir, 'nginx'),
                           self.port).start()

    def log_mark(self):
        return len(self.nginx.access_log())

    def requested_since(self, mark):
        return self.nginx.requested_since(mark)

    def use_test_user(self):
        """Installation and temporary folder owned by lkstest, for runs as that user."""
        home = os.path.join(self.dir, 'user')
        os.mkdir(home)
        self.install = os.path.join(home, 'installation')
        self.temp = os.path.join(home, 'lksupdate')
        chown_tree(home, TEST_USER)

    def install_release1(self, owner=None):
        release = self.publish(REL1, 'rel1')
        write_tree(self.install, stored(read_tree(release)))
        shutil.copy(os.path.join(self.server, 'V', 'codelist.txt'), self.install)
        if owner:
            chown_tree(self.install, owner)

    def update_command(self, *extra, install=None, as_test_user=False):
        keys = [arg for key in self.trusted for arg in ('--trusted-key', program_path(key))]
        args = ['--install', program_path(install or self.install), '--version', 'V',
                '--host', '127.0.0.1', '--port', str(self.port),
                '--temp', program_path(self.temp), *keys, *extra]
        if as_test_user:
            return [AS_TEST_USER, ARGS.cli, *args]  # a *.exe runs in lkstest's own Wine prefix
        return [WINE_RUN, ARGS.cli, *args] if ARGS.wine else [ARGS.cli, *args]

    def run_logged(self, cmd, env=None):
        # Output to a file, not a pipe: a Wine process the run starts may keep a pipe open.
        self.runs += 1
        log = os.path.join(self.dir, f'run{self.runs}.log')
        with open(log, 'wb') as out:
            result = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                    timeout=600, env=env)
        with open(log, 'rb') as f:
            result.stdout = f.read()
        return result

    def update(self, *extra, install=None, as_test_user=False):
        return self.run_logged(self.update_command(*extra, install=install, as_test_user=as_test_user))

    def expect_update(self, status, *extra, as_test_user=False):
        result = self.update(*extra, as_test_user=as_test_user)
        self.assertEqual(result.returncode, status, output_of(result))
        return result

    def expect_installed(self, files, release, install=None):
        """The installation holds exactly `files` (nothing half-done beside
        them) and the list `release` was published with."""
        tree = read_tree(install or self.install)
        listed = tree.pop(b'codelist.txt', None)
        self.assertEqual(digests(tree), digests(stored(files)))
        self.assertEqual(listed, self.lists[release], f'the installed list is the one of {release}')

    def expect_whole_files(self, tree):
        """Each file of an interrupted update is one release's whole file."""
        for name, data in tree.items():
            self.assertIn(data, (stored(REL1).get(name), stored(REL2).get(name)), f'{name} is whole')

    def expect_temp_holds_fetched(self):
        """The temporary folder was kept with every changed file unpacked and whole."""
        fetched = read_tree(self.temp)
        for name in CHANGED:
            self.assertEqual(digests({name: fetched.get(stored_name(name), b'')}),
                             digests({name: REL2[name]}))

    def start_holder(self, program, *args):
        """Starts a process that runs until stop_holder; returns once it says it is ready."""
        if not ARGS.wine:
            proc = subprocess.Popen([program, *args], stdin=subprocess.DEVNULL)
            self.addCleanup(self.stop_holder, proc)
            # Popen returns once the program's exec succeeded: /proc shows it from then on.
            return proc
        proc, line = start_ready([WINE_RUN, program, *args])
        self.addCleanup(self.stop_holder, proc)
        self.assertEqual(line, b'ready\n', f'the holder is not ready (status {proc.poll()})')
        return proc

    def stop_holder(self, proc):
        if ARGS.wine:
            stop_ready(proc)  # it ends when its input does
        elif proc.poll() is None:
            proc.terminate()
            end_process(proc)


    def serve_list(self, listing, release, members=None):
        """Serves `listing` as the version's list, zipped; `members` (name ->
        bytes, stored uncompressed) replaces the archive's content."""
        folder = os.path.join(self.server, 'V')
        with open(os.path.join(folder, 'codelist.txt'), 'wb') as f:
            f.write(listing)
        with zipfile.ZipFile(os.path.join(folder, 'codelist.txt.zip'), 'w') as z:
            for name, data in (members if members is not None else {'codelist.txt': listing}).items():
                z.writestr(name, data)
        self.lists[release] = listing

    def hold_suite(self):
        """A running program of the suite, so that a run asks to close it; returns a stopper."""
        program_dir = os.path.join(self.install, 'program')
        if ARGS.wine:
            suite = os.path.join(program_dir, 'lksuite.exe')
            shutil.copy(ARGS.holder, suite)
            holder = self.start_holder(program_path(suite))
        else:
            suite = os.path.join(program_dir, 'lksuite')
            shutil.copy('/bin/sleep', suite)  # harmless and long-running; only its path matters
            holder = self.start_holder(suite, '3600')

        def stop():
            self.stop_holder(holder)
            self.assertIsNotNone(holder.returncode)
            os.remove(suite)
        return stop

    def shared_temp(self):
        """The temporary folder in a folder every user may write, as /var/tmp is."""
        shared = os.path.join(self.dir, 'shared')
        os.mkdir(shared)
        os.chmod(shared, 0o1777)
        self.temp = os.path.join(shared, 'lksupdate')
        return shared

    def start_attacker(self, *args):
        """Another user at work (attacker.py) until the test ends it."""
        proc, line = start_ready([AS_TEST_USER, '/usr/bin/python3', ATTACKER, *args, '120'],
                                 stderr=None)
        self.addCleanup(stop_ready, proc)
        self.assertEqual(line, b'ready\n', 'the attacker did not get ready')
        return proc

    def make_outside(self):
        """Files of nobody's update, which no attack may change."""
        outside = os.path.join(self.dir, 'outside')
        write_tree(outside, {b'victim.txt': b'victim', b'victim.zip': b'victim zip',
                             b'lkcore.dll': b'not the suite\'s'})
        os.chmod(outside, 0o777)
        with open(os.path.join(self.dir, 'x'), 'wb') as f:
            f.write(b'x')  # where the climbing name points
        return outside, read_tree(outside)

    def make_key(self, name):
        """A key pair made by the publisher, without a password: (public, secret)."""
        pub = os.path.join(self.dir, name + '.pub')
        sec = os.path.join(self.dir, name + '.key')
        subprocess.run([ARGS.publish, '--generate-key', pub, sec, '--no-password'], check=True,
                       stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        return pub, sec

    def sign_with_minisign(self, sec, comment=None):
        """Signs the served list archive with the minisign tool itself."""
        archive = os.path.join(self.server, 'V', 'codelist.txt.zip')
        cmd = ['minisign', '-S', '-s', sec, '-m', archive, '-x', archive + '.minisig']
        if comment is not None:
            cmd += ['-t', comment]
        subprocess.run(cmd, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)


    def expect_closing_text(self, result, text):
        """The run's last status line is its closing text: no download notice comes after it."""
        lines = output_of(result).splitlines()
        shown = [line[2:] for line in lines if line.startswith('* ')]
        self.assertTrue(shown, output_of(result))
        self.assertEqual(shown[-1], text, output_of(result))

    # -- the tests ---------------------------------------------------------

    def test_client_update_then_nothing_to_do(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        self.expect_update(0)
        self.expect_installed(REL2, 'rel2')
        self.assertFalse(os.path.exists(self.temp), 'a completed update leaves no temporary folder')
        mark = self.log_mark()
        self.expect_update(0)
        self.assertEqual(self.requested_since(mark), [LIST_REQUEST], 'only the list is fetched again')

    def test_read_only_files_install_and_are_replaced_as_an_unprivileged_user(self):
        # Each file's read-only attribute in release 1, then in release 2.
        cases = {
            b'program/lkcore.dll': (True, False),
            b'share/' + GBK_NAME: (True, True),
            b'share/license.txt': (False, False),
            b'templates/letters/letter.lkt': (None, True),
        }
        read_only1 = {name for name, (ro, _) in cases.items() if ro}
        read_only2 = {name for name, (_, ro) in cases.items() if ro}
        self.use_test_user()
        # Release 1 installed by the updater itself into an empty installation.
        self.publish(REL1, 'rel1', read_only=read_only1)
        self.serve()
        self.expect_update(0, as_test_user=True)
        self.expect_installed(REL1, 'rel1')
        self.assertEqual(read_only_names(self.install), {stored_name(n) for n in read_only1})
        self.assertFalse(os.path.exists(self.temp), 'read-only fetched files are removed too')

        self.publish(REL2, 'rel2', read_only=read_only2)
        self.expect_update(0, as_test_user=True)
        self.expect_installed(REL2, 'rel2')
        self.assertEqual(read_only_names(self.install), {stored_name(n) for n in read_only2})
        self.assertFalse(os.path.exists(self.temp))
        user = pwd.getpwnam(TEST_USER).pw_uid
        self.assertEqual({os.stat(full).st_uid for _, full in walk_files(self.install)}, {user},
                         'the files were written by lkstest')

    def test_refused_close_installs_nothing_then_next_run_reuses_the_fetched_files(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        stop_suite = self.hold_suite()

        mark = self.log_mark()
        result = self.expect_update(5, '--answer', 'cancel')
        self.assertIn('-> Cancel', output_of(result), 'the user was asked to close the suite')
        self.assertEqual(len(self.requested_since(mark)), 1 + len(CHANGED), 'the list and every archive')
        stop_suite()
        self.expect_installed(REL1, 'rel1')
        self.expect_temp_holds_fetched()

        mark = self.log_mark()
        result = self.expect_update(0, '--answer', 'cancel')
        self.assertNotIn('-> Cancel', output_of(result), 'nobody is asked once the suite is closed')
        self.expect_installed(REL2, 'rel2')
        self.assertEqual(self.requested_since(mark), [LIST_REQUEST], 'the fetched files are reused')

    def test_failed_copy_keeps_the_old_list_and_the_temp_folder_then_next_run_completes(self):
        if ARGS.wine:
            # Another process holds a changed file open, sharing nothing.
            self.install_release1()
            held = os.path.join(self.install, 'program', 'lkcore.dll')
            as_test_user = False
        else:
            # A folder the updater may not write to (root would write all the same).
            self.use_test_user()
            self.install_release1(owner=TEST_USER)
            locked = os.path.join(os.fsencode(self.install), b'share')
            os.chmod(locked, 0o555)
            self.addCleanup(os.chmod, locked, 0o755)
            as_test_user = True
        self.publish(REL2, 'rel2')
        self.serve()
        if ARGS.wine:
            holder = self.start_holder(program_path(ARGS.holder), program_path(held))

        self.expect_update(6, as_test_user=as_test_user)
        tree = read_tree(self.install)
        self.assertEqual(tree.pop(b'codelist.txt'), self.lists['rel1'],
                         'the list is recorded only after every file')
        self.expect_whole_files(tree)  # nor is anything staged left behind
        self.expect_temp_holds_fetched()

        if ARGS.wine:
            self.stop_holder(holder)
        else:
            os.chmod(locked, 0o755)
        mark = self.log_mark()
        self.expect_update(0, as_test_user=as_test_user)
        self.expect_installed(REL2, 'rel2')
        self.assertEqual(self.requested_since(mark), [LIST_REQUEST], 'it installs from the kept folder')

    def test_killed_during_the_copy_then_next_run_completes(self):
        if ARGS.wine:
            self.skipTest('natively only: there a debugger stops the updater at a chosen call')
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        gdb = shutil.which('gdb')
        self.assertIsNotNone(gdb, 'gdb is missing: run scripts/bootstrap')
        script = os.path.join(self.dir, 'stop_in_copy.py')
        with open(script, 'w') as f:
            first_argument = {'x86_64': '$rdi', 'aarch64': '$x0'}[platform.machine()]
            f.write(GDB_STOP_IN_COPY.replace('FIRST_ARGUMENT', first_argument))
        cmd = [gdb, '-nx', '-batch', '-ex', 'set pagination off', '-ex', 'set startup-with-shell off',
               '-x', script, '-ex', 'run', '-ex', 'python print("staged renames:", stop_in_copy.hits)',
               '-ex', 'kill', '--args', *self.update_command()]  # gdb kills with SIGKILL
        # LeakSanitizer refuses to run under ptrace.
        env = dict(os.environ, ASAN_OPTIONS='detect_leaks=0')
        result = self.run_logged(cmd, env=env)
        gdb_output = output_of(result)
        self.assertIn('staged renames: 2', gdb_output)
        self.assertRegex(gdb_output, r'\[Inferior 1 \(process \d+\) killed\]')

        tree = read_tree(self.install)
        self.assertEqual(tree.pop(b'codelist.txt'), self.lists['rel1'], 'killed before the list')
        # Staged beside its target under the updater's own short name.
        staged = [tree.pop(name) for name in list(tree)
                  if os.path.basename(name).startswith(b'~lks')]
        new = {name for name in CHANGED if tree.get(stored_name(name)) == REL2[name]}
        self.assertEqual(new, {CHANGED[0]}, 'killed with one file replaced')
        self.expect_whole_files(tree)
        self.assertEqual([hashlib.md5(data).hexdigest() for data in staged],
                         [hashlib.md5(REL2[CHANGED[1]]).hexdigest()], 'the staged file is whole')

        mark = self.log_mark()
        self.expect_update(0)
        self.expect_installed(REL2, 'rel2')
        self.assertEqual(self.requested_since(mark), [LIST_REQUEST])

    def test_missing_archive_installs_nothing_and_next_run_fetches_only_the_rest(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        os.remove(os.path.join(self.server, 'V', 'templates', 'letters', 'letter.lkt.zip'))
        self.serve()
        result = self.expect_update(4)
        self.assertIn('letter.lkt: (status)', output_of(result), 'the row says why it failed')
        self.expect_installed(REL1, 'rel1')
        self.publish(REL2, 'rel2b')  # the archive is back
        mark = self.log_mark()
        self.expect_update(0)
        self.expect_installed(REL2, 'rel2b')
        # The list and the one archive that failed; the others were kept unpacked.
        self.assertEqual(len(self.requested_since(mark)), 2)

    def test_tampered_archive_is_never_installed(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        archive = os.path.join(self.server, 'V', 'program', 'lkcore.dll.zip')
        with zipfile.ZipFile(archive, 'w') as z:
            z.writestr('lkcore.dll', b'not what the list says')
        self.serve()
        self.expect_update(4)
        self.expect_installed(REL1, 'rel1')

    def test_stale_fetched_file_never_overwrites_a_current_one(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        # An older unfinished run left a file for an entry that is current.
        os.makedirs(os.path.join(self.temp, 'share'))
        with open(os.path.join(self.temp, 'share', 'license.txt'), 'wb') as f:
            f.write(b'stale')
        self.expect_update(0)
        self.expect_installed(REL2, 'rel2')

    def test_unsafe_list_path_is_never_requested(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        md = b'<MD0123456789ABCDEF0123456789ABCDEF><SZ1><ZZ0>\r\n'
        unsafe = [b'\\..\\..\\escape.txt', b'\\a\rb.txt', b'\\tab\t.txt', b'\\del\x7f.txt']
        if ARGS.wine:
            unsafe += [b'\\program\\nul.txt', b'\\com1', b'\\dot.']
        listing = self.lists['rel2'] + b''.join(b'<FN' + path + b'>' + md for path in unsafe)
        self.serve_list(listing, 'rel2x')
        self.serve()
        mark = self.log_mark()
        self.expect_update(4)
        self.expect_installed(REL1, 'rel1')
        self.assertFalse(os.path.exists(os.path.join(self.dir, 'escape.txt')))
        requested = self.requested_since(mark)
        self.assertEqual(len(requested), 1 + len(CHANGED), requested)  # the list and the safe archives

    def test_forward_slash_list_updates_and_makes_new_folders(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve_list(forward_slashes(self.lists['rel2']), 'rel2')
        self.serve()
        mark = self.log_mark()
        self.expect_update(0)
        self.expect_installed(REL2, 'rel2')
        requested = self.requested_since(mark)
        # The installed list spells its paths with "\\": no entry is current.
        self.assertEqual(len(requested), 1 + len(REL2), requested)
        # Asked for as the list writes them.
        for path in (b'/V/program/lkcore.dll.zip', b'/V/templates/letters/letter.lkt.zip'):
            self.assertIn(path, requested)

    def test_forward_slash_list_installs_what_an_earlier_run_fetched(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve_list(forward_slashes(self.lists['rel2']), 'rel2')
        self.serve()
        stop_suite = self.hold_suite()
        self.expect_update(5, '--answer', 'cancel')
        stop_suite()
        mark = self.log_mark()
        result = self.expect_update(0)
        self.expect_closing_text(result, '完成更新,单击下一步退出更新系统.')
        self.expect_installed(REL2, 'rel2')
        self.assertEqual(self.requested_since(mark), [LIST_REQUEST], 'installed from the kept folder')

    def test_server_mode_after_an_unfinished_client_run_mirrors_everything(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        stop_suite = self.hold_suite()
        self.expect_update(5, '--answer', 'cancel')  # leaves unpacked files in the temporary folder
        stop_suite()
        mirror = os.path.join(self.dir, 'mirror', 'V')
        os.makedirs(mirror)
        served = read_tree(os.path.join(self.server, 'V'))
        for run in range(2):
            result = self.update('--mode', 'server', install=mirror)
            self.assertEqual(result.returncode, 0, f'run {run + 1}: ' + output_of(result))
            self.assertEqual(digests(read_tree(mirror)), digests(stored(served)), f'run {run + 1}')

    def test_damaged_or_empty_list_archives(self):
        # (members of codelist.txt.zip, exit status, closing text)
        def crc_broken(listing):
            return {'codelist.txt': listing}  # stored, then one byte of its data changed below
        cases = {
            'crc mismatch': (crc_broken, 3, '找不到更新列表。'),
            'zero-byte list': (lambda listing: {'codelist.txt': b''}, 0, '当前版本已经是最新的版本.'),
            'no list in it': (lambda listing: {'readme.txt': b'x'}, 0, '当前版本已经是最新的版本.'),
        }
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        listing = self.lists['rel2']
        archive = os.path.join(self.server, 'V', 'codelist.txt.zip')
        for name, (members, status, text) in cases.items():
            with self.subTest(name):
                self.serve_list(listing, 'rel2', members(listing))
                if members is crc_broken:
                    with open(archive, 'rb') as f:
                        data = bytearray(f.read())
                    at = data.find(listing[:40])
                    self.assertGreater(at, 0)
                    data[at] ^= 0x01
                    with open(archive, 'wb') as f:
                        f.write(data)
                result = self.expect_update(status)
                self.expect_closing_text(result, text)
                self.expect_installed(REL1, 'rel1')

    def test_closing_text_is_the_last_status_line(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        self.expect_closing_text(self.expect_update(0), '完成更新,单击下一步退出更新系统.')
        self.expect_closing_text(self.expect_update(0), '当前版本已经是最新的版本.')
        self.publish(REL1, 'rel1b')
        os.remove(os.path.join(self.server, 'V', 'program', 'lkcore.dll.zip'))
        self.expect_closing_text(self.expect_update(4), '有错误,请重新运行本更新程序.')
        self.stop_nginx()
        self.expect_closing_text(self.expect_update(3), '找不到更新列表。')

    def test_target_path_of_255_bytes_is_installed(self):
        self.temp = os.path.join(self.dir, 't')  # its archive path must fit the download buffer
        self.install_release1()
        # The installation folder plus the list path: 255 bytes as the updater forms them.
        room = 255 - len(program_path(self.install).encode()) - len('\\long\\')
        name = b'long/' + b'n' * (room - 4) + b'.dat'
        self.assertEqual(len(program_path(self.install).encode()) + 1 + len(name), 255)
        files = {**REL2, name: b'at the limit'}
        self.publish(files, 'rel2')
        self.serve()
        self.expect_update(0)
        self.expect_installed(files, 'rel2')

    def test_another_users_temporary_folder_and_its_links_are_never_used(self):
        if ARGS.wine:
            self.skipTest('natively only: under Wine every program runs as one user')
        self.shared_temp()
        outside, before = self.make_outside()
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        attacker = self.start_attacker('folder', self.temp, outside)
        self.expect_update(0)
        stop_ready(attacker)
        self.expect_installed(REL2, 'rel2')
        self.assertEqual(read_tree(outside), before, 'nothing outside changed')
        self.assertTrue(os.path.exists(os.path.join(self.dir, 'x')), 'nothing outside deleted')
        self.assertFalse(os.path.lexists(self.temp), 'the own folder was removed at the end')

    def test_links_in_the_own_temporary_folder_are_never_followed(self):
        # Links made from the Linux side. Under Wine a link to a folder shows
        # as a reparse point, as on Windows; a link to a file shows as the
        # file itself (and Wine's DeleteFileA removes the target), so only
        # folder links can be shown there.
        outside, before = self.make_outside()
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        os.makedirs(os.path.join(self.temp, 'share'))
        os.symlink(outside, os.path.join(self.temp, 'program'))
        if not ARGS.wine:
            os.symlink(os.path.join(outside, 'victim.txt'), os.path.join(self.temp, 'codelist.txt'))
            os.symlink(os.path.join(outside, 'victim.zip'),
                       os.path.join(self.temp, 'codelist.txt.zip'))
            os.symlink(os.path.join(outside, 'victim.txt'),
                       os.path.join(self.temp, 'share', 'license.txt'))
            with open(os.path.join(self.temp, '..\\..\\x'), 'wb') as f:
                f.write(b'a name, not a path')
        self.expect_update(0)
        self.expect_installed(REL2, 'rel2')
        self.assertEqual(read_tree(outside), before, 'nothing outside changed')
        self.assertTrue(os.path.exists(os.path.join(self.dir, 'x')), 'nothing outside deleted')
        self.assertFalse(os.path.lexists(self.temp))

    def test_an_installation_the_user_may_not_write_fails_and_says_why(self):
        self.install_release1()  # owned by root
        self.publish(REL2, 'rel2')
        self.serve()
        home = os.path.join(self.dir, 'user')
        os.mkdir(home)
        chown_tree(home, TEST_USER)
        self.temp = os.path.join(home, 'lksupdate')
        result = self.expect_update(6, as_test_user=True)
        self.assertIn('no rights to write the installation folder', output_of(result))
        self.expect_installed(REL1, 'rel1')

    def test_a_lock_held_by_another_user_stops_no_update(self):
        if ARGS.wine:
            self.skipTest('natively only: the lock file is the POSIX guard')
        self.shared_temp()
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        self.start_attacker('lock', self.temp + '.lock')
        self.expect_update(0)
        self.expect_installed(REL2, 'rel2')

    def test_component_that_trims_to_dotdot_is_never_requested(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        listing = self.lists['rel2'] + b'<FN\\.. \\x.dll><MD0123456789ABCDEF0123456789ABCDEF><SZ1>\r\n'
        self.serve_list(listing, 'rel2x')
        self.serve()
        mark = self.log_mark()
        self.expect_update(4)
        self.expect_installed(REL1, 'rel1')
        self.assertNotIn(b'x.dll', b' '.join(self.requested_since(mark)))

    def test_signed_tree_updates_a_keyed_updater_and_records_its_signature(self):
        pub, sec = self.make_key('vendor')
        self.trusted = [pub]
        self.install_release1()
        self.publish(REL2, 'rel2', key=sec)
        self.serve()
        mark = self.log_mark()
        self.expect_update(0)
        self.expect_installed_signed(REL2, 'rel2')
        self.assertIn(LIST_REQUEST + b'.minisig', self.requested_since(mark))
        self.expect_closing_text(self.expect_update(0), '当前版本已经是最新的版本.')

    def expect_installed_signed(self, files, release, signature=None):
        """As expect_installed, with the signature (by default the served one) recorded too."""
        if signature is None:
            with open(os.path.join(self.server, 'V', 'codelist.txt.zip.minisig'), 'rb') as f:
                signature = f.read()
        record = os.path.join(self.install, 'codelist.txt.zip.minisig')
        with open(record, 'rb') as f:
            self.assertEqual(f.read(), signature, 'the verified signature is recorded')
        os.remove(record)
        self.expect_installed(files, release)
        with open(record, 'wb') as f:
            f.write(signature)

    def test_lists_without_a_valid_signature_install_nothing(self):
        pub, sec = self.make_key('vendor')
        _, other = self.make_key('other')
        self.trusted = [pub]
        folder = os.path.join(self.server, 'V')

        def remove_signature():
            os.remove(os.path.join(folder, 'codelist.txt.zip.minisig'))

        def garble_signature():
            with open(os.path.join(folder, 'codelist.txt.zip.minisig'), 'wb') as f:
                f.write(b'untrusted comment: x\nnot base64\n')

        def tamper_list():
            # Another file with a checksum that matches it, under the vendor's old signature.
            evil = b'evil library'
            listing = self.lists['rel2'].replace(
                b'<FN\\program\\lkcore.dll>',
                b'<FN\\program\\lkcore.dll><MD' + hashlib.md5(evil).hexdigest().upper().encode() + b'>')
            signature = os.path.join(folder, 'codelist.txt.zip.minisig')
            with open(signature, 'rb') as f:
                kept = f.read()
            self.serve_list(listing, 'rel2')
            with open(signature, 'wb') as f:
                f.write(kept)
            with zipfile.ZipFile(os.path.join(folder, 'program', 'lkcore.dll.zip'), 'w') as z:
                z.writestr('lkcore.dll', evil)

        cases = {
            'unsigned': (remove_signature, 'the signature could not be fetched'),
            'malformed signature': (garble_signature, 'malformed signature'),
            'tampered list and archive': (tamper_list, 'bad signature'),
            'unknown key': (lambda: self.sign_with_minisign(other, 'lksupdate version=V serial=99'),
                            'signed by an unknown key'),
            'wrong version': (lambda: self.sign_with_minisign(sec, 'lksupdate version=W serial=99'),
                              'signed for another version'),
            "minisign's own comment": (lambda: self.sign_with_minisign(sec),
                                       'not a list signature of this program'),
            'expired': (lambda: self.sign_with_minisign(
                sec, 'lksupdate version=V serial=99 valid-until=2020-01-01T00:00:00Z'), 'expired'),
        }
        self.install_release1()
        for name, (attack, reason) in cases.items():
            with self.subTest(name):
                shutil.rmtree(self.server, ignore_errors=True)  # a fresh tree, serial 1
                self.publish(REL2, 'rel2', key=sec)
                attack()
                if not (self.nginx and self.nginx.running):
                    self.serve()
                mark = self.log_mark()
                result = self.expect_update(9)
                self.assertIn(reason, output_of(result))
                self.expect_closing_text(result, '找不到更新列表。')
                self.expect_installed(REL1, 'rel1')
                fetched = self.requested_since(mark)
                self.assertNotIn(b'/V\\program\\lkcore.dll.zip', fetched, 'no archive is fetched')

    def test_a_tree_signed_by_minisign_itself_is_accepted(self):
        pub, sec = self.make_key('vendor')
        self.trusted = [pub]
        self.install_release1()
        self.publish(REL2, 'rel2')  # unsigned by the publisher
        self.sign_with_minisign(sec, 'lksupdate version=V serial=7')
        self.serve()
        self.expect_update(0)
        self.expect_installed_signed(REL2, 'rel2')

    def test_an_older_signed_list_is_refused_as_a_rollback(self):
        pub, sec = self.make_key('vendor')
        self.trusted = [pub]
        self.install_release1()
        self.publish(REL2, 'rel2', key=sec)  # serial 1
        folder = os.path.join(self.server, 'V')
        old = {name: open(os.path.join(folder, name), 'rb').read()
               for name in ('codelist.txt', 'codelist.txt.zip', 'codelist.txt.zip.minisig')}
        rel3 = {**REL2, b'share/license.txt': b'changed in 3'}
        self.publish(rel3, 'rel3', key=sec)  # serial 2
        self.serve()
        self.expect_update(0)
        self.expect_installed_signed(rel3, 'rel3')
        with open(os.path.join(folder, 'codelist.txt.zip.minisig'), 'rb') as f:
            newer = f.read()
        for name, data in old.items():  # the older tree, validly signed, comes back
            with open(os.path.join(folder, name), 'wb') as f:
                f.write(data)
        result = self.expect_update(9)
        self.assertIn('rollback', output_of(result))
        self.expect_installed_signed(rel3, 'rel3', newer)

    def test_a_mirror_never_serves_what_the_signed_list_does_not_name(self):
        pub, sec = self.make_key('vendor')
        self.trusted = [pub]
        self.install_release1()
        self.publish(REL2, 'rel2', key=sec)
        archive = os.path.join(self.server, 'V', 'program', 'lkcore.dll.zip')
        with open(archive, 'rb') as f:
            honest = f.read()
        with zipfile.ZipFile(archive, 'w') as z:
            z.writestr('lkcore.dll', b'tampered upstream')
        self.serve()
        mirror = os.path.join(self.dir, 'mirror', 'V')
        os.makedirs(mirror)
        result = self.update('--mode', 'server', install=mirror)
        self.assertEqual(result.returncode, 4, output_of(result))
        self.assertFalse(os.path.exists(os.path.join(mirror, 'program', 'lkcore.dll.zip')))
        self.assertFalse(os.path.exists(os.path.join(mirror, 'codelist.txt')))
        with open(archive, 'wb') as f:
            f.write(honest)
        result = self.update('--mode', 'server', install=mirror)
        self.assertEqual(result.returncode, 0, output_of(result))
        served = read_tree(os.path.join(self.server, 'V'))
        self.assertEqual(digests(read_tree(mirror)), digests(stored(served)), 'signature mirrored too')
        # A keyed client of the mirror verifies the vendor's signature.
        os.remove(os.path.join(self.server, 'V'))
        write_tree(os.path.join(self.server, 'V'),
                   {served_name(n): d for n, d in read_tree(mirror).items()})
        self.expect_update(0)
        self.expect_installed_signed(REL2, 'rel2')

    def test_an_archive_that_inflates_past_the_bound_writes_nothing(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        archive = os.path.join(self.server, 'V', 'program', 'lkcore.dll.zip')
        with zipfile.ZipFile(archive, 'w', zipfile.ZIP_DEFLATED, compresslevel=1) as z:
            with z.open('lkcore.dll', 'w', force_zip64=True) as f:
                block = bytes(1 << 20)
                for _ in range(1100):  # 1.1 GiB of zeros, about a megabyte deflated
                    f.write(block)
        self.serve()
        self.expect_update(4)
        self.expect_installed(REL1, 'rel1')
        self.assertFalse(os.path.exists(os.path.join(self.temp, 'program', 'lkcore.dll')))

    def serve_misbehaving(self, archive_path, answer):
        """A server that answers like nginx from the published tree (with
        Connection: close), except for `archive_path`, which `answer(conn)`
        answers. Stops with the test."""
        listener = socket.socket()
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(('127.0.0.1', 0))
        listener.listen(16)
        listener.settimeout(0.2)
        self.port = listener.getsockname()[1]
        stop = threading.Event()

        def handle(conn):
            with conn:
                conn.settimeout(30)
                request = b''
                while b'\r\n\r\n' not in request:
                    chunk = conn.recv(4096)
                    if not chunk:
                        return
                    request += chunk
                path = request.split(b' ')[1]
                if path == archive_path:
                    answer(conn, stop)
                    return
                # GBK-aware: a second byte 0x5C is no separator.
                relative = path.lstrip(b'/').decode('gbk').replace('\\', '/').encode('gbk')
                local = os.path.join(os.fsencode(self.server), relative)
                try:
                    with open(local, 'rb') as f:
                        body = f.read()
                    head = b'HTTP/1.1 200 OK\r\nContent-Length: %d\r\n' % len(body)
                except OSError:
                    body, head = b'', b'HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n'
                conn.sendall(head + b'Connection: close\r\n\r\n' + body)

        def serve():
            while not stop.is_set():
                try:
                    conn, _ = listener.accept()
                except socket.timeout:
                    continue
                threading.Thread(target=handle, args=(conn,), daemon=True).start()
            listener.close()

        thread = threading.Thread(target=serve, daemon=True)
        thread.start()

        def stop_server():
            stop.set()
            thread.join(timeout=10)
        self.addCleanup(stop_server)

    def test_endless_and_slow_answers_are_cut_off(self):
        # The item archives of a signed list are bounded by their listed size.
        pub, sec = self.make_key('vendor')
        self.trusted = [pub]

        def oversized(conn, stop):
            conn.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: 5000000\r\n\r\n' + bytes(1000))

        def endless(conn, stop):
            conn.sendall(b'HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n')
            block = bytes(65536)
            try:
                while not stop.is_set():
                    conn.sendall(block)
            except OSError:
                pass  # the updater stopped reading

        def trickle(conn, stop):
            conn.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: 300000\r\n\r\n')
            try:
                while not stop.wait(0.2):  # the pace of the trickle, not a wait for an event
                    conn.sendall(b'x')
            except OSError:
                pass

        cases = {
            'oversized length': (oversized, [], 'bound'),
            'endless body': (endless, [], 'bound'),
            'trickle': (trickle, ['--low-speed-limit', '1000', '--low-speed-time', '2'], 'slow'),
        }
        self.install_release1()
        for name, (answer, options, reason) in cases.items():
            with self.subTest(name):
                shutil.rmtree(self.server, ignore_errors=True)
                self.publish(REL2, 'rel2', key=sec)
                self.serve_misbehaving(b'/V\\program\\lkcore.dll.zip', answer)
                result = self.expect_update(4, *options)
                self.assertIn(f'lkcore.dll: ({reason})', output_of(result))
                self.expect_installed(REL1, 'rel1')

    def test_server_mode_mirror_then_client_from_the_mirror(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        mirror = os.path.join(self.dir, 'mirror', 'V')
        os.makedirs(mirror)
        result = self.update('--mode', 'server', install=mirror)
        self.assertEqual(result.returncode, 0, output_of(result))
        served = read_tree(os.path.join(self.server, 'V'))
        mirrored = read_tree(mirror)
        self.assertEqual(digests(mirrored), digests(stored(served)))
        # A client updated from nginx serving the mirror, under the names the server holds.
        os.remove(os.path.join(self.server, 'V'))  # the publisher's link
        write_tree(os.path.join(self.server, 'V'), {served_name(n): d for n, d in mirrored.items()})
        self.expect_update(0)
        self.expect_installed(REL2, 'rel2')


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument('--cli', required=True)
    parser.add_argument('--publish', required=True, help='a native lks-publish')
    parser.add_argument('--wine', action='store_true', help='the updater is a Windows program')
    parser.add_argument('--holder', help='the Windows program that holds a file open (with --wine)')
    ARGS, rest = parser.parse_known_args()
    if ARGS.wine and not ARGS.holder:
        parser.error('--wine needs --holder')
    if not os.access(ARGS.publish, os.X_OK):
        parser.error(f'no native publisher at {ARGS.publish}: build the native-asan preset first '
                     '(or set LKS_NATIVE_TOOLS_DIR)')
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == '__main__':
    main()
