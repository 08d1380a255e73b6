#!/usr/bin/env python3
"""Resident memory and CPU time of the program while the line keeps sending.

Plays the panel on a pseudo-terminal: answers detection, then sends
"FF5002" so that "Enter the password wrong operation" opens from inside the
reply handler (a nested event loop), then babbles random bytes at full speed
for the given number of seconds, half of the time with 0D 0A among them.
Prints the program's resident memory and CPU time as it goes and a summary.

With "window", the main window is open instead (build/bench/window_on_line,
the window after start-up with its port open, boxes answered on standard
output), and the babble goes through the reply dispatch and its decoders.

    bench/babble_memory.py [seconds] [program]
    bench/babble_memory.py [seconds] window
"""
import os, random, select, subprocess, sys, time, tty

seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60
window = len(sys.argv) > 2 and sys.argv[2] == 'window'
build = os.path.join(os.path.dirname(__file__), '..', 'build')
if window:
    program = os.path.join(build, 'bench', 'window_on_line')
else:
    program = sys.argv[2] if len(sys.argv) > 2 else os.path.join(build, 'bin', 'kv4810g')


def rss_kib(pid):
    with open(f'/proc/{pid}/status') as f:
        for line in f:
            if line.startswith('VmRSS:'):
                return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    with open(f'/proc/{pid}/stat') as f:
        fields = f.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')


def wait_for(master, wanted, timeout):
    got = b''
    end = time.monotonic() + timeout
    while wanted not in got and time.monotonic() < end:
        r, _, _ = select.select([master], [], [], 0.1)
        if r:
            got += os.read(master, 4096)
    return wanted in got


master, slave = os.openpty()
tty.setraw(slave)
env = dict(os.environ, KV4810G_PORTS=os.ttyname(slave), QT_QPA_PLATFORM='offscreen')
env.pop('KV4810G_AUTO_ANSWER', None)
if window:
    env['KV4810G_AUTO_ANSWER'] = '1'
    env['KV4810G_RECORDS'] = os.path.join(os.environ.get('TMPDIR', '/tmp'), f'babble-{os.getpid()}.mdb')
boxes = open(os.devnull, 'w') if not window else subprocess.PIPE
proc = subprocess.Popen([program], env=env, stdout=boxes, stderr=subprocess.DEVNULL)
shown = []
if window:
    import threading
    threading.Thread(target=lambda: shown.extend(proc.stdout), daemon=True).start()
try:
    if window:
        time.sleep(2)                    # the window opens its port
    else:
        if not wait_for(master, b'\xff\x00\x18', 10):
            sys.exit('the program sent no detection frame')
        os.write(master, b'\xff\x6f\r\n')
        time.sleep(1.5)                      # the detection wait, then the dialog
        os.write(master, b'\xff\x50\x02\r\n')  # the box opens inside the reply handler
        time.sleep(0.5)
    os.set_blocking(master, False)
    start_rss, start_cpu = rss_kib(proc.pid), cpu_seconds(proc.pid)
    peak = start_rss
    sent = 0
    began = time.monotonic()
    next_sample = began
    rng = random.Random(4810)
    plain = bytes(rng.randrange(256) for _ in range(4096)).replace(b'\r\n', b'\r.')
    framed = b''.join(bytes(rng.randrange(256) for _ in range(30)) + b'\r\n' for _ in range(128))
    while time.monotonic() - began < seconds:
        chunk = framed if int(time.monotonic() - began) % 2 else plain
        try:
            sent += os.write(master, chunk)
        except BlockingIOError:
            select.select([], [master], [], 0.05)
        try:
            os.read(master, 65536)       # whatever the program sends back
        except BlockingIOError:
            pass
        if time.monotonic() >= next_sample:
            rss = rss_kib(proc.pid)
            peak = max(peak, rss)
            print(f'{time.monotonic() - began:5.1f} s  rss {rss / 1024:7.1f} MiB  '
                  f'cpu {cpu_seconds(proc.pid) - start_cpu:6.2f} s  '
                  f'line took {sent / 1024:9.1f} KiB', flush=True)
            next_sample += 5
    end_rss, end_cpu = rss_kib(proc.pid), cpu_seconds(proc.pid)
    print(f'babbled {seconds:.0f} s with {"the main window" if window else "a box"} open: resident {start_rss / 1024:.1f} MiB at start, '
          f'{peak / 1024:.1f} MiB at most, {end_rss / 1024:.1f} MiB at the end '
          f'(growth {(peak - start_rss) / 1024:.1f} MiB); the line took {sent / 1024:.1f} KiB; '
          f'program CPU {end_cpu - start_cpu:.2f} s'
          + (f'; {len(shown)} boxes answered, {proc.poll() is None and "still running" or "ENDED"}' if window else ''))
finally:
    proc.kill()
    proc.wait()
