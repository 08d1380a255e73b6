#!/usr/bin/env python3
"""Eight panels downloaded by one kv4810g-program command against one panel
alone: wall time of the command (median of three runs each) and its CPU
time per panel. Every download is paced at 2.0 s; eight fit one event loop,
so the goal is that eight take at most 1.2 times as long as one.

    bench/program_panels.py [build-folder]
"""
import json, os, resource, statistics, subprocess, sys, tempfile, time

here = os.path.dirname(os.path.abspath(__file__))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'build'))
program = os.path.join(build, 'bin', 'kv4810g-program')
panelsim = os.path.join(build, 'bin', 'kv4810g-panelsim')


def simulators(count):
    sims = [subprocess.Popen([panelsim], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            for _ in range(count)]
    return sims, [s.stdout.readline().strip() for s in sims]


def download(devices, settings):
    """Wall and CPU seconds of one command programming every device."""
    args = [program, 'download', '--json', '--settings', settings]
    for device in devices:
        args += ['--device', device]
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    run = subprocess.run(args, env=dict(os.environ, KV4810G_PASSWORD='1234'), capture_output=True, text=True)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    result = json.loads(run.stdout)
    assert result['status'] == 0 and len(result['panels']) == len(devices), run.stdout + run.stderr
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def measure(count, settings, runs=3):
    sims, devices = simulators(count)
    try:
        figures = [download(devices, settings) for _ in range(runs)]
        time.sleep(0.2)
    finally:
        for s in sims:
            s.terminate()
    return statistics.median(f[0] for f in figures), statistics.median(f[1] for f in figures) / count


if __name__ == '__main__':
    with tempfile.TemporaryDirectory() as tmp:
        settings = os.path.join(tmp, 'settings.json')
        with open(settings, 'w') as f:
            json.dump({'format': 1, 'JieTel1': '5550187', 'zhouqi': '15'}, f)
        one_wall, one_cpu = measure(1, settings)
        eight_wall, eight_cpu = measure(8, settings)
    print(f'one panel: {one_wall:.3f} s, CPU {one_cpu * 1000:.1f} ms per panel')
    print(f'eight panels: {eight_wall:.3f} s, CPU {eight_cpu * 1000:.1f} ms per panel')
    print(f'eight over one: {eight_wall / one_wall:.3f} (goal at most 1.2)')
