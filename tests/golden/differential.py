#!/usr/bin/env python3
"""Random jobs through the reference model and the built program, compared.

    differential.py LOCPROX_EXE COUNT [FIRST_SEED] [--large]

Each seed makes one random job (sizes, options, unbalanced data with
duplicates, out-of-range records, gap years, blank lines, commas, slashes,
repeat counts, records of earlier years, data ending early, CR LF or LF
lines, now and then a names file that disagrees), runs it through
reference_model.py and through the program in a temporary directory, and
compares the console output and both output files byte for byte. Jobs the
model does not decide (ModelError) are skipped. The first differing line of
each file is printed and the job directory is kept for inspection.
--large draws up to 55 years, 33 locations and 210 entries.

This is an exploration tool beside the golden tests, not part of the test
run: the golden jobs are the fixed, reviewed cases.
"""

import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import reference_model as model  # noqa: E402


def value(rnd):
    k = rnd.random()
    if k < 0.1:
        return rnd.choice(['5', '5.0', '5.000'])  # equal values: no spread
    if k < 0.15:
        return '%.2e' % rnd.uniform(-1e5, 1e5)
    if k < 0.2:
        return '%d' % rnd.randint(-3, 3)
    if k < 0.25:
        return '%.6f' % rnd.uniform(-1, 1)
    return '%.*f' % (rnd.randint(0, 4), rnd.uniform(-20, 60))


def make_job(rnd, d, large):
    if large:
        maxy, maxl, maxg = rnd.randint(1, 55), rnd.randint(1, 33), rnd.randint(1, 210)
        density = 0.3
    else:
        maxy, maxl, maxg = rnd.randint(1, 5), rnd.randint(1, 8), rnd.randint(1, 12)
        density = 1.0
    iys = rnd.randint(1, maxy)
    iyf = rnd.randint(iys - 1, maxy)
    counts = (maxy, maxl + 1, maxg) if rnd.random() < 0.05 else (maxy, maxl, maxg)
    names = ['T%d title' % rnd.randint(0, 999), '%d %d %d' % counts]
    names += ['Y%d' % i for i in range(maxy)] + ['L%d' % i for i in range(maxl)]
    names += ['G%d' % i for i in range(maxg)]
    lines = []
    for y in range(1, maxy + 1):
        if rnd.random() < 0.15:
            continue  # a gap year
        p = rnd.random() * density
        for l in range(1, maxl + 1):
            for g in range(1, maxg + 1):
                if rnd.random() < p:
                    lines.append('%d %d %d %s' % (y, l, g, value(rnd)))
                    if rnd.random() < 0.05:
                        lines.append('%d %d %d %s' % (y, l, g, value(rnd)))
        if rnd.random() < 0.2:
            lines.append('%d %d %d %s' % (y, rnd.randint(0, maxl + 1), rnd.randint(0, maxg + 1),
                                          value(rnd)))
        if rnd.random() < 0.1:
            lines.append('')
        if rnd.random() < 0.1 and y > 1:
            lines.append('%d 1 1 7.5' % (y - 1))
        if rnd.random() < 0.1:
            lines.append('%d,%d,%d,%s' % (y, 1, 1, value(rnd)))
        if rnd.random() < 0.05:
            lines.append('%d %d %d /' % (y, 1, maxg))
        if rnd.random() < 0.05:
            lines.append('2*1 1 %s' % value(rnd) if y == 1 else '%d 1 1 %s 9 9' % (y, value(rnd)))
    if rnd.random() < 0.3:
        lines = lines[:rnd.randint(0, len(lines))]
    end = rnd.choice(['\n', '\r\n'])
    with open(os.path.join(d, 'JOB.NAQ'), 'w', newline='') as f:
        f.write(''.join(x + end for x in names))
    with open(os.path.join(d, 'JOB.SEQ'), 'w', newline='') as f:
        f.write(''.join(x + end for x in lines))
    answers = ['y', 'JOB', str(maxy), str(maxl), str(maxg), str(iys), str(iyf),
               rnd.choice(['w', 'u', 'W', 'x', '']), rnd.choice(['s', 'r', 'S', 'C', '']),
               rnd.choice(['c', 's', 'n', 'z', 'Z', 'N', '', 'q'])]
    with open(os.path.join(d, 'JOB.answers'), 'w') as f:
        f.write(''.join(a + '\n' for a in answers))


def first_difference(expected, actual):
    want, got = expected.split(b'\n'), actual.split(b'\n')
    for i, (a, b) in enumerate(zip(want, got)):
        if a != b:
            return 'line %d\n    model:   %r\n    program: %r' % (i + 1, a, b)
    return 'model %d lines, program %d lines' % (len(want), len(got))


def read(path):
    if not os.path.exists(path):
        return b''
    with open(path, 'rb') as f:
        return f.read()


def main(argv):
    args = [a for a in argv[1:] if a != '--large']
    if len(args) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    exe, count = os.path.abspath(args[0]), int(args[1])
    first = int(args[2]) if len(args) == 3 else 1
    large = '--large' in argv
    differing = 0
    for seed in range(first, first + count):
        d = tempfile.mkdtemp(prefix='locprox-diff-')
        make_job(random.Random(seed), d, large)
        answers_path = os.path.join(d, 'JOB.answers')
        try:
            run = model.Run(d, model.split_records(read(answers_path)))
            run.job()
        except model.ModelError:
            shutil.rmtree(d)
            continue
        expected = {
            'console': ''.join(run.console).encode('latin-1'),
            'JOB.OCC': ''.join(r + '\r\n' for r in run.report).encode('latin-1'),
            'JOB.PRX': ''.join(r + '\r\n' for r in run.prx).encode('latin-1'),
        }
        with open(answers_path, 'rb') as answers:
            done = subprocess.run([exe], cwd=d, stdin=answers, capture_output=True)
        actual = {'console': done.stdout, 'JOB.OCC': read(os.path.join(d, 'JOB.OCC')),
                  'JOB.PRX': read(os.path.join(d, 'JOB.PRX'))}
        names = [k for k in expected if expected[k] != actual[k]]
        if names or done.returncode != 0:
            differing += 1
            print('seed %d (%s): exit %d %s' % (seed, d, done.returncode,
                                                 done.stderr.decode('latin-1').strip()))
            for k in names:
                print('  %s: %s' % (k, first_difference(expected[k], actual[k])))
        else:
            shutil.rmtree(d)
    print('%d jobs, %d differing' % (count, differing))
    return 1 if differing else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
