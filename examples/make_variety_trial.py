#!/usr/bin/env python3
"""Writes examples/variety_trial.csv: a made-up, deterministic multi-year
winter wheat variety trial in tidy form, one row per plot.

Six seasons (2018 to 2023) at eight locations; two check varieties grown
throughout and breeding lines that enter the trials, stay three seasons and
leave; every site grows most, not all, of the season's entries, in two or three
replicates; a site is missing in some seasons; about 2 % of the plots have no
yield (NA). Yields in t/ha come from season, site and variety effects, a
variety-by-site interaction and plot noise. The generator uses its own
splitmix64, so the file is the same byte for byte on every machine:

    python3 examples/make_variety_trial.py > examples/variety_trial.csv
"""

import sys

MASK = (1 << 64) - 1


class SplitMix64:
    def __init__(self, seed):
        self.state = seed & MASK

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & MASK
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
        return z ^ (z >> 31)

    def below(self, n):
        return self.next() % n

    def centred(self, spread):
        """An integer in [-spread, spread]."""
        return self.below(2 * spread + 1) - spread


SEASONS = list(range(2018, 2024))
# Site, its effect (hundredths of t/ha) and the seasons it was not harvested.
SITES = [
    ("Northfield", 60, []),
    ("Riverside", 110, []),
    ("High Plain", -140, []),
    ("Coastal Station", 20, [2021]),
    ("Valley Farm", 80, []),
    ("Dryland Station", -230, [2018]),
    ("Hill Farm North", -40, [2022, 2023]),
    ("Hill Farm South", -10, []),
]
CHECKS = ["Check-A", "Check-B"]


def entries_of(season):
    """The checks and the lines in trial that season: each line of intake
    year Y (three a year) is tested in seasons Y to Y + 2."""
    lines = []
    for intake in range(2016, 2024):
        if intake <= season <= intake + 2:
            lines += ["WB%d-%02d" % (intake % 100, k) for k in (1, 2, 3)]
    return CHECKS + lines


def main():
    random = SplitMix64(20240611)
    every_entry = []
    for season in SEASONS:
        for entry in entries_of(season):
            if entry not in every_entry:
                every_entry.append(entry)
    variety = {entry: random.centred(70) for entry in every_entry}
    # How strongly each variety answers to a good site (the interaction).
    response = {entry: random.centred(30) for entry in every_entry}
    out = sys.stdout
    out.write("year,site,variety,rep,yield\n")
    for season in SEASONS:
        season_effect = random.centred(90)
        for site, site_effect, missing in SITES:
            if season in missing:
                continue
            replicates = 3 if random.below(3) == 0 else 2
            grown = [e for e in entries_of(season) if e in CHECKS or random.below(6) != 0]
            for rep in range(1, replicates + 1):
                for entry in grown:
                    if random.below(50) == 0:
                        out.write("%d,%s,%s,%d,NA\n" % (season, site, entry, rep))
                        continue
                    hundredths = (800 + season_effect + site_effect + variety[entry] +
                                  response[entry] * site_effect // 100 + random.centred(45))
                    out.write("%d,%s,%s,%d,%d.%02d\n" %
                              (season, site, entry, rep, hundredths // 100, hundredths % 100))


if __name__ == "__main__":
    main()
