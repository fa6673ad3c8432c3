#!/usr/bin/python3
"""Times editors from the outside, the same way for each, on a virtual display.

    bench/side_by_side.py [--runs N] EDITOR_COMMAND... -- FILE...

For each file and each editor (commands are separated by ','; the file's path
is appended): the time from the start of the process until its window is up
and its CPU has been quiet for a while ("ready"), its peak memory then, and
the CPU time of its main thread until quiet after Ctrl+End and after a typed
character. Medians of N fresh runs. Needs Xvfb, xdotool and a D-Bus
session (dbus-launch), all from Debian.

    bench/side_by_side.py build/holvane , kwrite -- page10.html page100.html
"""
import glob
import os
import statistics
import subprocess
import sys
import tempfile
import time

QUIET = 0.25    # seconds without CPU use that count as quiet
POLL = 0.005


def cpu_ns(pid, thread='*'):
    """CPU time of the process's threads (or of one), from the scheduler's own count."""
    total = 0
    for path in glob.glob(f'/proc/{pid}/task/{thread}/schedstat'):
        try:
            with open(path) as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return total


def peak_mib(pid):
    with open(f'/proc/{pid}/status') as f:
        for line in f:
            if line.startswith('VmHWM:'):
                return int(line.split()[1]) / 1024
    return 0.0


def wait_quiet(pid):
    """The monotonic time the process last used CPU, once it has been quiet for QUIET."""
    last = cpu_ns(pid)
    last_busy = time.monotonic()
    while time.monotonic() - last_busy < QUIET:
        time.sleep(POLL)
        now = cpu_ns(pid)
        if now != last:
            last, last_busy = now, time.monotonic()
    return last_busy


def window_of(pid, deadline=60):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        found = subprocess.run(['xdotool', 'search', '--onlyvisible', '--pid', str(pid)],
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[-1]
        time.sleep(POLL)
    raise RuntimeError('no window')


def cpu_after_key(pid, window, key):
    """The CPU the user interface's thread spends on a key; what other threads
    do meanwhile (holvane's recovery file, KWrite's swap file) is left out."""
    before = cpu_ns(pid, pid)
    subprocess.run(['xdotool', 'key', '--window', window, key])
    wait_quiet(pid)
    return (cpu_ns(pid, pid) - before) / 1e6


def forget_sessions(path):
    """What an editor killed last time left behind would change how the next one starts:
    KWrite's swap files, which it offers to recover, and the sessions it restores."""
    folder, name = os.path.split(path)
    for left in glob.glob(os.path.join(folder, f'.{name}*.kate-swp')):
        os.remove(left)
    subprocess.run(['rm', '-rf', os.path.join(os.environ['XDG_DATA_HOME'], 'kwrite'),
                    os.path.join(os.environ['XDG_DATA_HOME'], 'kate'), os.environ['XDG_STATE_HOME']])


def one_run(command, path):
    forget_sessions(path)
    start = time.monotonic()
    process = subprocess.Popen(command + [path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = window_of(process.pid)
        ready = wait_quiet(process.pid) - start
        memory = peak_mib(process.pid)
        subprocess.run(['xdotool', 'windowfocus', '--sync', window])
        wait_quiet(process.pid)
        end_key = cpu_after_key(process.pid, window, 'ctrl+End')
        typed = cpu_after_key(process.pid, window, 'x')
        return ready * 1000, memory, end_key, typed
    finally:
        process.kill()
        process.wait()


def main():
    args = sys.argv[1:]
    runs = 3
    if args[:1] == ['--runs']:
        runs, args = int(args[1]), args[2:]
    split = args.index('--')
    commands = [c.split() for c in ' '.join(args[:split]).split(',')]
    files = args[split + 1:]
    # holvane's recovery files and KWrite's sessions of a killed run would be
    # offered at the next start; they are kept in folders of the run's own.
    os.environ['XDG_STATE_HOME'] = tempfile.mkdtemp(prefix='side-by-side-state-')
    os.environ['XDG_DATA_HOME'] = tempfile.mkdtemp(prefix='side-by-side-data-')
    display = f':{40 + os.getpid() % 50}'
    xvfb = subprocess.Popen(['Xvfb', display, '-screen', '0', '1280x1024x24'],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1)
    os.environ['DISPLAY'] = display
    for line in subprocess.run(['dbus-launch', '--sh-syntax'], capture_output=True, text=True).stdout.splitlines():
        if line.startswith('DBUS_SESSION_BUS_ADDRESS='):
            os.environ['DBUS_SESSION_BUS_ADDRESS'] = line.split('=', 1)[1].strip("';")
    try:
        print(f'{"file":24} {"editor":16} {"ready ms":>9} {"MiB":>6} {"Ctrl+End CPU ms":>16} {"key CPU ms":>11}')
        for path in files:
            for command in commands:
                results = [one_run(command, os.path.abspath(path)) for _ in range(runs)]
                medians = [statistics.median(r[i] for r in results) for i in range(4)]
                print(f'{os.path.basename(path):24} {os.path.basename(command[0]):16} {medians[0]:9.0f} '
                      f'{medians[1]:6.0f} {medians[2]:16.1f} {medians[3]:11.1f}', flush=True)
    finally:
        xvfb.terminate()


if __name__ == '__main__':
    main()
