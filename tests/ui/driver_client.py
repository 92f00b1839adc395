"""Runs lks-wizard-driver steps under Wine for the UI tests."""
import os
import select
import subprocess
import sys
import unittest

# Steps that only look: running one again cannot act twice on the wizard.
QUERIES = frozenset({
    'wait-window', 'wait-gone', 'state', 'wait-foreground', 'colour', 'page-colour', 'page-text',
    'wait-text', 'enabled', 'wait-enabled', 'radio', 'controls', 'buttons', 'wait-buttons', 'list',
    'bar', 'message-box', 'box-icon', 'sysmenu', 'mutex', 'wait-mutex', 'processes', 'wait-processes',
})
# The driver starts every message of its own with this.
OWN_MESSAGE = 'lks-wizard-driver:'


def _run(wine_run, driver, args, timeout, env=None):
    p = subprocess.run([wine_run, driver, *args], stdin=subprocess.DEVNULL, capture_output=True,
                       timeout=timeout, env=env)
    values = {}
    for line in p.stdout.decode('utf-8', 'replace').splitlines():
        key, _, value = line.partition(' ')
        values.setdefault(key, []).append(value)
    return p.returncode, values, p.stderr.decode('utf-8', 'replace')


def run_driver(wine_run, driver, args, timeout=60):
    """One driver step: (exit status, {key: [values]}, stderr).

    A failed query whose driver said nothing never reached its own code (Wine
    ended it on the way): it runs once more with Wine's error messages on, and
    the returned stderr tells about both runs."""
    args = [str(a) for a in args]
    status, values, err = _run(wine_run, driver, args, timeout)
    if status in (0, 2) or OWN_MESSAGE in err or not args or args[0] not in QUERIES:
        return status, values, err
    env = dict(os.environ, WINEDEBUG='err+all,fixme-all')
    again, values, err_again = _run(wine_run, driver, args, timeout, env)
    note = f'(a first run ended with status {status} and no message: {err.strip()!r}; run again)\n'
    # Said also when the second run succeeds: the test's output shows each step Wine failed.
    sys.stderr.write(f'driver {" ".join(args)}: {note}{err_again}')
    return again, values, note + err_again


class Held:
    """A driver step that holds something (the mutex, a foreground window,
    the desktop) until its stdin is closed. `first_line` is what it printed
    once it held it; empty when it did not start (`error` then says why)."""

    def __init__(self, wine_run, driver, *args):
        self.error = ''
        self.proc = subprocess.Popen([wine_run, driver, *args], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        ready, _, _ = select.select([self.proc.stdout], [], [], 60)
        self.first_line = self.proc.stdout.readline().decode('utf-8').strip() if ready else ''
        if not self.first_line:
            self.release()

    def release(self):
        if self.proc.stdin and not self.proc.stdin.closed:
            self.proc.stdin.close()
        try:
            self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        if not self.proc.stderr.closed:
            self.error = self.proc.stderr.read().decode('utf-8', 'replace')
            self.proc.stdout.close()
            self.proc.stderr.close()


def hold_desktop(wine_run, driver):
    """Keeps Wine's desktop open until the returned hold is released: Wine
    closes it a second after its last program ends and starts it again for
    the next, and a program starting meanwhile may fail. Tests start and end
    programs all the time."""
    held = Held(wine_run, driver, 'hold-desktop')
    if held.first_line != 'desktop held':
        raise RuntimeError(f'driver hold-desktop did not start: {held.error}')
    return held


def run_tests(wine_run, driver, argv):
    """unittest.main for a module of UI tests, with the desktop held."""
    desktop = hold_desktop(wine_run, driver)
    try:
        unittest.main(argv=argv, verbosity=2)
    finally:
        desktop.release()
