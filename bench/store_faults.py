#!/usr/bin/env python3
"""The record store under faults, through the program's own store code
(build/bench/records_writer).

1. Killed mid-save: a writer replaces records 1..N round after round (round
   g writes generation g into the name, every telephone and GSM number); it
   is killed with SIGKILL at a random moment. The file must pass PRAGMA
   integrity_check, hold exactly one row per number, each row wholly of one
   generation, and that generation the last one the writer reported for the
   number (old) or the one after it (the save in flight, new). The store must
   then save again.
2. Two copies of the program add 1,000 records each to the same file at the
   same time: every save reports Added and all 2,000 rows are there.

    bench/store_faults.py [kills] [folder for the record files]
"""
import os, random, signal, sqlite3, subprocess, sys, tempfile, threading, time

here = os.path.dirname(os.path.abspath(__file__))
writer = os.path.join(here, '..', 'build', 'bench', 'records_writer')
kills = int(sys.argv[1]) if len(sys.argv) > 1 else 20
folder = sys.argv[2] if len(sys.argv) > 2 else None
NUMBERS = 20
rng = random.Random(4810)


def check_file(path, last):
    """Returns a list of problems; last maps number -> last reported generation."""
    problems = []
    db = sqlite3.connect(path)
    try:
        verdict = db.execute('PRAGMA integrity_check').fetchall()
        if verdict != [('ok',)]:
            problems.append(f'integrity_check: {verdict}')
        cols = ['name', 'ID'] + [f'JieTel{i}' for i in range(1, 7)] + [f'shouji{i}' for i in range(1, 4)]
        rows = db.execute(f'SELECT {", ".join(cols)} FROM tb4810').fetchall()
    finally:
        db.close()
    by_number = {}
    for row in rows:
        by_number.setdefault(row[1], []).append(row)
    for n in range(1, NUMBERS + 1):
        got = by_number.get(str(n), [])
        if len(got) != 1:
            problems.append(f'number {n}: {len(got)} rows')
            continue
        row = got[0]
        g = int(row[2])
        if row[0] != f'n{n} g{g}' or any(v != str(g) for v in row[2:]):
            problems.append(f'number {n}: mixed row {row}')
        if g not in (last[n], last[n] + 1):
            problems.append(f'number {n}: generation {g}, last reported {last[n]}')
    return problems, len(rows)


def kill_run(path):
    subprocess.run([writer, path, 'replace', str(NUMBERS), '1'], check=True, stdout=subprocess.DEVNULL)
    last = {n: 1 for n in range(1, NUMBERS + 1)}
    proc = subprocess.Popen([writer, path, 'replace', str(NUMBERS), '1000000'], stdout=subprocess.PIPE)
    lines = []
    reader = threading.Thread(target=lambda: lines.extend(proc.stdout))
    reader.start()
    time.sleep(rng.uniform(0.2, 1.5))
    proc.send_signal(signal.SIGKILL)
    proc.wait()
    reader.join()
    for line in lines:
        parts = line.split()
        if parts[0] == b'saved':
            last[int(parts[1])] = int(parts[2])  # reported, so stored
    journal = os.path.exists(path + '-journal')
    problems, rows = check_file(path, last)
    saves = sum(1 for l in lines if l.startswith(b'saved'))
    again = subprocess.run([writer, path, 'add', 'after', '1'], stdout=subprocess.DEVNULL).returncode
    if again != 0:
        problems.append('the store could not save after the kill')
    return problems, saves, journal


def two_copies(path):
    began = time.monotonic()
    procs = [subprocess.Popen([writer, path, 'add', p, '1000'], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
             for p in ('A', 'B')]
    outs = [p.communicate() for p in procs]
    took = time.monotonic() - began
    problems = []
    for p, (out, err) in zip(procs, outs):
        if p.returncode != 0:
            problems.append(f'writer: {out.decode().strip()} {err.decode()[:300]}')
    db = sqlite3.connect(path)
    verdict = db.execute('PRAGMA integrity_check').fetchall()
    numbers = {r[0] for r in db.execute('SELECT ID FROM tb4810')}
    count = db.execute('SELECT COUNT(*) FROM tb4810').fetchone()[0]
    db.close()
    if verdict != [('ok',)]:
        problems.append(f'integrity_check: {verdict}')
    wanted = {f'{p}{i}' for p in 'AB' for i in range(1000)}
    if numbers != wanted or count != 2000:
        problems.append(f'{count} rows, {len(wanted - numbers)} numbers missing')
    return problems, took, count


with tempfile.TemporaryDirectory(dir=folder) as tmp:
    failed = 0
    total_saves = 0
    hot = 0
    for k in range(kills):
        path = os.path.join(tmp, f'kill{k}.mdb')
        problems, saves, journal = kill_run(path)
        total_saves += saves
        hot += journal
        failed += bool(problems)
        for p in problems:
            print(f'kill {k}: {p}')
    print(f'killed mid-save {kills} times ({total_saves} saves reported before the kills, '
          f'{hot} kills left a journal behind): {kills - failed} files whole, every number old or new row, '
          f'{failed} with problems')
    problems, took, count = two_copies(os.path.join(tmp, 'two.mdb'))
    for p in problems:
        print(f'two copies: {p}')
    print(f'two copies, 1,000 adds each: {count} rows, {"no row lost" if not problems else "FAILED"}, {took:.1f} s')
    sys.exit(1 if failed or problems else 0)
