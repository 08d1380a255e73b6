#!/usr/bin/env python3
"""Runs every benchmark once and writes the table of figures into
bench/README.md, between the figures markers. Run after a build:

    bench/figures.py [build-folder]
"""
import csv, datetime, io, os, re, subprocess, sys, time

here = os.path.dirname(os.path.abspath(__file__))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'build'))
env = dict(os.environ, QT_QPA_PLATFORM='offscreen')
env.pop('KV4810G_AUTO_ANSWER', None)


def run(*args, **kwargs):
    return subprocess.run(list(args), env=kwargs.get('env', env), capture_output=True, text=True,
                          timeout=900).stdout + ''


def qinfo(output, pattern):
    match = re.search(pattern, output)
    if not match:
        sys.exit(f'no figure for {pattern!r} in:\n{output}')
    return float(match.group(1))


def csv_ms(output):
    rows = {}
    for row in csv.reader(io.StringIO(output)):
        if len(row) >= 4 and row[2] == 'WalltimeMilliseconds':
            rows[(row[0], row[1])] = float(row[3])
    return rows


def proc_rss_mib(pid):
    with open(f'/proc/{pid}/status') as f:
        return next(int(l.split()[1]) for l in f if l.startswith('VmRSS:')) / 1024


def proc_cpu_s(pid):
    with open(f'/proc/{pid}/stat') as f:
        fields = f.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')


rows = []  # (what, floor or target, measured, ratio)


def add(what, bound_text, bound, value, unit, digits=2):
    rows.append((what, bound_text, f'{value:.{digits}f} {unit}', f'{value / bound:.2f}'))


transfer = run(os.path.join(build, 'bench', 'bench_transfer'))
add('start-up to the password dialog, panel on port 1', 'target 0.1 s', 0.1,
    qinfo(transfer, r'0 silent ports first: median ([\d.]+) s'), 's', 3)
add('program CPU during that start-up', 'target 50 ms', 50,
    qinfo(transfer, r'0 silent ports first: median [\d.]+ s, program CPU median ([\d.]+) ms'), 'ms')
add('start-up to the password dialog, panel on port 3 behind two silent ports', 'floor 2.0 s (two detection waits)',
    2.0, qinfo(transfer, r'2 silent ports first: median ([\d.]+) s'), 's', 3)
add('complete download, click to "finish download!"', 'floor 2.0 s (ten 0.2 s waits)', 2.0,
    qinfo(transfer, r'"finish download!": median ([\d.]+) s'), 's', 3)
add('program CPU during that download', 'target 50 ms', 50,
    qinfo(transfer, r'program CPU: median ([\d.]+) ms'), 'ms')
add('complete upload, click to "finish Upload!" (replies paced as at 9600 baud)', 'target 0.5 s', 0.5,
    qinfo(transfer, r'click to "finish Upload!": median ([\d.]+) s'), 's', 3)
add('program CPU during that upload', 'target 50 ms', 50,
    qinfo(transfer, r'click to "finish Upload!": median [\d.]+ s, program CPU median ([\d.]+) ms'), 'ms')
add('last byte of "FF5B" to "finish Upload!"', 'target 5 ms', 5,
    qinfo(transfer, r'"finish Upload!": median ([\d.]+) ms'), 'ms', 3)

panels = subprocess.run([sys.executable, os.path.join(here, 'program_panels.py'), build], capture_output=True,
                        text=True, timeout=300).stdout
add('kv4810g-program: eight panels downloaded at once, over one alone', 'goal 1.2', 1.2,
    qinfo(panels, r'eight over one: ([\d.]+)'), '', 3)
add('kv4810g-program: CPU per panel with eight at once', 'target 50 ms', 50,
    qinfo(panels, r'eight panels: [\d.]+ s, CPU ([\d.]+) ms per panel'), 'ms')

receive = csv_ms(run(os.path.join(build, 'bench', 'bench_receive'), '-csv'))
for label, key in (('empty', '0 pending bytes'), ('nearly full (4000 bytes)', '4000 pending bytes')):
    add(f'one receive event, buffer {label}', 'target 1 µs', 1.0,
        receive[('oneByteOnPending', key)] * 1000, 'µs', 3)

records = csv_ms(run(os.path.join(build, 'bench', 'bench_records'), '-csv'))
for name, what, target in (('saveNew', 'save a new record', 10), ('saveReplacing', 'save replacing a record', 10),
                           ('openByNumber', 'open by number', 10), ('openByName', 'open by name', 10),
                           ('openDialogLists', 'fill the open dialog\'s lists', 100)):
    add(f'{what}, 10,000 records stored', f'target {target} ms', target, records[(name, '')], 'ms')

# The real program idle in its main window: port 16 opens but stays silent.
sim = subprocess.Popen([os.path.join(build, 'bin', 'kv4810g-panelsim'), '--silent'],
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
device = sim.stdout.readline().strip()
program = subprocess.Popen([os.path.join(build, 'bin', 'kv4810g')],
                           env=dict(env, KV4810G_PORTS=':' * 15 + device),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
try:
    time.sleep(4)
    add('resident memory after start-up (main window shown)', 'target 60 MiB', 60,
        proc_rss_mib(program.pid), 'MiB', 1)
    before = proc_cpu_s(program.pid)
    time.sleep(10)
    add('program CPU while idle for 10 s', 'target 50 ms', 50, (proc_cpu_s(program.pid) - before) * 1000, 'ms')
finally:
    program.kill()
    sim.terminate()

table = ['| Figure | Floor or target | Measured | Ratio |', '|---|---|---|---|']
table += [f'| {a} | {b} | {c} | {d} |' for a, b, c, d in rows]
stamp = f'One run of `bench/figures.py` on {datetime.date.today()}, build {os.path.basename(build)}:'
block = '<!-- figures:start -->\n' + stamp + '\n\n' + '\n'.join(table) + '\n<!-- figures:end -->'
print('\n'.join(table))

readme = os.path.join(here, 'README.md')
text = open(readme).read()
if '<!-- figures:start -->' in text:
    text = re.sub(r'<!-- figures:start -->.*?<!-- figures:end -->', lambda m: block, text, flags=re.S)
else:
    text = text.rstrip('\n') + '\n\n' + block + '\n'
open(readme, 'w').write(text)
