#!/usr/bin/env bash
# Peak resident memory of a run of the largest problem that the work arrays
# hold: 9 years, 450 locations, 640 entries (AZ exactly full: 9 + 450 + 640
# + 1 = 1100 names), every year analysed, with about half the cells of each
# year observed. The four work arrays take 6.1 MB (250000 doubles, 300000
# floats, 720000 integers, 1100 names); the rest of the peak is the program,
# its libraries and its file buffers, and does not grow with the data.
#
#   bench/memory/peak_memory.sh PATH/TO/locprox [WORK_DIR]
#
# Prints the peak resident set size of the run in kilobytes and megabytes,
# the size of the observations file it read, and for scale the peak of a
# run of a tiny job (the difference is what the problem adds) and of the
# program stopping at its first prompt (libraries and console buffers).
set -euo pipefail
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=${2:-$(mktemp -d)}
mkdir -p "$work"
cd "$work"

years=9 locations=450 entries=640
if [[ ! -s BIG.SEQ ]]; then
  awk -v Y=$years -v L=$locations -v G=$entries 'BEGIN {
    print "Largest problem that fits" > "BIG.NAQ"
    print Y, L, G > "BIG.NAQ"
    for (n = 1; n <= Y + L + G; n++) print "N" n > "BIG.NAQ"
    srand(12345)
    for (y = 1; y <= Y; y++)
      for (g = 1; g <= G; g++)
        for (l = 1; l <= L; l++)
          if (rand() < 0.5) printf "%d %d %d %.2f\n", y, l, g, 100 * rand() > "BIG.SEQ"
  }' </dev/null
fi
printf 'y\nBIG\n%d\n%d\n%d\n1\n%d\nw\ns\ns\n' $years $locations $entries $years >answers
/usr/bin/time -f '%M' -o peak.txt "$program" <answers >console.txt
peak_kb=$(tail -n 1 peak.txt)
# For scale: a job of 1 year, 2 locations and 2 entries.
printf 'Small\n1 2 2\nY\nL1\nL2\nE1\nE2\n' >SMALL.NAQ
printf '1 1 1 1.0\n1 2 2 2.0\n' >SMALL.SEQ
printf 'y\nSMALL\n1\n2\n2\n1\n1\nw\ns\ns\n' >small.answers
/usr/bin/time -f '%M' -o small-peak.txt "$program" <small.answers >small-console.txt
small_kb=$(tail -n 1 small-peak.txt)
# And the program alone: no console input, so it stops at its first prompt,
# before any file or work array exists.
/usr/bin/time -f '%M' -o bare-peak.txt "$program" </dev/null >/dev/null 2>&1 || true
bare_kb=$(tail -n 1 bare-peak.txt)
echo "problem: MAXY $years, MAXL $locations, MAXG $entries, years 1 to $years"
echo "observations file: $(du -h BIG.SEQ | cut -f1)"
echo "peak resident memory: ${peak_kb} kB ($(awk -v k="$peak_kb" 'BEGIN { printf "%.1f", k / 1024 }') MB)"
echo "work arrays: 6.1 MB (DZ 2.0, Z 1.2, MZ 2.9, AZ 0.01)"
echo "peak of a job of 2 locations and 2 entries: ${small_kb} kB"
echo "peak of the program stopping at its first prompt: ${bare_kb} kB"
