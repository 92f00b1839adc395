#!/usr/bin/env python3
"""lks-wizard-driver against lks-sample-wizard under Wine: a two-page wizard
with the updater's title whose contents are known, and whose controls write
what happened to them into their page's status text (1003). What the driver
reads must be what the wizard holds, and what it does must reach the wizard
as a user's action would."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from driver_client import DriverSteps, parse_arguments, run_tests
from lks_fixtures import end_process

ARGS = None
WAIT_MS = '20000'
STATUS = 1003


class DriverTest(DriverSteps, unittest.TestCase):
    def setUp(self):
        self.assertEqual(self.driver('wait-gone', '', 0)[0], 0, 'a wizard is open already')
        self.proc = subprocess.Popen([ARGS.wine_run, ARGS.sample], stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # A cleanup, not tearDown: it also runs when the rest of setUp fails.
        self.addCleanup(self.close_sample)
        self.window = self.step('wait-window', '', WAIT_MS)

    def close_sample(self):
        self.driver.close_wizard(WAIT_MS, cancel=False)
        end_process(self.proc)

    def test_window_is_reported_with_its_process(self):
        self.assertEqual(self.window['class'], ['#32770'])
        self.assertEqual(self.window['title'], ['Larkspan Office 升级程序'])
        self.assertTrue(self.window['exe'][0].lower().endswith('\\lks-sample-wizard.exe'))

    def test_reads_list_bar_and_menu_from_the_other_process(self):
        listing = self.step('list')
        self.assertEqual(listing['columns'], ['文件名\t大小(字节)\t状态'])
        self.assertEqual(listing['rows'], ['2'])
        self.assertEqual(listing['row'], ['a.txt\t10\t完成', '说明.txt\t2048\t下载中'])
        bar = self.step('bar', 1000)
        self.assertEqual((bar['range'], bar['pos']), (['0 250'], ['42']))
        self.assertEqual(self.step('sysmenu')['item'][0], '样本(&S)')

    def test_typing_and_clicking_reach_the_page(self):
        # WM_SETTEXT makes the edit report EN_CHANGE, as typing does.
        self.step('set-text', 1006, '服务器一')
        self.step('wait-text', STATUS, 'changed:服务器一', WAIT_MS)
        self.assertEqual(self.step('page-text', 1006)['text'], ['服务器一'])

        self.assertEqual(self.step('radio', 1004)['checked'], ['1'])
        self.step('click', 1005)
        self.step('wait-text', STATUS, 'radio:1005', WAIT_MS)
        self.assertEqual((self.step('radio', 1004)['checked'], self.step('radio', 1005)['checked']),
                         (['0'], ['1']))

    def test_message_box_is_read_and_answered(self):
        for answer in ('ok', 'cancel'):
            with self.subTest(answer=answer):
                self.step('click', 1010)
                box = self.step('message-box', 'lks-sample', WAIT_MS)
                self.assertEqual(box['text'], ['继续吗？'])
                self.assertEqual(box['buttons'], ['ok,cancel'])
                self.assertEqual(box['pid'], self.window['pid'])
                self.step('answer', answer, 'lks-sample', WAIT_MS)
                self.step('wait-text', STATUS, answer, WAIT_MS)

    def test_wizard_buttons_are_pressed_only_when_a_user_could(self):
        self.assertEqual(self.step('buttons')['buttons'], ['next,cancel'])
        status, _, err = self.driver('press', 'back')
        self.assertEqual(status, 1)
        self.assertIn('back button is hidden or disabled', err)

        self.step('press', 'next')
        self.step('wait-buttons', 'back,finish,cancel', WAIT_MS)
        self.assertEqual(self.step('page-text', STATUS)['text'], ['第二页'])
        self.step('press', 'back')
        self.step('wait-buttons', 'next,cancel', WAIT_MS)
        self.step('press', 'next')
        self.step('wait-buttons', 'back,finish,cancel', WAIT_MS)
        self.step('press', 'finish')
        self.step('wait-gone', '', WAIT_MS)
        self.assertEqual(self.proc.wait(timeout=60), 0)


def main():
    global ARGS
    ARGS, argv = parse_arguments('driver_test', {'--sample': 'lks-sample-wizard.exe'})
    run_tests(ARGS, argv)


if __name__ == '__main__':
    main()
