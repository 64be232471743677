#!/usr/bin/env python3
"""Independent check of what locprox-summary derives from the running sums.

    trust_oracle.py LOCPROX WORK_DIR

Generates an unbalanced trial table with replicates (sites missing in some
years, entries coming and going, one to three plots a cell, missing plots),
analyses it with `LOCPROX analyse` under several measures, and recomputes from
the table itself, never from the proximity file, what the summary wrote:

- STEM.years.csv: every pair's own value in every year it was compared and the
  entries in common behind it;
- STEM.pairs.csv's trust columns: the 95 % interval, Cochran's Q, its degrees
  of freedom and upper-tail probability, and the spread of the yearly values.
- STEM.stability.csv: with each year left out in turn, in how many runs two
  locations fall in one group, from an average linkage of its own.

The table's values are read as the run reads them: each in single precision, a
cell's replicates averaged in double precision and rounded to single; each
location's values of a year centred on the mean of all its entries that year;
a pair's correlation is then formed over the entries the two have in common
from those centred values (no second centring on the common entries). The
proximity file keeps sums to eight significant digits, so a year's value,
the difference of two running sums, is compared within the error those digits
allow. Exit status 0 when everything agrees, 1 with the differences listed.
"""

import csv
import math
import os
import random
import struct
import subprocess
import sys

Z95 = 1.959964


def f32(x):
    return struct.unpack('<f', struct.pack('<f', x))[0]


# --------------------------------------------------------------------------
# The table


def generate_table(path, seed=17):
    """Seven sites over six seasons; returns rows (year, site, entry, value)."""
    rng = random.Random(seed)
    years = [2015, 2016, 2017, 2018, 2019, 2020]
    sites = ['North', 'South', 'East', 'West', 'Hill', 'Coast', 'Delta']
    entries = ['V%02d' % k for k in range(1, 27)]
    merit = {e: rng.gauss(0.0, 1.0) for e in entries}
    # Two families of sites that rank entries alike, and one odd site.
    family = {'North': 0, 'South': 0, 'East': 0, 'West': 1, 'Hill': 1, 'Coast': 1, 'Delta': 2}
    slant = {(f, e): rng.gauss(0.0, 0.8) for f in range(3) for e in entries}
    level = {s: 5.0 + 2.0 * rng.random() for s in sites}
    rows = []
    for year in years:
        season = {e: rng.gauss(0.0, 0.4) for e in entries}
        # Entries tested this year: a sliding window plus a few checks.
        start = (year - 2015) * 3
        tested = entries[:3] + entries[3 + start:3 + start + 12]
        for site in sites:
            if site == 'Delta' and year in (2016, 2019):
                continue  # the site was not harvested
            if site == 'Coast' and year == 2018:
                local = tested[:4]  # only four entries in common with anyone: z drops little
            else:
                local = [e for e in tested if rng.random() > 0.15]
            for e in local:
                for rep in range(1, rng.choice([1, 2, 2, 3]) + 1):
                    if rng.random() < 0.05:
                        rows.append((year, site, e, rep, 'NA'))
                        continue
                    value = (level[site] + merit[e] + slant[(family[site], e)] + season[e] +
                             rng.gauss(0.0, 0.5))
                    rows.append((year, site, e, rep, '%.2f' % value))
    rng.shuffle(rows)  # the table's order must not matter beyond replicate sums
    with open(path, 'w', newline='') as f:
        w = csv.writer(f)
        w.writerow(['year', 'site', 'variety', 'rep', 'yield'])
        w.writerows(rows)
    return rows


def cells_by_year(rows):
    """{year: {site: {entry: value}}}, replicates averaged as the import does."""
    sums = {}
    for year, site, entry, _rep, text in rows:
        if text == 'NA':
            continue
        sums.setdefault((year, site, entry), []).append(f32(float(text)))
    out = {}
    for (year, site, entry), values in sums.items():
        s = 0.0
        for v in values:
            s += v
        out.setdefault(year, {}).setdefault(site, {})[entry] = f32(s / len(values))
    return out


def order_of_appearance(rows, column):
    seen = []
    for row in rows:
        if row[column] not in seen:
            seen.append(row[column])
    return seen


# --------------------------------------------------------------------------
# One year's value of a pair, from the data


def centred(values):
    s = 0.0
    for v in values.values():
        s += v
    m = s / len(values)
    return {e: f32(v - m) for e, v in values.items()}


def standardised(values):
    q = 0.0
    for v in values.values():
        q += v * v
    if len(values) < 2:
        return values
    sd = math.sqrt(q / (len(values) - 1))
    if sd == 0.0:
        return values
    return {e: f32(v / sd) for e, v in values.items()}


def year_term(measure, weighted, a, b, entries):
    """(value on the z or distance scale, weight, entries in common), or None."""
    common = [e for e in entries if e in a and e in b]
    n = len(common)
    if n == 0:
        return None
    if measure in ('centred', 'standardised'):
        s = 0.0
        for e in common:
            d = b[e] - a[e]
            s += d * d
        return (s / n, n, n)
    sab = saa = sbb = 0.0
    for e in common:
        sab += a[e] * b[e]
        saa += a[e] * a[e]
        sbb += b[e] * b[e]
    if saa == 0.0 or sbb == 0.0:
        return None
    r = sab / math.sqrt(saa * sbb)
    if measure == 'plain':
        return (r, n, n)
    if n <= 3:
        return None
    r = max(min(r, 1.0 - 1e-15), -1.0 + 1e-15)
    return (math.atanh(r), n - 3, n)


def yearly_terms(cells, measure, weighted, sites, entries, years):
    """{(i, j): [(year_number, value, weight, entries_in_common)]}."""
    out = {}
    for number, year in enumerate(years, start=1):
        at = {}
        for site, values in cells.get(year, {}).items():
            c = centred(values)
            at[site] = standardised(c) if measure == 'standardised' else c
        for j in range(2, len(sites) + 1):
            for i in range(1, j):
                a, b = at.get(sites[i - 1]), at.get(sites[j - 1])
                if a is None or b is None:
                    continue
                term = year_term(measure, weighted, a, b, entries)
                if term is not None:
                    out.setdefault((i, j), []).append((number,) + term)
    return out


# --------------------------------------------------------------------------
# Chi-square upper tail, in closed form: for even df a finite Poisson sum,
# for odd df erfc plus the same kind of terms.


def chi_square_upper(q, df):
    x = q / 2.0
    if df % 2 == 0:
        term = math.exp(-x)
        total = term
        for k in range(1, df // 2):
            term *= x / k
            total += term
        return total
    total = math.erfc(math.sqrt(x))
    # P(df + 2) = P(df) + x^(df/2) e^-x / Gamma(df/2 + 1)
    for k in range(1, df, 2):
        total += math.exp((k / 2.0) * math.log(x) - x - math.lgamma(k / 2.0 + 1.0)) if x > 0 else 0
    return total


# --------------------------------------------------------------------------
# Comparison


class Mismatch(Exception):
    pass


def read_csv(path):
    with open(path, newline='') as f:
        return list(csv.DictReader(f))


def close(got, want, tolerance, what):
    if abs(got - want) > tolerance:
        raise Mismatch('%s: file %r, data %r (tolerance %.3g)' % (what, got, want, tolerance))


def check_years(out_dir, stem, terms, measure, weighted, problems, folder=''):
    rows = read_csv(os.path.join(out_dir, stem + '.years.csv'))
    seen = set()
    # A year's sum is the difference of two running sums written to eight
    # significant digits (E16.8: 0.dddddddd, so up to half a unit in the
    # eighth digit, 5e-8 of the sum when the first digit is 1): the error
    # bound grows with the running sum.
    running = {}
    for row in rows:
        key = (int(row['location_i']), int(row['location_j']))
        number = int(row['year_number'])
        seen.add(key + (number,))
        want = [t for t in terms.get(key, []) if t[0] == number]
        label = '%s %s.years.csv pair %d-%d year %d' % (folder, stem, key[0], key[1], number)
        if not want:
            problems.append(label + ': in the file, not in the data')
            continue
        _, value, weight, common = want[0]
        so_far = running.get(key, 0.0)
        now = so_far + (value * weight if weighted else value)
        running[key] = now
        bound = 5.1e-8 * (abs(so_far) + abs(now)) / (weight if weighted else 1) + 1e-12
        try:
            if int(row['entries_in_common']) != common:
                raise Mismatch('entries in common %s, data %d' % (row['entries_in_common'], common))
            shown = math.tanh(value) if measure == 'fisher-z' else value
            close(float(row['value']), shown, bound + 1e-9 * abs(shown), 'value')  # 9 digits
        except Mismatch as m:
            problems.append('%s: %s' % (label, m))
    for key, list_ in terms.items():
        for t in list_:
            if key + (t[0],) not in seen:
                problems.append('%s years.csv pair %d-%d year %d: in the data, not in the file' %
                                (stem, key[0], key[1], t[0]))
    return len(rows)


def check_trust_columns(out_dir, stem, terms, measure, weighted, problems):
    rows = read_csv(os.path.join(out_dir, stem + '.pairs.csv'))
    checked = 0
    for row in rows:
        i, j = int(row['location_i']), int(row['location_j'])
        label = '%s pairs.csv pair %d-%d' % (stem, i, j)
        if i == j:
            for column in ('ci_low', 'ci_high', 'heterogeneity_q', 'heterogeneity_df',
                           'heterogeneity_p', 'sd_years'):
                if row[column] != '':
                    problems.append('%s: %s filled on the diagonal' % (label, column))
            continue
        t = terms.get((i, j), [])
        try:
            if not t:
                if any(row[c] for c in ('ci_low', 'heterogeneity_q', 'sd_years')):
                    raise Mismatch('trust columns filled for a pair never compared')
                continue
            w = [x[2] if weighted else 1 for x in t]
            v = [x[1] for x in t]
            total = sum(w)
            mean = sum(a * b for a, b in zip(w, v)) / total
            # Error of the values: a year's sum keeps about eight digits of the
            # running sum it was taken from.
            scale = max(abs(a * b) for a, b in zip(w, v)) * len(t)
            err = 1e-7 * scale / min(w) + 1e-8
            if measure == 'fisher-z' and weighted:
                half = Z95 / math.sqrt(total)
                close(float(row['ci_low']), math.tanh(mean - half), 1e-7, 'ci_low')
                close(float(row['ci_high']), math.tanh(mean + half), 1e-7, 'ci_high')
                q = sum(a * (b - mean) ** 2 for a, b in zip(w, v))
                df = len(t) - 1
                if int(row['heterogeneity_df']) != df:
                    raise Mismatch('df %s, data %d' % (row['heterogeneity_df'], df))
                if df == 0:
                    if row['heterogeneity_q'] or row['heterogeneity_p']:
                        raise Mismatch('Q or p filled with one year')
                else:
                    q_err = 2 * err * sum(a * abs(b - mean) for a, b in zip(w, v)) + 1e-6
                    close(float(row['heterogeneity_q']), q, q_err + 1e-6 * q, 'Q')
                    p = chi_square_upper(q, df)
                    # p moves with Q by at most the chi-square density (< 0.5).
                    close(float(row['heterogeneity_p']), p, q_err + 1e-6 * p + 1e-12, 'p')
            else:
                for column in ('ci_low', 'ci_high', 'heterogeneity_q', 'heterogeneity_df',
                               'heterogeneity_p'):
                    if row[column] != '':
                        raise Mismatch('%s filled outside a weighted Fisher z run' % column)
            if len(t) < 2:
                if row['sd_years'] != '':
                    raise Mismatch('sd_years filled with one year')
            else:
                shown = [math.tanh(b) for b in v] if measure == 'fisher-z' else v
                centre = math.tanh(mean) if measure == 'fisher-z' else mean
                sd = math.sqrt(sum(a * (b - centre) ** 2 for a, b in zip(w, shown)) / total)
                close(float(row['sd_years']), sd, err + 1e-8, 'sd_years')
            checked += 1
        except (Mismatch, ValueError) as m:
            problems.append('%s: %s' % (label, m))
    return checked


# --------------------------------------------------------------------------
# Leave-one-year-out, from the data: average linkage written out plainly.


def pair_distances(terms, measure, weighted, left_out=None):
    """{(i, j): distance} over the pairs compared in the years kept."""
    out = {}
    for key, list_ in terms.items():
        kept = [t for t in list_ if t[0] != left_out]
        if not kept:
            continue
        w = [t[2] if weighted else 1 for t in kept]
        mean = sum(a * t[1] for a, t in zip(w, kept)) / sum(w)
        if measure in ('centred', 'standardised'):
            out[key] = mean
        else:
            out[key] = 1.0 - (math.tanh(mean) if measure == 'fisher-z' else mean)
    return out


def average_linkage_groups(n, distance, groups):
    """The clusters left after n - groups merges, as sets of locations.

    Two clusters are at the mean distance of their compared pairs (infinite
    with none); the closest merge first, ties to the pair of clusters with
    the lowest lower location, then the lowest higher location.
    """
    clusters = [{x} for x in range(1, n + 1)]

    def between(a, b):
        d = [distance[(min(x, y), max(x, y))] for x in a for y in b
             if (min(x, y), max(x, y)) in distance]
        return sum(d) / len(d) if d else math.inf

    while len(clusters) > groups:
        best = None
        for u in range(len(clusters)):
            for v in range(u + 1, len(clusters)):
                key = (between(clusters[u], clusters[v]),
                       sorted((min(clusters[u]), min(clusters[v]))))
                if best is None or key < best[0]:
                    best = (key, u, v)
        _, u, v = best
        clusters[u] |= clusters[v]
        del clusters[v]
    return clusters


def check_stability(out_dir, stem, terms, measure, weighted, n, groups, years, problems):
    rows = read_csv(os.path.join(out_dir, stem + '.stability.csv'))
    compared_years = sorted({t[0] for list_ in terms.values() for t in list_})
    together = {}
    for y in compared_years:
        for c in average_linkage_groups(n, pair_distances(terms, measure, weighted, y), groups):
            for i in c:
                for j in c:
                    if i < j:
                        together[(i, j)] = together.get((i, j), 0) + 1
    for row in rows:
        key = (int(row['location_i']), int(row['location_j']))
        want = (together.get(key, 0), len(compared_years))
        got = (int(row['together']), int(row['runs']))
        if got != want:
            problems.append('%s stability.csv pair %d-%d: file %s, data %s' %
                            (stem, key[0], key[1], got, want))
    if len(rows) != n * (n - 1) // 2:
        problems.append('%s stability.csv: %d rows for %d locations' % (stem, len(rows), n))
    return len(rows)


RUNS = [
    # (folder, measure, weighted, analyse options); the centred distances cut
    # into 4 groups are the cut whose groups change with the year left out
    ('fz', 'fisher-z', True, ['--correlation', 'fisher-z', '--groups', '3']),
    ('fzu', 'fisher-z', False, ['--correlation', 'fisher-z', '--unweighted']),
    ('plain', 'plain', True, ['--correlation', 'plain']),
    ('sed', 'centred', False, ['--distance', 'centred', '--unweighted', '--groups', '4']),
    ('std', 'standardised', True, ['--distance', 'standardised']),
]


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    locprox, work = argv[1], argv[2]
    os.makedirs(work, exist_ok=True)
    table = os.path.join(work, 'trial.csv')
    rows = generate_table(table)
    cells = cells_by_year(rows)
    years = sorted(order_of_appearance(rows, 0))
    sites = order_of_appearance(rows, 1)
    entries = order_of_appearance(rows, 2)
    problems = []
    for folder, measure, weighted, options in RUNS:
        out_dir = os.path.join(work, folder)
        done = subprocess.run([locprox, 'analyse', table, '--location', 'site', '--entry',
                               'variety', '--value', 'yield', '--out', out_dir] + options,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            problems.append('%s: locprox analyse exit %d: %s' %
                            (folder, done.returncode, done.stderr.strip()))
            continue
        terms = yearly_terms(cells, measure, weighted, sites, entries, years)
        n_years = check_years(out_dir, 'trial', terms, measure, weighted, problems, folder)
        n_pairs = check_trust_columns(out_dir, 'trial', terms, measure, weighted, problems)
        n_stable = 0
        if '--groups' in options:
            groups = int(options[options.index('--groups') + 1])
            n_stable = check_stability(out_dir, 'trial', terms, measure, weighted, len(sites),
                                       groups, years, problems)
        print('%s: %d yearly values, %d pairs and %d leave-one-year-out pairs checked' %
              (folder, n_years, n_pairs, n_stable))
    for p in problems:
        print('MISMATCH ' + p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
