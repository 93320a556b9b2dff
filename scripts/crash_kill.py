#!/usr/bin/python3
"""Kills vexa2-admin and the headless server at random moments and checks that
every stored file then holds its old content or its new content, never less,
and that a killed "site add" never leaves a site with only its name.

Not part of the test suite (it takes minutes and depends on timing):
    scripts/crash_kill.py [BUILD_DIR] [ROUNDS]

For vexa2-admin, the new content of each file is known from a reference run
of the same command, uninterrupted, on a copy of the data folder. For the
server, whose writes at start (the working account files) and at exit (the
settings and the three lists) repeat what is already stored, the new content
is what a clean start and stop leaves.
"""
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'build')
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 300
ADMIN = os.path.join(BUILD, 'bin', 'vexa2-admin')
VEXA2 = os.path.join(BUILD, 'bin', 'vexa2')
STORED = ['vexa2users.dat', 'vexa2users.tmp', 'vexa2groups.dat', 'vexa2groups.tmp',
          'ipdenials.dat', 'virtmaps.dat', 'permalinks.dat', 'vexa2.ini']
USER_RECORD = 3718


def snapshot(folder):
    files = {}
    for name in STORED:
        path = os.path.join(folder, name)
        files[name] = open(path, 'rb').read() if os.path.exists(path) else None
    return files


def admin(folder, *args):
    subprocess.run([ADMIN, '--data-dir', folder] + list(args), check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


class Tally:
    def __init__(self):
        self.rounds = 0
        self.old = 0
        self.new = 0
        self.less = []

    def check(self, label, before, after, now):
        self.rounds += 1
        for name in STORED:
            changing = before[name] != after[name]
            if now[name] == before[name]:
                self.old += changing
            elif now[name] == after[name]:
                self.new += changing
            else:
                size = -1 if now[name] is None else len(now[name])
                self.less.append('%s: %s holds %d bytes, neither old (%s) nor new (%s)' % (
                    label, name, size, len(before[name] or b''), len(after[name] or b'')))


def prepare(folder):
    # Files large enough that a write takes a while: 300 users, 300-row lists.
    for i in range(300):
        admin(folder, '--no-save', 'user', 'add', 'user%03d' % i)
    admin(folder, 'user', 'set', 'user000', 'password', 'start')
    for i in range(5):
        admin(folder, 'group', 'add', 'group%d' % i)
    lines = ''.join('10.%d.%d.\r\n' % (i // 250, i % 250) for i in range(299))
    open(os.path.join(folder, 'ipdenials.dat'), 'w', newline='').write(lines + '192.0.2.1\r\n')
    pairs = ''.join('/srv/%d/\r\n/v%d/\r\n' % (i, i) for i in range(300))
    open(os.path.join(folder, 'virtmaps.dat'), 'w', newline='').write(pairs)
    open(os.path.join(folder, 'permalinks.dat'), 'w', newline='').write(pairs)


def admin_round(folder, work, tally, n):
    commands = [
        ['user', 'set', 'user%03d' % random.randrange(300), 'password', 'p%d' % n],
        ['user', 'add', 'new%d' % n],
        ['user', 'delete', 'new%d' % (n - 1)],
        ['group', 'set', 'group%d' % random.randrange(5), 'home', '/srv/g%d' % n],
        ['ip', 'add', '198.51.100.%d' % (n % 250)],
        ['ip', 'delete', '1'],
    ]
    command = random.choice(commands)
    before = snapshot(folder)
    # The reference: the same command, uninterrupted, on a copy.
    reference = os.path.join(work, 'reference')
    shutil.rmtree(reference, ignore_errors=True)
    shutil.copytree(folder, reference)
    subprocess.run([ADMIN, '--data-dir', reference] + command,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = snapshot(reference)
    process = subprocess.Popen([ADMIN, '--data-dir', folder] + command,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(random.uniform(0, 0.03))
    process.send_signal(signal.SIGKILL)
    process.wait()
    tally.check('vexa2-admin %s' % ' '.join(command), before, after, snapshot(folder))


SITE_RECORD = 496


def stored_sites(folder):
    """(name, host) of every whole record of the site store."""
    path = os.path.join(folder, 'vexa2sites.dat')
    data = open(path, 'rb').read() if os.path.exists(path) else b''
    sites = []
    for at in range(0, len(data) - SITE_RECORD + 1, SITE_RECORD):
        record = data[at:at + SITE_RECORD]
        sites.append((record[1:1 + record[0]], record[42:42 + record[41]]))
    return sites


def site_rounds(folder, rounds):
    """Kills "site add" with details at random moments: a site is stored whole
    or not at all, never with its name alone. Returns the sites found without
    their host."""
    kills = 0
    for n in range(rounds):
        process = subprocess.Popen(
            [ADMIN, '--data-dir', folder, 'site', 'add', 'site%d' % n, 'host',
             'ftp%d.example.org' % n, 'user', 'u', 'password', 'p'],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(random.uniform(0, 0.02))
        process.send_signal(signal.SIGKILL)
        kills += process.wait() != 0
    name_only = [name for name, host in stored_sites(folder) if not host]
    stored = len(stored_sites(folder))
    print('site add: %d kills, %d sites stored, sites with only a name: %d' % (
        kills, stored, len(name_only)))
    return name_only


def start_server(folder):
    return subprocess.Popen([VEXA2, '--headless', '--data-dir', folder],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def server_round(folder, tally, expected, n):
    # An edit left unsaved in the working file: the start copies the saved
    # file over it.
    admin(folder, '--no-save', 'user', 'set', 'user001', 'password', 'unsaved%d' % n)
    before = snapshot(folder)
    process = start_server(folder)
    time.sleep(random.uniform(0, 0.15))
    # Half the time the kill lands during the orderly shutdown's writes.
    if random.random() < 0.5:
        process.send_signal(signal.SIGTERM)
        time.sleep(random.uniform(0, 0.01))
    process.send_signal(signal.SIGKILL)
    process.wait()
    tally.check('server', before, expected, snapshot(folder))


def main():
    for program in (ADMIN, VEXA2):
        if not os.access(program, os.X_OK):
            sys.exit('missing %s; build first' % program)
    work = tempfile.mkdtemp(prefix='vexa2-crash-')
    os.environ['XDG_CONFIG_HOME'] = os.path.join(work, 'config')
    os.environ['XDG_DATA_HOME'] = os.path.join(work, 'data-home')
    folder = os.path.join(work, 'data')
    os.makedirs(folder)
    random.seed(int(os.environ.get('SEED', '14')))
    prepare(folder)
    open(os.path.join(folder, 'vexa2.ini'), 'w', newline='').write(
        '[Server Options]\r\nServerPort=%d\r\n' % free_port())

    admin_tally = Tally()
    for n in range(ROUNDS):
        admin_round(folder, work, admin_tally, n)

    # What a clean start and stop leaves is the server's "new" content.
    subprocess.run([ADMIN, '--data-dir', folder, 'user', 'list'], stdout=subprocess.DEVNULL)
    server = start_server(folder)
    time.sleep(1.0)
    server.send_signal(signal.SIGTERM)
    server.wait()
    expected = snapshot(folder)
    server_tally = Tally()
    for n in range(ROUNDS):
        server_round(folder, server_tally, expected, n)

    name_only = site_rounds(folder, ROUNDS)

    leftovers = [f for f in os.listdir(folder) if '.saving.' in f]
    for label, tally in (('vexa2-admin', admin_tally), ('server', server_tally)):
        print('%s: %d kills; of the files the interrupted run was changing, %d held the old '
              'content and %d the new; files holding neither: %d' % (
                  label, tally.rounds, tally.old, tally.new, len(tally.less)))
        for line in tally.less[:10]:
            print('  ' + line)
    print('temporary files left by the last kills (removed at the next start): %d' % len(leftovers))
    shutil.rmtree(work, ignore_errors=True)
    sys.exit(1 if admin_tally.less or server_tally.less or name_only else 0)


if __name__ == '__main__':
    main()
