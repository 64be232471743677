"""What the two browser tests of the HTML report share: running a program
(its failure raised with what it printed) and generated trial tables of many
sites, as large pages need them."""

import csv
import random
import subprocess


def run(command, **kwargs):
    """Runs `command`; its standard output, or AssertionError with both
    outputs when it fails."""
    result = subprocess.run(command, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        raise AssertionError('%s exited %d:\n%s%s' % (' '.join(command), result.returncode,
                                                     result.stdout, result.stderr))
    return result.stdout


def site_table(path, sites, years, varieties, seed):
    """A table of `sites` sites ('S000', ...) over the seasons `years`, each
    site with 12 of `varieties` varieties ('V00', ...) a season, drawn with
    the random `seed`, and a yield between 4 and 9 for each."""
    rng = random.Random(seed)
    with open(path, 'w', newline='', encoding='utf-8') as f:
        out = csv.writer(f)
        out.writerow(['year', 'site', 'variety', 'yield'])
        for year in years:
            for s in range(sites):
                for e in rng.sample(range(varieties), 12):
                    out.writerow([year, 'S%03d' % s, 'V%02d' % e, '%.2f' % rng.uniform(4, 9)])
