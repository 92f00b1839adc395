#!/usr/bin/env python3
"""Start-up of the real lksupdate.exe under Wine, with real windows on the
display in DISPLAY. Started as lksupdate.exe it copies itself to
c:\\temp\\lksupdate_tmp.exe and starts the copy, which shows the wizard; a
second updater raises the running one's wizard, or says that one runs when
there is none to raise. lks-wizard-driver plays the user."""
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from driver_client import DriverSteps, parse_arguments, run_tests
from lks_fixtures import start_ready, stop_ready

ARGS = None
WIZARD = 'Larkspan Office 升级程序'
ALREADY_RUNNING = '已有一个升级程序在运行，请不要重复启动升级程序。'
WIZARD_BACKGROUND = '214 230 255'
TEMP_COPY = 'lksupdate_tmp.exe'
TEMP_COPY_WINDOWS = 'c:\\temp\\lksupdate_tmp.exe'
WAIT_MS = '20000'
# The launcher ends once its copy has started; a box of its own waits for the user.
PROGRAM_TIMEOUT = 60


def temp_copy_path():
    prefix = os.environ.get('LKS_WINEPREFIX') or ARGS.prefix
    drive_c = os.path.realpath(os.path.join(prefix, 'dosdevices', 'c:'))
    return os.path.join(drive_c, 'temp', TEMP_COPY)


class StartupTest(DriverSteps, unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='lks-startup-')
        # Also when setUp fails, which skips tearDown.
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.held = []
        self.started = []
        self.close_everything()
        if self.step('mutex')['mutex'] != ['absent']:
            running = self.driver('processes', TEMP_COPY)[1].get('process', [])
            self.fail(f'another updater holds the mutex (running copies: {running})')

    def tearDown(self):
        self.close_everything()
        for proc in self.started:
            if proc.poll() is None:
                proc.kill()
            proc.wait()

    # --- helpers --------------------------------------------------------

    def ours(self, exe):
        exe = exe.lower()
        return exe == TEMP_COPY_WINDOWS or os.path.basename(self.dir).lower() in exe

    def close_everything(self):
        """Closes what these tests open, whatever state a test left: the
        wizard by Cancel (else by ending its process), message boxes of our
        programs by OK, then ends any of our processes still running and
        waits until the mutex is gone with them."""
        self.driver.close_wizard(WAIT_MS)
        for _ in range(10):
            status, box, _ = self.driver('message-box', '', 0)
            if status != 0 or not self.ours(box['exe'][0]):
                break
            self.driver('answer', 'ok', box['title'][0], WAIT_MS)
        for name in (TEMP_COPY, 'lksupdate.exe', 'updater.exe'):  # any case
            for line in self.driver('processes', name)[1].get('process', []):
                pid, _, exe = line.partition(' ')
                if self.ours(exe):
                    self.driver('end-process', pid, WAIT_MS)
        for held in self.held:
            held.release()
        self.held.clear()
        self.driver('wait-mutex', 'absent', WAIT_MS)
        if os.path.lexists(temp_copy_path()):  # also a link to nothing
            os.remove(temp_copy_path())

    def program(self, relpath):
        """lksupdate.exe copied to `relpath` in the test's folder."""
        path = os.path.join(self.dir, relpath)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copyfile(ARGS.exe, path)
        return path

    def start(self, path):
        # Output to a file: the copy started by WinExec inherits it and
        # would keep a pipe open after the launcher ends.
        with open(os.path.join(self.dir, 'program.log'), 'ab') as log:
            proc = subprocess.Popen([ARGS.wine_run, path], stdin=subprocess.DEVNULL, stdout=log,
                                    stderr=log)
        self.started.append(proc)
        return proc

    def run_to_end(self, path):
        """Runs a program that must end by itself: one that showed a wizard or
        a message box would wait for the user and time out here."""
        proc = self.start(path)
        try:
            proc.wait(timeout=PROGRAM_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.fail(f'{path} did not end by itself')
        self.assertEqual(proc.returncode, 0)

    def hold_mutex(self):
        held = self.start_held('hold-mutex')
        self.held.append(held)
        self.assertEqual(held.first_line, 'mutex held')
        return held

    # --- tests ----------------------------------------------------------

    def test_launcher_starts_a_copy_in_temp_which_shows_the_wizard(self):
        exe = self.program('lksupdate.exe')
        self.run_to_end(exe)

        self.assertTrue(filecmp.cmp(exe, temp_copy_path(), shallow=False),
                        'c:\\temp\\lksupdate_tmp.exe is not a copy of the program')
        wizard = self.step('wait-window', '', WAIT_MS)
        self.assertEqual(wizard['exe'][0].lower(), TEMP_COPY_WINDOWS)
        self.assertEqual(wizard['class'], ['#32770'])
        self.step('buttons')  # a property sheet with pages
        # The copy is the first updater: it holds the mutex, and set the
        # dialogs' light-blue background before making the wizard.
        self.assertEqual(self.step('mutex')['mutex'], ['present'])
        self.assertEqual(self.step('page-colour')['colour'], [WIZARD_BACKGROUND])
        self.assertEqual(self.step('processes', TEMP_COPY)['count'], ['1'])
        self.assertNotEqual(self.driver('message-box', '', 0)[0], 0, 'a message box is shown')

        # Cancel ends the copy, and with it its hold of the mutex.
        self.step('press', 'cancel')
        self.step('wait-gone', '', WAIT_MS)
        self.step('wait-processes', TEMP_COPY, 0, WAIT_MS)
        self.step('wait-mutex', 'absent', WAIT_MS)

    def test_second_start_raises_the_open_wizard(self):
        exe = self.program('lksupdate.exe')
        self.run_to_end(exe)
        first = self.step('wait-window', '', WAIT_MS)
        # Hidden, it must be shown; shown behind another program's window,
        # it must come to the foreground. Each time another program has it.
        for hidden in (True, False):
            with self.subTest(hidden=hidden):
                if hidden:
                    self.step('hide')
                decoy = self.start_held('decoy', 'lks-startup decoy')
                self.held.append(decoy)
                self.assertEqual(decoy.first_line, 'foreground 1')
                state = self.step('state')
                self.assertEqual((state['visible'], state['foreground']),
                                 (['0' if hidden else '1'], ['0']))

                self.run_to_end(exe)
                # The second copy has ended: it showed no message box, which
                # would wait for the user.
                self.step('wait-processes', TEMP_COPY, 1, WAIT_MS)
                self.step('wait-foreground', '', WAIT_MS)
                again = self.step('wait-window', '', 0)
                self.assertEqual((again['hwnd'], again['pid']), (first['hwnd'], first['pid']))
                decoy.release()
                self.held.remove(decoy)

    def test_an_updater_that_finds_no_wizard_to_raise_says_one_runs(self):
        # (program file in the test's folder, caption, whether it is the launcher)
        cases = [
            ('lksupdate.exe', 'lksupdate_tmp', True),
            (os.path.join('lksupdate.exe.d', 'updater.exe'), 'lksupdate_tmp', True),
            # A Chinese folder: the path is GBK bytes to the program.
            (os.path.join('升级程序', 'lksupdate.exe'), 'lksupdate_tmp', True),
            ('LKSUPDATE.EXE', 'LKSUPDATE', False),
            ('updater.exe', 'updater', False),
        ]
        for relpath, caption, launcher in cases:
            with self.subTest(program=relpath):
                try:
                    self.check_second_updater(relpath, caption, launcher)
                finally:
                    self.close_everything()

    def test_a_copy_in_temp_that_cannot_be_overwritten_is_never_started(self):
        # Another program lies where the copy goes, held open by a third
        # without write sharing, as a running copy holds its file.
        planted = temp_copy_path()
        os.makedirs(os.path.dirname(planted), exist_ok=True)
        shutil.copyfile(ARGS.holder, planted)
        holder, line = start_ready([ARGS.wine_run, ARGS.holder, TEMP_COPY_WINDOWS])
        self.addCleanup(stop_ready, holder)
        self.assertEqual(line, b'ready\n')
        exe = self.program('lksupdate.exe')
        launcher = self.start(exe)

        # No wizard runs to raise: the launcher itself says that one runs.
        box = self.step('message-box', 'lksupdate', WAIT_MS)
        self.assertEqual(box['exe'][0].lower(), 'z:' + exe.replace('/', '\\').lower())
        self.assertEqual(box['text'], [ALREADY_RUNNING])
        self.assertEqual(self.step('processes', TEMP_COPY)['count'], ['0'],
                         'the planted program was started')
        self.step('answer', 'ok', 'lksupdate', WAIT_MS)
        self.assertEqual(launcher.wait(timeout=PROGRAM_TIMEOUT), 0)
        self.assertEqual(self.step('processes', TEMP_COPY)['count'], ['0'],
                         'the planted program was started')

    def test_a_temp_folder_that_is_a_link_gets_no_copy(self):
        # c:\temp replaced by a link to a folder of someone else's choosing.
        temp = os.path.dirname(temp_copy_path())
        os.makedirs(temp, exist_ok=True)
        aside = f'{temp}.aside-{os.getpid()}'
        os.rename(temp, aside)
        self.addCleanup(os.rename, aside, temp)
        elsewhere = os.path.join(self.dir, 'elsewhere')
        os.makedirs(elsewhere)
        os.symlink(elsewhere, temp)
        self.addCleanup(os.remove, temp)

        self.run_to_end(self.program('lksupdate.exe'))
        self.assertEqual(os.listdir(elsewhere), [], 'the launcher copied itself through the link')
        self.assertEqual(self.step('processes', TEMP_COPY)['count'], ['0'])
        self.assertEqual(self.driver('wait-gone', '', 0)[0], 0, 'a wizard is shown')
        self.assertNotEqual(self.driver('message-box', '', 0)[0], 0, 'a message box is shown')

    def check_second_updater(self, relpath, caption, launcher):
        """The mutex held by the test, no wizard open: the updater that runs
        the wizard (the copy, or the program itself when it is not named
        lksupdate.exe) shows the message box and ends when it is answered."""
        held = self.hold_mutex()
        exe = self.program(relpath)
        if launcher:
            self.run_to_end(exe)
            owner = TEMP_COPY_WINDOWS
        else:
            proc = self.start(exe)
            owner = 'z:' + exe.replace('/', '\\').lower()

        box = self.step('message-box', caption, WAIT_MS)
        self.assertEqual(box['exe'][0].lower(), owner)
        self.assertEqual(box['text'], [ALREADY_RUNNING])
        self.assertEqual(box['buttons'], ['ok'])
        self.assertEqual(self.step('box-icon', caption, WAIT_MS)['icon'], ['exclamation'])
        # Shown before anything set the wizard's colours.
        self.assertNotEqual(self.step('colour', caption)['colour'], [WIZARD_BACKGROUND])
        self.assertEqual(self.driver('wait-gone', '', 0)[0], 0, 'a wizard is shown')
        self.assertEqual(os.path.exists(temp_copy_path()), launcher)

        self.step('answer', 'ok', caption, WAIT_MS)
        if launcher:
            self.step('wait-processes', TEMP_COPY, 0, WAIT_MS)
        else:
            self.assertEqual(proc.wait(timeout=PROGRAM_TIMEOUT), 0)
        held.release()
        self.held.remove(held)
        self.step('wait-mutex', 'absent', WAIT_MS)


def main():
    global ARGS
    ARGS, argv = parse_arguments('startup_test', {
        '--exe': 'lksupdate.exe',
        '--prefix': 'the Wine prefix unless LKS_WINEPREFIX',
        '--holder': 'a program that holds a file open',
    })
    run_tests(ARGS, argv)


if __name__ == '__main__':
    main()
