"""What the Python tests share: release trees written and read back, trees
published by lks-publish, nginx on loopback ended by its own PID, free ports,
processes that say when they are ready, and waits that always have a bound.

A test finds this folder from its own path:
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
"""
import os
import re
import selectors
import signal
import socket
import subprocess
import sys
import time

GBK_NAME = b'\x81\x5c.txt'  # one GBK character whose second byte is 0x5C
POLL_S = 0.05
PUBLISH_LIMIT_S = 300  # scrypt of an encrypted key takes seconds


# --- bounded waits ------------------------------------------------------------


def wait_until(condition, seconds):
    """Asks `condition` until it answers something true or `seconds` have
    passed; returns its last answer (asked at least once)."""
    deadline = time.monotonic() + seconds
    while True:
        answer = condition()
        if answer or time.monotonic() >= deadline:
            return answer
        time.sleep(POLL_S)  # the pace of the asking; the deadline is the bound


def read_line(stream, seconds):
    """The first line a pipe (a process's stdout) gives, with its b'\\n'; what
    came before the pipe's end or the bound when no whole line did."""
    line = b''
    deadline = time.monotonic() + seconds
    with selectors.DefaultSelector() as selector:
        selector.register(stream, selectors.EVENT_READ)
        while not line.endswith(b'\n'):
            left = deadline - time.monotonic()
            if left <= 0 or not selector.select(left):
                break
            # A byte at a time: nothing after the line is taken from the pipe.
            chunk = os.read(stream.fileno(), 1)
            if not chunk:
                break
            line += chunk
    return line


def end_process(proc, seconds=60):
    """Waits for `proc` to end, and kills it when it does not within `seconds`."""
    try:
        proc.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(timeout=seconds)


def start_ready(cmd, seconds=120, stderr=subprocess.DEVNULL):
    """Starts a program that prints "ready" once it holds what it holds and
    runs until its standard input ends: (process, the first line it printed,
    b'' when it ended or said nothing within `seconds`)."""
    proc = subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=stderr)
    return proc, read_line(proc.stdout, seconds)


def stop_ready(proc, seconds=60):
    """Ends a program of start_ready by closing its input."""
    if proc.poll() is None and not proc.stdin.closed:
        proc.stdin.close()
    end_process(proc, seconds)
    proc.stdout.close()


# --- release trees ------------------------------------------------------------


def write_tree(root, files, read_only=()):
    """Writes {relative path (bytes): content}; the paths in `read_only` lose their write bits."""
    for rel, data in files.items():
        path = os.path.join(os.fsencode(root), rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(data)
        if rel in read_only:
            os.chmod(path, 0o444)


def walk_files(root):
    """(path relative to root, full path) of every file below root, as bytes."""
    broot = os.fsencode(root)
    for dirpath, _, names in os.walk(broot):
        for name in names:
            full = os.path.join(dirpath, name)
            yield os.path.relpath(full, broot), full


def read_tree(root):
    tree = {}
    for rel, full in walk_files(root):
        with open(full, 'rb') as f:
            tree[rel] = f.read()
    return tree


def wine_names(files):
    """Release paths (GBK bytes) as Wine stores them on Linux: in UTF-8."""
    return {name.decode('gbk').encode('utf-8'): data for name, data in files.items()}


def publish(publisher, release, root, conf, listen, *extra):
    """lks-publish RELEASE ROOT V, writing an nginx configuration for `listen`
    to `conf`; raises when the publisher fails."""
    subprocess.run([publisher, release, root, 'V', '--nginx-conf', conf, '--listen', listen,
                    *extra], check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   timeout=PUBLISH_LIMIT_S)


# --- nginx on loopback --------------------------------------------------------


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def port_answers(port):
    try:
        with socket.create_connection(('127.0.0.1', port), timeout=1):
            return True
    except OSError:
        return False


class Nginx:
    """nginx in the foreground, so that its PID is the one this process
    started: serves 127.0.0.1:`port` with `conf`, which keeps its logs and pid
    file below `prefix` (as the publisher's configuration does)."""

    READY_S = 15
    STOP_S = 15

    def __init__(self, conf, prefix, port, program='nginx'):
        self.conf = conf
        self.prefix = prefix
        self.port = port
        self.program = program
        self.proc = None

    @property
    def running(self):
        return self.proc is not None

    def log_path(self, name):
        return os.path.join(self.prefix, 'logs', name)

    def start(self):
        """Returns once the port answers; raises with nginx's error log when it does not."""
        os.makedirs(os.path.join(self.prefix, 'logs'), exist_ok=True)
        self.proc = subprocess.Popen([self.program, '-p', self.prefix, '-c', self.conf, '-e',
                                      self.log_path('error.log'), '-g', 'daemon off;'],
                                     stdin=subprocess.DEVNULL)
        ready = wait_until(lambda: self.proc.poll() is not None or port_answers(self.port),
                           self.READY_S)
        if not ready or self.proc.poll() is not None:
            self.stop()
            raise RuntimeError(f'nginx did not start on 127.0.0.1:{self.port}:\n'
                               f'{self.error_log()}')
        return self

    def stop(self):
        if self.proc is None:
            return
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        end_process(self.proc, self.STOP_S)
        self.proc = None

    def error_log(self):
        try:
            with open(self.log_path('error.log'), errors='replace') as f:
                return f.read()
        except FileNotFoundError:
            return ''

    def access_log(self):
        try:
            with open(self.log_path('access.log'), 'rb') as f:
                return f.read()
        except FileNotFoundError:
            return b''

    def requests(self):
        """How many GET requests nginx has logged."""
        return self.access_log().count(b'"GET ')

    def requested_since(self, mark, seconds=10):
        """The paths asked for after byte `mark` of the access log, each once
        (a client may send a request again when its kept connection closed
        before any answer). nginx logs a request just after its last byte
        goes out, so the first line is waited for, within `seconds`."""
        def paths():
            return re.findall(rb'"GET (\S+) HTTP', self.access_log()[mark:])
        return list(dict.fromkeys(wait_until(paths, seconds)))


# --- checks of the tool tests -------------------------------------------------


class Checks:
    """Checks that go on after one fails: each failure is said on stderr at
    once, and finish() ends the program with their count."""

    def __init__(self):
        self.failures = []

    def __call__(self, condition, message):
        if not condition:
            self.failures.append(message)
            print('FAIL:', message, file=sys.stderr)

    def finish(self):
        if self.failures:
            raise SystemExit(f'{len(self.failures)} checks failed')
        print('all checks passed')
