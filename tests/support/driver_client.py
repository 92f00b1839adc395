"""Runs lks-wizard-driver steps under Wine for the UI tests."""
import argparse
import os
import subprocess
import sys
import unittest

from lks_fixtures import end_process, read_line

# Steps that only look: running one again cannot act twice on the wizard.
QUERIES = frozenset({
    'wait-window', 'wait-gone', 'state', 'wait-foreground', 'colour', 'page-colour', 'page-text',
    'wait-text', 'enabled', 'wait-enabled', 'radio', 'controls', 'buttons', 'wait-buttons', 'list',
    'bar', 'message-box', 'box-icon', 'sysmenu', 'mutex', 'wait-mutex', 'processes', 'wait-processes',
})
# The driver starts every message of its own with this.
OWN_MESSAGE = 'lks-wizard-driver:'
HELD_START_S = 60


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
        self.first_line = read_line(self.proc.stdout, HELD_START_S).decode('utf-8').strip()
        if not self.first_line:
            self.release()

    def release(self):
        if self.proc.stdin and not self.proc.stdin.closed:
            self.proc.stdin.close()
        end_process(self.proc, 30)
        if not self.proc.stderr.closed:
            self.error = self.proc.stderr.read().decode('utf-8', 'replace')
            self.proc.stdout.close()
            self.proc.stderr.close()


class Driver:
    """lks-wizard-driver.exe, run under Wine by scripts/wine-run. Called with a
    step's words, it answers (exit status, {key: [values]}, stderr)."""

    def __init__(self, wine_run, exe, timeout=60):
        self.wine_run = wine_run
        self.exe = exe
        self.timeout = timeout

    def __call__(self, *args, timeout=None):
        return run_driver(self.wine_run, self.exe, args, timeout or self.timeout)

    def held(self, *args):
        return Held(self.wine_run, self.exe, *args)

    def close_wizard(self, wait_ms, cancel=True):
        """Closes the wizard when one is open, whatever state a test left it
        in: by Cancel (unless `cancel` is false), else by ending its process."""
        if self('wait-gone', '', 0)[0] == 0:
            return
        if cancel and self('press', 'cancel')[0] == 0 and self('wait-gone', '', wait_ms)[0] == 0:
            return
        self('kill')


class DriverSteps:
    """For a TestCase of the UI tests: `self.driver` runs a step, `self.step`
    one that must succeed."""

    driver = None  # the Driver, set by run_tests

    def step(self, *args):
        status, values, err = self.driver(*args)
        self.assertEqual(status, 0, f'driver {" ".join(map(str, args))}: {err}')
        return values

    def start_held(self, *args):
        """A driver step holding something until released; fails the test
        when it does not start."""
        step = self.driver.held(*args)
        if not step.first_line:
            self.fail(f'driver {args[0]} did not start: {step.error}')
        return step


def hold_desktop(driver):
    """Keeps Wine's desktop open until the returned hold is released: Wine
    closes it a second after its last program ends and starts it again for
    the next, and a program starting meanwhile may fail. Tests start and end
    programs all the time."""
    held = driver.held('hold-desktop')
    if held.first_line != 'desktop held':
        raise RuntimeError(f'driver hold-desktop did not start: {held.error}')
    return held


def parse_arguments(program, options):
    """A UI test's command line: --driver, --wine-run and `options` ({option:
    help}), all required; (the options, argv for unittest). Ends the program
    when there is no display for the wizard."""
    parser = argparse.ArgumentParser(prog=program)
    parser.add_argument('--driver', required=True, help='lks-wizard-driver.exe')
    parser.add_argument('--wine-run', required=True)
    for option, text in options.items():
        parser.add_argument(option, required=True, help=text)
    args, rest = parser.parse_known_args()
    if not os.environ.get('DISPLAY'):
        sys.exit(f'{program}: DISPLAY is not set: the wizard needs a display (Xvfb)')
    return args, [sys.argv[0]] + rest


def run_tests(args, argv, step_timeout=60):
    """unittest.main for a module of UI tests, with the desktop held; the
    tests' steps run with `step_timeout` seconds each."""
    DriverSteps.driver = Driver(args.wine_run, args.driver, step_timeout)
    desktop = hold_desktop(DriverSteps.driver)
    try:
        unittest.main(argv=argv, verbosity=2)
    finally:
        desktop.release()
