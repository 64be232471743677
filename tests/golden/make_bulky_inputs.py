#!/usr/bin/env python3
"""Writes the inputs of the golden jobs that are too long to type by hand.

    make_bulky_inputs.py FIXTURES_DIR

The jobs test record-wrapping boundaries (MAXL 11, 20, 30 and 31; MAXG 200,
201 and 1096; 50 years) and the AZ work-array limit. Their values come from a
fixed linear congruential generator, so the files are the same on every run;
they are checked in, and this script only documents how they were made.
"""

import os
import sys


class Lcg:
    """A 31-bit linear congruential generator (fixed seed, fixed sequence)."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (1103515245 * self.state + 12345) % 2**31
        return self.state

    def chance(self, percent):
        return self.next() % 100 < percent

    def yield_value(self, low, high):
        """A value with three decimals between low and high, like a plot yield."""
        thousandths = low * 1000 + self.next() % ((high - low) * 1000 + 1)
        return '%d.%03d' % (thousandths // 1000, thousandths % 1000)


def write(path, lines, ending='\n'):
    with open(path, 'w', newline='') as f:
        f.write(''.join(line + ending for line in lines))


def names_file(title, years, locations, entries):
    return ([title, '%d %d %d' % (len(years), len(locations), len(entries))] + years +
            locations + entries)


def job(root, name, title, maxy, maxl, maxg, answers, observations):
    d = os.path.join(root, name)
    os.makedirs(d, exist_ok=True)
    years = ['Y%d' % (2000 + y) for y in range(1, maxy + 1)]
    locations = ['Loc%d' % l for l in range(1, maxl + 1)]
    entries = ['G%d' % g for g in range(1, maxg + 1)]
    write(os.path.join(d, 'JOB.NAQ'), names_file(title, years, locations, entries))
    write(os.path.join(d, 'JOB.SEQ'), ['%d %d %d %s' % o for o in observations])
    write(os.path.join(d, 'JOB.answers'), answers)


def random_observations(rng, years, maxl, maxg, percent):
    """Each (year, location, entry) cell observed with the given chance."""
    out = []
    for y in years:
        for l in range(1, maxl + 1):
            level = 2 + l % 5  # locations differ in their mean yield
            for g in range(1, maxg + 1):
                if rng.chance(percent):
                    out.append((y, l, g, rng.yield_value(level, level + 3)))
    return out


def main(root):
    def size_answers(maxy, maxl, maxg, iys, iyf, options):
        return ['y', 'JOB', str(maxy), str(maxl), str(maxg), str(iys), str(iyf)] + options

    rng = Lcg(20240611)
    job(root, 'maxl11', 'Golden job: 11 locations (proximity column wraps)', 2, 11, 6,
        size_answers(2, 11, 6, 1, 2, ['w', 's', 's']),
        random_observations(rng, (1, 2), 11, 6, 75))
    job(root, 'maxl20', 'Golden job: 20 locations (kappa row wraps)', 2, 20, 6,
        size_answers(2, 20, 6, 1, 2, ['w', 'r', 'n']),
        random_observations(rng, (1, 2), 20, 6, 75))
    job(root, 'maxl30', 'Golden job: 30 locations (count row wraps)', 2, 30, 8,
        size_answers(2, 30, 8, 1, 2, ['u', 'r', 'z']),
        random_observations(rng, (1, 2), 30, 8, 85))
    job(root, 'maxl31', 'Golden job: 31 locations', 1, 31, 5,
        size_answers(1, 31, 5, 1, 1, ['u', 's', 'c']),
        random_observations(rng, (1,), 31, 5, 80))
    job(root, 'maxg200', 'Golden job: 200 entries (one incidence block)', 1, 2, 200,
        size_answers(1, 2, 200, 1, 1, ['w', 'r', 'z']),
        random_observations(rng, (1,), 2, 200, 60))
    obs = [o for o in random_observations(rng, (1,), 2, 200, 60)]
    obs.append((1, 2, 201, '4.250'))  # entry 201 observed at location 2 only
    job(root, 'maxg201', 'Golden job: 201 entries (two incidence blocks)', 1, 2, 201,
        size_answers(1, 2, 201, 1, 1, ['w', 's', 'c']), obs)
    # AZREQ = MAXY + MAXL + MAXG + 1 = 1100, exactly the capacity: accepted.
    job(root, 'maxg1096_az_full', 'Golden job: 1096 entries, AZ work array exactly full',
        1, 2, 1096, size_answers(1, 2, 1096, 1, 1, ['u', 'r', 'n']),
        random_observations(rng, (1,), 2, 1096, 30))
    # AZREQ = 1101, one more than the capacity: refused before any analysis.
    job(root, 'refused_az', 'Golden job: 1097 entries, AZ work array one too small',
        1, 2, 1097, size_answers(1, 2, 1097, 1, 1, []), [(1, 1, 1, '1.000')])
    # 52 years in the data set, the sequence runs over years 2 to 51 (50 years).
    # Year 1 precedes the sequence, years 10 and 30 have no records, and the
    # data end with year 50, so year 51 is processed without data.
    years = [y for y in range(1, 51) if y not in (10, 30)]
    job(root, 'years50', 'Golden job: a sequence of 50 years', 52, 2, 3,
        size_answers(52, 2, 3, 2, 51, ['w', 's', 'c']),
        random_observations(rng, years, 2, 3, 90))
    return 0


if __name__ == '__main__':
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
