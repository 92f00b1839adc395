#!/usr/bin/env python3
"""Whole runs of the real wizard under Wine: lksupdate.exe (as its relaunched
copy) updates an installation from nginx on 127.0.0.1:80 serving trees made
by the native publisher, while lks-wizard-driver plays the user. The registry
values and standalone.ini are written into the Wine prefix as an installed
suite has them."""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from driver_client import DriverSteps, parse_arguments, run_tests
from lks_fixtures import (GBK_NAME, Nginx, end_process, publish, read_tree, start_ready,
                          stop_ready, wine_names, write_tree)

ARGS = None
WIZARD = 'Larkspan Office 升级程序'
KEY = 'HKLM\\Software\\Larkspan Office'
WAIT_MS = '30000'
RUN_MS = '120000'  # a whole run, or a connection to the unreachable default host

REL1 = {
    b'program/lkcore.dll': b'core 1' * 100,
    b'share/license.txt': b'unchanged',
    b'share/' + GBK_NAME: b'notes 1',
}
REL2 = {
    b'program/lkcore.dll': bytes(range(256)) * 1200,
    b'share/license.txt': b'unchanged',
    b'share/' + GBK_NAME: b'notes 2',
    b'templates/letters/letter.lkt': b'new file',
}
CHANGED = [b'program/lkcore.dll', b'share/' + GBK_NAME, b'templates/letters/letter.lkt']

COLUMNS = '文件名\t大小(字节)\t状态'
TEXT_FETCHING = '正在获取更新列表...'
TEXT_COMPLETED = '完成更新,单击下一步退出更新系统.'
TEXT_CANCELLED = '更新被取消,单击下一步退出更新系统.'
TEXT_LIST_NOT_FOUND = '找不到更新列表。'
TEXT_FINISH = '升级完成，您的版本已是最新版本。按“完成”退出升级系统。'
TEXT_UNFINISHED = '新版本已下载,但未完成更新,将在下一次启动升级程序时再尝试更新.'
TEXT_NO_PATH = '找不到系统注册信息，无法升级。'
TEXT_ERRORS = '有错误,请重新运行本更新程序.'
TEXT_CLOSE_SUITE_TITLE = 'LarkspanOffice'

# Beside the program's imports, DLLs that Windows looks for in the program's
# folder when something loads them by name: PSAPI (the process snapshot) and
# two that the common controls load.
PLANTED_DLLS = ['psapi.dll', 'version.dll', 'uxtheme.dll']
# Wine prefers its own DLLs to one in the program's folder, where Windows
# takes the program's folder first for any DLL that is not a known one:
# native first makes Wine search as Windows does. Only for psapi.dll: Wine's
# own comctl32 imports version.dll, and its user32 or comctl32 looks for
# uxtheme.dll while they start, both before the program's first instruction,
# so Wine would load those from the program's folder whatever the program
# does. Nor for the imports, which Windows takes from the system only (known
# DLLs, comctl32 through the manifest).
NATIVE_FIRST = 'psapi=n,b'


def wine(*args, check=True):
    return subprocess.run([ARGS.wine_run, *args], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=120, check=check)


def drive_c():
    return os.path.realpath(os.path.join(ARGS.prefix, 'dosdevices', 'c:'))


def port_80_free():
    """No program listens on 127.0.0.1:80. Connections of earlier runs that
    wait out their TIME_WAIT there do not count: nginx binds over them."""
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(('127.0.0.1', 80))
            return True
        except OSError:
            return False


class WizardUpdateTest(DriverSteps, unittest.TestCase):
    def setUp(self):
        self.assertTrue(port_80_free(), 'something else serves 127.0.0.1:80')
        self.dir = tempfile.mkdtemp(prefix='lks-wizard-')
        os.chmod(self.dir, 0o755)  # nginx workers read the tree as another user
        self.server = os.path.join(self.dir, 'server')
        self.nginx = Nginx(os.path.join(self.dir, 'nginx.conf'), os.path.join(self.dir, 'nginx'), 80)
        # Inside the prefix, so that the program sees it as C:\lkswiz-...
        self.install = tempfile.mkdtemp(prefix='lkswiz-', dir=drive_c())
        self.install_windows = 'C:\\' + os.path.basename(self.install)
        self.temp = os.path.join(drive_c(), 'temp', 'lksupdate')
        shutil.rmtree(self.temp, ignore_errors=True)
        self.program = os.path.join(self.dir, 'lksupdate_tmp.exe')  # the relaunched copy's name
        shutil.copyfile(ARGS.exe, self.program)
        self.wizard = None
        self.holder = None
        wine('reg', 'delete', KEY, '/f', check=False)

    def tearDown(self):
        if self.wizard and self.wizard.poll() is None:
            self.driver.close_wizard(WAIT_MS)
            end_process(self.wizard)
        if self.holder:
            stop_ready(self.holder)
        wine('reg', 'delete', KEY, '/f', check=False)
        shutil.rmtree(self.temp, ignore_errors=True)
        shutil.rmtree(self.install, ignore_errors=True)
        shutil.rmtree(self.dir, ignore_errors=True)

    # --- the installed suite and the server ----------------------------

    def publish(self, files, name):
        release = os.path.join(self.dir, name)
        write_tree(release, files)
        publish(ARGS.publish, release, self.server, self.nginx.conf, '127.0.0.1:80')

    def serve(self):
        self.nginx.start()
        self.addCleanup(self.nginx.stop)

    def install_release1(self, registry=True, settings=None):
        self.publish(REL1, 'rel1')
        write_tree(self.install, wine_names(REL1))
        shutil.copy(os.path.join(self.server, 'V', 'codelist.txt'), self.install)
        if registry:
            wine('reg', 'add', KEY, '/v', 'Path', '/t', 'REG_SZ', '/d', self.install_windows, '/f')
            wine('reg', 'add', KEY, '/v', 'Version', '/t', 'REG_SZ', '/d', 'V', '/f')
        else:
            wine('reg', 'add', KEY, '/v', 'Version', '/t', 'REG_SZ', '/d', 'V', '/f')
        if settings is not None:
            with open(os.path.join(self.install, 'standalone.ini'), 'w') as f:
                f.write(settings)

    def expect_installed(self, files):
        tree = read_tree(self.install)
        listed = tree.pop(b'codelist.txt')
        tree.pop(b'standalone.ini', None)
        self.assertEqual(tree, wine_names(files))
        with open(os.path.join(self.server, 'V', 'codelist.txt'), 'rb') as f:
            served = f.read()
        if files is REL2:
            self.assertEqual(listed, served, 'the new list is recorded')
        else:
            self.assertNotEqual(listed, served, 'the old list stays')

    # --- the wizard -----------------------------------------------------

    def start_wizard(self):
        log = open(os.path.join(self.dir, 'wizard.log'), 'ab')
        self.wizard = subprocess.Popen([ARGS.wine_run, self.program], stdin=subprocess.DEVNULL,
                                       stdout=log, stderr=log)
        log.close()
        window = self.step('wait-window', '', WAIT_MS)
        self.assertTrue(window['exe'][0].lower().endswith('lksupdate_tmp.exe'), window)
        # Page 1 is active once it has enabled Next (it does in every test here).
        self.step('wait-buttons', 'next,cancel', WAIT_MS)

    def text(self, control_id):
        return self.step('page-text', control_id)['text'][0]

    def wait_text(self, control_id, text, ms=RUN_MS):
        status, values, err = self.driver('wait-text', control_id, text, ms)
        self.assertEqual(status, 0, f'{control_id} reads {values.get("text")}, not {text}: {err}')

    def buttons(self):
        return self.step('buttons')['buttons'][0]

    def bar(self, control_id):
        values = self.step('bar', control_id)
        low, high = map(int, values['range'][0].split())
        return low, high, int(values['pos'][0])

    def finish(self, expected_text):
        self.step('press', 'next')
        self.step('wait-buttons', 'finish,cancel', WAIT_MS)
        self.assertEqual(self.text(1003), expected_text)
        self.step('press', 'finish')
        self.step('wait-gone', '', WAIT_MS)
        self.assertEqual(self.wizard.wait(timeout=60), 0)

    # --- the tests ------------------------------------------------------

    def test_client_update_from_the_local_server_named_in_the_settings(self):
        self.install_release1(settings='UPDATEHOST=127.0.0.1\r\n')
        self.publish(REL2, 'rel2')
        self.serve()
        self.start_wizard()

        # Page 1 opens on the local server that the settings name.
        self.assertEqual(self.step('radio', 1005)['checked'], ['1'])
        self.assertEqual(self.text(1006), '127.0.0.1')
        self.assertEqual(self.step('enabled', 1006)['enabled'], ['1'])
        self.assertEqual(self.buttons(), 'next,cancel')
        items = self.step('sysmenu')['item']
        self.assertEqual(items[:2], ['还原(&R)', '最小化(&N)'])

        # Page 2 turns Next off itself before it is shown: the worker's own
        # message comes later, and a Next meanwhile would skip to page 3.
        at_activation = self.step('press-watch', 'next', WAIT_MS)
        self.assertEqual(at_activation['buttons'], ['cancel'])
        self.wait_text(1003, TEXT_COMPLETED)
        self.assertEqual(self.buttons(), 'next,cancel')
        listing = self.step('list')
        self.assertEqual(listing['columns'], [COLUMNS])
        rows = sorted(listing.get('row', []))
        expected = sorted(f'{os.path.basename(name).decode("gbk")}\t{len(REL2[name])}\t完成.'
                          for name in CHANGED)
        self.assertEqual(rows, expected)
        for bar in (1000, 1002):
            low, high, pos = self.bar(bar)
            self.assertEqual((low, pos), (0, high), f'bar {bar} is filled')
        self.assertEqual(self.bar(1002)[1], len(CHANGED))

        self.finish(TEXT_FINISH)
        self.expect_installed(REL2)
        self.assertFalse(os.path.exists(self.temp), 'a completed update leaves no temporary folder')

    def test_a_long_update_ends_painted_with_its_last_row_in_view(self):
        # The page paints its controls once per interval while the worker
        # changes them, and scrolls the list only then: once the run is over
        # everything is painted again and the last row is in view.
        many = {b'share/many/f%03d.txt' % i: b'file %d' % i for i in range(60)}
        self.install_release1(settings='UPDATEHOST=127.0.0.1\r\n')
        self.publish({**REL1, **many}, 'rel2')
        self.serve()
        self.start_wizard()
        self.step('press', 'next')
        self.wait_text(1003, TEXT_COMPLETED)
        listing = self.step('list')
        self.assertEqual(listing['rows'], [str(len(many))])
        self.assertEqual(listing['row'][-1], f'f059.txt\t{len(b"file 59")}\t完成.')
        top, per_page = int(listing['top'][0]), int(listing['per-page'][0])
        self.assertLess(per_page, len(many), 'the list holds more rows than it shows')
        self.assertGreaterEqual(top + per_page, len(many), f'the last row is in view: {listing}')
        # Painting resumes within one interval of the last change.
        shown = []
        for _ in range(50):
            shown = [c for c in self.step('controls')['control']
                     if c.split()[0] in ('1000', '1001', '1002', '1003')]
            if all(' visible=1 ' in c for c in shown):
                break
        self.assertEqual(len(shown), 4, shown)
        self.assertTrue(all(' visible=1 ' in c for c in shown), shown)

    def test_closing_text_stays_the_last_text(self):
        # The last download fails right before the closing text: its late
        # notice ("失败.") must not replace it. Each case reads the status
        # line again after further round trips to the wizard, by which time
        # any notice posted before the closing text has been handled.
        self.install_release1(settings='UPDATEHOST=127.0.0.1\r\n')
        self.publish(REL2, 'rel2')
        os.remove(os.path.join(self.server, 'V', 'templates', 'letters', 'letter.lkt.zip'))
        self.serve()
        self.start_wizard()
        self.step('press', 'next')
        self.wait_text(1003, TEXT_ERRORS)
        self.step('list')
        self.step('bar', 1000)
        self.assertEqual(self.text(1003), TEXT_ERRORS)
        self.assertEqual(self.buttons(), 'cancel')
        self.step('press', 'cancel')
        self.step('wait-gone', '', WAIT_MS)
        self.expect_installed(REL1)

    def test_missing_path_stops_before_any_run(self):
        self.install_release1(registry=False)
        self.publish(REL2, 'rel2')
        self.serve()
        self.start_wizard()
        self.step('press', 'next')
        box = self.step('message-box', '', WAIT_MS)
        self.assertEqual(box['text'], [TEXT_NO_PATH])
        self.assertEqual(box['title'], ['lksupdate_tmp'])
        self.assertEqual(self.step('box-icon', 'lksupdate_tmp', WAIT_MS)['icon'], ['exclamation'])
        self.step('answer', 'ok', 'lksupdate_tmp', WAIT_MS)

        listing = self.step('list')
        self.assertEqual(listing['columns'], [COLUMNS])
        self.assertEqual(listing['rows'], ['0'])
        self.assertEqual(self.text(1003), TEXT_FETCHING)
        self.step('wait-buttons', 'cancel', WAIT_MS)
        self.assertEqual(self.nginx.requests(), 0)
        self.expect_installed(REL1)

    def test_server_choice_controls_next_and_the_host(self):
        self.install_release1()
        self.publish(REL2, 'rel2')
        self.serve()
        self.start_wizard()

        # No UPDATEHOST: the online server, the local name disabled.
        self.assertEqual(self.step('radio', 1004)['checked'], ['1'])
        self.assertEqual(self.step('enabled', 1006)['enabled'], ['0'])
        self.assertEqual(self.step('enabled', 1007)['enabled'], ['0'])
        self.assertEqual(self.buttons(), 'next,cancel')

        # Next follows the text as long as the local server is chosen.
        self.step('click', 1005)
        self.assertEqual(self.step('enabled', 1006)['enabled'], ['1'])
        for text, buttons in (('', 'cancel'), ('1', 'next,cancel'), ('', 'cancel'),
                              ('  ', 'next,cancel'), ('127.0.0.1', 'next,cancel')):
            self.step('set-text', 1006, text)
            self.step('wait-buttons', buttons, WAIT_MS)

        # Back to the online server with the name left in the edit.
        self.step('click', 1004)
        self.step('wait-buttons', 'next,cancel', WAIT_MS)
        self.assertEqual(self.step('enabled', 1006)['enabled'], ['0'])
        self.assertEqual(self.text(1006), '127.0.0.1')

        # The run goes to the vendor's server, not to the name in the edit.
        self.step('press', 'next')
        self.wait_text(1003, TEXT_LIST_NOT_FOUND)
        self.step('wait-buttons', 'cancel', WAIT_MS)
        self.assertEqual(self.nginx.requests(), 0, 'the local server was asked')
        self.expect_installed(REL1)

    def start_suite(self):
        """The suite's program, running from the installation."""
        suite = os.path.join(self.install, 'program', 'lksuite.exe')
        shutil.copyfile(ARGS.holder, suite)
        self.holder, line = start_ready(
            [ARGS.wine_run, self.install_windows + '\\program\\lksuite.exe'])
        self.assertEqual(line, b'ready\n')
        return suite

    def test_refused_close_of_the_suite_ends_on_the_unfinished_texts(self):
        self.install_release1(settings='UPDATEHOST=127.0.0.1\r\n')
        self.publish(REL2, 'rel2')
        self.serve()
        suite = self.start_suite()

        self.start_wizard()
        self.step('press', 'next')
        box = self.step('message-box', TEXT_CLOSE_SUITE_TITLE, RUN_MS)
        self.assertEqual(box['buttons'], ['ok,cancel'])
        # Not one of the framework's boxes: it names no icon and shows none.
        self.assertEqual(self.step('box-icon', TEXT_CLOSE_SUITE_TITLE, WAIT_MS)['icon'], ['none'])
        self.step('answer', 'cancel', TEXT_CLOSE_SUITE_TITLE, WAIT_MS)
        self.wait_text(1003, TEXT_CANCELLED)
        self.assertEqual(self.buttons(), 'next,cancel')
        self.finish(TEXT_UNFINISHED)

        stop_ready(self.holder)
        os.remove(suite)
        self.expect_installed(REL1)


    # --- DLLs planted beside the copy -------------------------------------

    def imports(self):
        dump = subprocess.run([ARGS.objdump, '-p', ARGS.exe], capture_output=True, check=True,
                              text=True).stdout
        names = [line.split(':', 1)[1].strip().lower() for line in dump.splitlines()
                 if line.strip().startswith('DLL Name:')]
        self.assertTrue(names, 'no imports found')
        return names

    def plant_markers(self, names):
        c_temp = os.path.join(drive_c(), 'temp')
        os.makedirs(c_temp, exist_ok=True)
        self.addCleanup(self.remove_files, os.path.join(c_temp, 'lksupdate_tmp.exe'))
        for name in names:
            planted = os.path.join(c_temp, name)
            shutil.copyfile(ARGS.marker, planted)
            self.addCleanup(self.remove_files, planted, planted + '.loaded')
        return c_temp

    @staticmethod
    def remove_files(*paths):
        for path in paths:
            if os.path.exists(path):
                os.remove(path)

    def test_dlls_planted_beside_the_copy_are_not_loaded(self):
        self.install_release1(settings='UPDATEHOST=127.0.0.1\r\n')
        self.publish(REL2, 'rel2')
        self.serve()
        suite = self.start_suite()
        names = self.imports() + PLANTED_DLLS
        c_temp = self.plant_markers(names)
        launcher = os.path.join(self.dir, 'lksupdate.exe')
        shutil.copyfile(ARGS.exe, launcher)

        # As scripts/wine-run runs programs, with the planted names native first.
        env = dict(os.environ, WINEPREFIX=ARGS.prefix, WINEDEBUG='-all', LC_ALL='zh_CN.UTF-8',
                   WINEDLLOVERRIDES='mscoree,mshtml=;' + NATIVE_FIRST)
        self.addCleanup(self.driver.close_wizard, WAIT_MS)
        with open(os.path.join(self.dir, 'wizard.log'), 'ab') as log:
            subprocess.run(['wine', launcher], stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                           env=env, timeout=120, check=True)
        window = self.step('wait-window', '', WAIT_MS)
        self.assertEqual(window['exe'][0].lower(), 'c:\\temp\\lksupdate_tmp.exe')
        self.step('wait-buttons', 'next,cancel', WAIT_MS)
        self.step('press', 'next')
        # The suite is found running: PSAPI worked, and it was the system's.
        status, _, err = self.driver('message-box', TEXT_CLOSE_SUITE_TITLE, RUN_MS)
        loaded = sorted(n for n in os.listdir(c_temp) if n.endswith('.loaded'))
        self.assertEqual(loaded, [], 'DLLs loaded from c:\\temp')
        self.assertEqual(status, 0, f'the suite was not found running: {err}')
        self.step('answer', 'cancel', TEXT_CLOSE_SUITE_TITLE, WAIT_MS)
        self.wait_text(1003, TEXT_CANCELLED)
        self.step('press', 'next')
        self.step('wait-buttons', 'finish,cancel', WAIT_MS)
        self.step('press', 'finish')
        self.step('wait-gone', '', WAIT_MS)
        self.assertEqual(sorted(n for n in os.listdir(c_temp) if n.endswith('.loaded')), [])

        stop_ready(self.holder)
        os.remove(suite)
        self.expect_installed(REL1)


def main():
    global ARGS
    ARGS, argv = parse_arguments('wizard_update_test', {
        '--exe': 'lksupdate.exe',
        '--prefix': 'the Wine prefix unless LKS_WINEPREFIX',
        '--publish': 'a native lks-publish',
        '--holder': 'a program that holds a file open',
        '--marker': 'a DLL that leaves a mark when it is loaded',
        '--objdump': "the Windows target's objdump",
    })
    ARGS.prefix = os.environ.get('LKS_WINEPREFIX') or ARGS.prefix
    run_tests(ARGS, argv, step_timeout=180)


if __name__ == '__main__':
    main()
