#!/usr/bin/env python3
"""Opens the HTML report in headless Chromium and checks what it shows.

For each fixture job (the bundled example, and a small made-up table with
awkward names, sites coming and going and a distance measure) the test runs
`locprox analyse`, then loads STEM.html with Chromium's --dump-dom at
`#year=N&groups=K` for every year N of the sequence, and without an address,
and compares the page's DOM with what locprox-summary writes and prints:

  * every heatmap cell is one element with data-i, data-j and data-value, one
    for each ordered pair of locations, and data-value is the average of
    `locprox-summary --year N`'s pairs.csv, empty where it has none;
  * the groups listed are the lines `locprox-summary --year N --groups K` prints;
  * the page's error box, where any script error is written, stays empty;
  * the page refers to nothing outside itself;
  * a page beyond the budget of embedded years (250 locations over ten
    years) says which years it left out and shows the last state for one
    of them;
  * on a copy of the example's page with a script added after the page's own,
    the controls work: the year control, the number of groups, the arrow keys
    on the cells, sorting and filtering the table, and a changed address.

Without Chromium the test fails when CI is set and is skipped (exit 77)
otherwise.
"""

import argparse
import concurrent.futures
import csv
import json
import html.parser
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

from page_test_support import run, site_table

SKIP = 77


class PageDom(html.parser.HTMLParser):
    """The parts of the dumped DOM the test reads."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.cells = []          # (data-i, data-j, data-value)
        self.groups = []         # the text of each group's list item
        self.group_stability = []  # the leave-one-year-out text beside each group
        self.stability_note = ''
        self.table_head = []     # the pairs table's column titles
        self.table_rows = []     # its rows, as lists of cell texts
        self._in_stability = False
        self._in_stability_note = False
        self._table_cell = None
        self._in_thead = False
        self.errors = ''
        self.note = ''
        self._in_note = False
        self.results = ''
        self._in_results = False
        self._in_errors = 0
        self._in_group = False
        self._group_depth = 0
        self._swatch = False
        self._text = []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        # A small map's cells are SVG rects, a large map's a layer of spans
        # over its canvas: either way one element of class "cell" each.
        if 'cell' in (a.get('class') or '').split():
            self.cells.append((a.get('data-i'), a.get('data-j'), a.get('data-value')))
        if a.get('id') == 'stability-note':
            self._in_stability_note = True
        if tag == 'thead':
            self._in_thead = True
        if tag == 'tr' and not self._in_thead:
            self.table_rows.append([])
        if tag in ('th', 'td'):
            self._table_cell = []
        if self._in_errors:
            self._in_errors += 1
        elif a.get('id') == 'errors':
            self._in_errors = 1
        if a.get('id') == 'years-note':
            self._in_note = True
        if a.get('id') == 'interaction-results':
            self._in_results = True
        if tag == 'li' and 'data-group' in a:
            self._in_group = True
            self._text = []
        elif self._in_group and tag == 'span' and a.get('class') == 'swatch':
            self._swatch = True
        elif self._in_group and tag == 'span' and a.get('class') == 'stability':
            self._in_stability = True
            self.group_stability.append('')

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if self._in_errors and tag != 'rect':
            self._in_errors -= 1

    def handle_endtag(self, tag):
        if tag == 'pre':
            self._in_results = False
        if tag == 'thead':
            self._in_thead = False
        if tag == 'p':
            self._in_note = False
            self._in_stability_note = False
        if tag in ('th', 'td') and self._table_cell is not None:
            text = ''.join(self._table_cell)
            if tag == 'th':
                self.table_head.append(text)
            elif self.table_rows:
                self.table_rows[-1].append(text)
            self._table_cell = None
        if self._in_errors:
            self._in_errors -= 1
        if tag == 'span':
            self._swatch = False
            self._in_stability = False
        if tag == 'li' and self._in_group:
            self._in_group = False
            self.groups.append(''.join(self._text).strip())

    def handle_data(self, data):
        if self._in_results:
            self.results += data
        if self._in_note:
            self.note += data
        if self._in_errors:
            self.errors += data
        if self._in_stability_note:
            self.stability_note += data
        if self._table_cell is not None:
            self._table_cell.append(data)
        if self._in_stability:
            self.group_stability[-1] += data
        elif self._in_group and not self._swatch:
            self._text.append(data)


def find_chromium():
    for name in (os.environ.get('LOCPROX_CHROMIUM'), 'chromium', 'chromium-browser'):
        if name and shutil.which(name):
            return shutil.which(name)
    return None


def dump_dom(chromium, page, address, profile, virtual_time=True):
    """The page's DOM after it loaded; with virtual_time, after its timers
    ran too (without, its clock is the real one, for timings)."""
    url = 'file://' + os.path.abspath(page) + address
    command = [chromium, '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
               '--disable-extensions', '--user-data-dir=' + profile] + \
        (['--virtual-time-budget=10000'] if virtual_time else []) + ['--dump-dom', url]
    result = subprocess.run(command, capture_output=True, text=True, timeout=300)
    if result.returncode != 0 or '<html' not in result.stdout:
        raise AssertionError('chromium could not load %s (exit %d):\n%s' %
                             (url, result.returncode, result.stderr[-2000:]))
    dom = PageDom()
    dom.feed(result.stdout)
    return dom


def averages(pairs_csv):
    """(i, j) -> the average as pairs.csv writes it, both orders."""
    table = {}
    with open(pairs_csv, newline='', encoding='utf-8') as f:
        for row in csv.DictReader(f):
            i, j = int(row['location_i']), int(row['location_j'])
            table[(i, j)] = table[(j, i)] = row['average']
    return table


def group_lines(summary_output):
    lines = summary_output.splitlines()
    start = next((k for k, line in enumerate(lines) if re.match(r'\d+ groups? \(', line)), None)
    if start is None:
        return []
    groups = []
    for line in lines[start + 1:]:
        if not re.match(r'  group \d+ \(\d+\): ', line):
            break
        groups.append(line.strip())
    return groups


def awkward_table(path):
    """Five seasons at six sites with names that HTML and JSON must escape;
    one site only in the first season and one only in the last, so some pairs
    are never compared, and one site with few entries."""
    sites = ['A<b>', '"Quoted" site', 'Tom & Jerry', '</script><script>alert(1)</script>',
             'Höhe über', 'Plain']
    seasons = {2019: [0, 1, 2, 3], 2020: [0, 1, 2, 4], 2021: [0, 1, 2, 4, 5],
               2022: [1, 2, 4, 5], 2023: [0, 2, 4, 5]}
    rng = random.Random(18)
    with open(path, 'w', newline='', encoding='utf-8') as f:
        out = csv.writer(f)
        out.writerow(['year', 'site', 'variety', 'yield'])
        for year, present in seasons.items():
            for s in present:
                entries = range(1, 5) if s == 5 else range(1, 15)
                for e in entries:
                    out.writerow([year, sites[s], 'V%02d' % e, '%.2f' % rng.uniform(4, 9)])


# Run after the page's own script on a copy of the page: uses the controls as
# a reader would and writes what the page then shows into a <pre>.
INTERACTIONS = r"""
<pre id="interaction-results"></pre>
<script>
(function () {
  var out = {};
  function byId(id) { return document.getElementById(id); }
  function cells() {
    var shown = {};
    document.querySelectorAll('#cells .cell').forEach(function (c) {
      shown[c.getAttribute('data-i') + ',' + c.getAttribute('data-j')] = c.getAttribute('data-value');
    });
    return shown;
  }
  function groups() {
    return Array.prototype.map.call(document.querySelectorAll('#groups li'), function (li) {
      var copy = li.cloneNode(true);
      copy.querySelectorAll('.stability').forEach(function (s) { s.remove(); });
      return copy.textContent.trim();
    });
  }
  function column(k) {
    return Array.prototype.map.call(byId('pairs-table').tBodies[0].rows,
      function (row) { return row.cells[k].textContent; });
  }
  var year = byId('year-input');
  year.value = '0';
  year.dispatchEvent(new Event('input'));
  out.year = { hash: location.hash, cells: cells() };
  var number = byId('groups-input');
  number.value = '3';
  number.dispatchEvent(new Event('change'));
  out.groups = { hash: location.hash, groups: groups() };
  var first = byId('cells').children[0].children[0];
  first.focus();
  first.dispatchEvent(new KeyboardEvent('keydown', { key: 'ArrowRight', bubbles: true }));
  document.activeElement.dispatchEvent(new KeyboardEvent('keydown', { key: 'ArrowDown', bubbles: true }));
  var want = byId('cells').children[1].children[1];
  out.keys = {
    moved: document.activeElement === want,
    tabbable: document.querySelectorAll('#cells .cell[tabindex="0"]').length,
    details: byId('pair-details').textContent
  };
  var average = 4;  // the column of averages
  byId('pairs-table').tHead.rows[0].cells[average].querySelector('button').click();
  byId('pairs-table').tHead.rows[0].cells[average].querySelector('button').click();
  out.sorted = column(average);
  var filter = byId('pairs-filter');
  filter.value = 'riverside';
  filter.dispatchEvent(new Event('input'));
  out.filtered = column(1).map(function (n, k) { return [n, column(3)[k]]; });
  window.addEventListener('hashchange', function () {
    out.address = { cells: cells(), groups: groups() };
    byId('interaction-results').textContent = JSON.stringify(out);
  });
  location.hash = '#year=3&groups=2';
})();
</script>
"""


def check_interactions(args, chromium, work, page, prx):
    """The controls of the page, used by a script added to a copy of it."""
    copy = os.path.join(os.path.dirname(page), 'interactions.html')
    with open(page, encoding='utf-8') as f:
        text = f.read()
    with open(copy, 'w', encoding='utf-8') as f:
        f.write(text.replace('</body>', INTERACTIONS + '</body>'))

    def expected(year, k):
        out = tempfile.mkdtemp(dir=work)
        printed = run([args.summary, prx, '--year', str(year), '--groups', str(k), '--no-html',
                       '--out', os.path.join(out, 'x')])
        return averages(os.path.join(out, 'x.pairs.csv')), group_lines(printed), \
            os.path.join(out, 'x.pairs.csv')

    dom = dump_dom(chromium, copy, '', tempfile.mkdtemp(dir=work))
    problems = []
    if dom.errors.strip():
        problems.append('script errors: ' + dom.errors.strip())
    if not dom.results:
        return problems + ['the added script wrote no results']
    got = json.loads(dom.results)
    first_year = int(open(prx).readline().split()[3])
    year1, _, _ = expected(first_year, 1)
    shown = {tuple(map(int, key.split(','))): v for key, v in got['year']['cells'].items()}
    if any(shown[key] != year1.get(key, '') for key in shown):
        problems.append('the year control at its start does not show year %d' % first_year)
    if got['year']['hash'] != '#year=%d&groups=2' % first_year:
        problems.append('the address after the year control: ' + got['year']['hash'])
    _, groups3, _ = expected(first_year, 3)
    if got['groups']['groups'] != groups3:
        problems.append('3 groups: %r, locprox-summary prints %r' % (got['groups']['groups'], groups3))
    if got['groups']['hash'] != '#year=%d&groups=3' % first_year:
        problems.append('the address after the groups control: ' + got['groups']['hash'])
    if not got['keys']['moved'] or got['keys']['tabbable'] != 1:
        problems.append('arrow keys: %r' % got['keys'])
    if 'Entries in common' not in got['keys']['details']:
        problems.append('no details of the focused pair: %r' % got['keys']['details'])
    averages_shown = got['sorted']
    numbers = [float(v) for v in averages_shown if v != '']
    if numbers != sorted(numbers, reverse=True) or \
            averages_shown != [v for v in averages_shown if v != ''] + [v for v in averages_shown if v == '']:
        problems.append('the table sorted by average, descending: %r' % averages_shown[:10])
    with open(expected(first_year, 1)[2], newline='', encoding='utf-8') as f:
        want = [[r['name_i'], r['name_j']] for r in csv.DictReader(f)
                if 'riverside' in (r['name_i'] + ' ' + r['name_j']).lower()]
    if sorted(got['filtered']) != sorted(want):  # still sorted by average
        problems.append('filtered by "riverside": %r, want %r' % (got['filtered'], want))
    year3, groups2, _ = expected(3, 2)
    shown = {tuple(map(int, key.split(','))): v for key, v in got['address']['cells'].items()}
    if any(shown[key] != year3.get(key, '') for key in shown) or got['address']['groups'] != groups2:
        problems.append('a changed address (#year=3&groups=2) does not show year 3 in 2 groups')
    return problems


SITES = 300


def wide_table(path):
    """300 sites over ten seasons: a map drawn on a canvas, and 45,150 pairs
    x 10 years is beyond the page's budget of 300,000, so it holds the last
    six states and leaves out the first four."""
    site_table(path, SITES, range(2011, 2021), 60, 250)


# Run after the page's own script on a copy of a large map's page: how long
# the page took to open and to replay a year (printed, never asserted), and
# the keyboard on the layer of cells over the canvas.
LARGE_MAP_PROBE = r"""
<pre id="interaction-results"></pre>
<script>
(function () {
  var out = { opened_ms: performance.now() };
  function byId(id) { return document.getElementById(id); }
  document.body.getBoundingClientRect();
  out.laid_out_ms = performance.now();
  var year = byId('year-input');
  var before = performance.now();
  year.value = String(Number(year.max) - 1);
  year.dispatchEvent(new Event('input'));
  document.body.getBoundingClientRect();
  out.year_ms = performance.now() - before;
  var first = byId('cells').children[0].children[0];
  first.focus();
  first.dispatchEvent(new KeyboardEvent('keydown', { key: 'ArrowRight', bubbles: true }));
  document.activeElement.dispatchEvent(new KeyboardEvent('keydown', { key: 'PageDown', bubbles: true }));
  var rows = byId('cells').children;
  var want = rows[rows.length - 1].children[1];
  var box = document.activeElement.getBoundingClientRect();
  out.keys = {
    moved: document.activeElement === want,
    tabbable: document.querySelectorAll('#cells .cell[tabindex="0"]').length,
    laid_out: box.width > 0 && box.height > 0,
    details: byId('pair-details').textContent
  };
  byId('interaction-results').textContent = JSON.stringify(out);
})();
</script>
"""


def check_large_map(args, chromium, work):
    """A large map (canvas and a layer of cells) beyond the budget: the
    states held equal --year N, the years left out are named, the keyboard
    moves over the cells; the time it takes is printed."""
    table = os.path.join(work, 'wide.csv')
    wide_table(table)
    out = os.path.join(work, 'wide')
    os.makedirs(out)
    run([args.locprox, 'analyse', table, '--location', 'site', '--entry', 'variety', '--value',
         'yield', '--out', out])
    page = os.path.join(out, 'wide.html')
    prx = os.path.join(out, 'wide.PRX')
    problems = []

    def cells_equal(dom, pairs_csv, label):
        if dom.errors.strip():
            problems.append('%s: script errors: %s' % (label, dom.errors.strip()))
        expected = averages(pairs_csv)
        cells = {(int(i), int(j)): v for i, j, v in dom.cells}
        if len(dom.cells) != SITES * SITES or len(cells) != SITES * SITES:
            problems.append('%s: %d cells' % (label, len(dom.cells)))
        wrong = [key for key, v in cells.items() if v != expected.get(key, '')]
        if wrong:
            problems.append('%s: %d cells differ from pairs.csv, e.g. %r' % (label, len(wrong), wrong[0]))

    dom = dump_dom(chromium, page, '#year=1', tempfile.mkdtemp(dir=work))
    note = ' '.join(dom.note.split())
    for words in ('the states after 4 earlier years (1 to 4) are left out',
                  'Year 1 is not held in this page; it shows the state after year 10 (2020)'):
        if words not in note:
            problems.append('the note does not say "%s": %r' % (words, note))
    cells_equal(dom, os.path.join(out, 'wide.pairs.csv'), '#year=1')
    held = tempfile.mkdtemp(dir=work)
    run([args.summary, prx, '--year', '7', '--no-html', '--out', os.path.join(held, 'x')])
    cells_equal(dump_dom(chromium, page, '#year=7', tempfile.mkdtemp(dir=work)),
                os.path.join(held, 'x.pairs.csv'), '#year=7')

    copy = os.path.join(out, 'probe.html')
    with open(page, encoding='utf-8') as f:
        text = f.read()
    with open(copy, 'w', encoding='utf-8') as f:
        f.write(text.replace('</body>', LARGE_MAP_PROBE + '</body>'))
    dom = dump_dom(chromium, copy, '', tempfile.mkdtemp(dir=work), virtual_time=False)
    if dom.errors.strip():
        problems.append('probe: script errors: ' + dom.errors.strip())
    if not dom.results:
        return problems + ['the probe wrote no results']
    got = json.loads(dom.results)
    keys = got['keys']
    if not keys['moved'] or keys['tabbable'] != 1 or not keys['laid_out'] or \
            'Entries in common' not in keys['details']:
        problems.append('the keyboard on the large map: %r' % keys)
    print('%d locations: the page (%d bytes) opened in %.0f ms, laid out at %.0f ms, '
          'replayed a year in %.0f ms (not asserted; this machine may be busy)' %
          (SITES, os.path.getsize(page), got['opened_ms'], got['laid_out_ms'], got['year_ms']))
    return problems


def check_stability(dom, printed, stability_csv):
    """The leave-one-year-out figures the page shows in the summary's own
    groups: beside each group what locprox-summary prints, the year whose
    removal changes the groups most in the note, and each pair's count of
    runs together in the pairs table as stability.csv has it."""
    problems = []
    whole = dict(re.findall(r'^  group (\d+) stayed whole in (\d+ of \d+) runs$', printed, re.M))
    if not whole:
        if dom.group_stability or any(t.startswith('in one group') for t in dom.table_head):
            problems.append('leave-one-year-out figures on the page, none printed')
        return problems
    moved = {}
    for name, group, share in re.findall(r'^    (.+) in group (\d+) in (\d+ of \d+) runs$',
                                          printed, re.M):
        moved.setdefault(group, set()).add((name, share))
    for k, text in enumerate(dom.group_stability):
        m = re.match(r'stayed whole in (\d+ of \d+) runs(?:; in the group: (.*))?$', text.strip())
        shown = set(re.findall(r'(.+?) in (\d+ of \d+)(?:, |$)', m.group(2) or '')) if m else None
        if not m or m.group(1) != whole.get(str(k + 1)) or shown != moved.get(str(k + 1), set()):
            problems.append('group %d: the page says %r; printed: stayed whole in %s, %r' %
                            (k + 1, text, whole.get(str(k + 1)), moved.get(str(k + 1))))
    if len(dom.group_stability) != len(whole):
        problems.append('stability beside %d groups, %d printed' % (len(dom.group_stability), len(whole)))
    note = ' '.join(dom.stability_note.split())
    most = re.search(r'the year whose removal changes the groups most: (.+) '
                     r'\(adjusted Rand index (\S+) against all years\)', printed)
    want = ('(%s) (adjusted Rand index %s against all years)' % most.groups() if most
            else 'No single year\u2019s removal changes the groups.')
    if want not in note:
        problems.append('the note %r does not say %r' % (note, want))
    with open(stability_csv, newline='', encoding='utf-8') as f:
        together = {(r['location_i'], r['location_j']): r['together'] for r in csv.DictReader(f)}
    column = next((n for n, t in enumerate(dom.table_head) if t.startswith('in one group')), None)
    if column is None:
        return problems + ['no column of runs together in the pairs table: %r' % dom.table_head]
    shown = {(r[0], r[2]): r[column] for r in dom.table_rows if r[0] != r[2]}
    if shown != together:
        problems.append('runs together in the table differ from stability.csv: %r' %
                        sorted(set(shown.items()) ^ set(together.items()))[:5])
    return problems


def check_fixture(args, chromium, work, name, table, options):
    out = os.path.join(work, name)
    os.makedirs(out)
    run([args.locprox, 'analyse', table, '--out', out] + options)
    stem = os.path.join(out, os.path.splitext(os.path.basename(table))[0])
    page = stem + '.html'
    prx = stem + '.PRX'
    text = open(page, encoding='utf-8').read()
    outside = [m for m in re.findall(r'(?:src=|<link|@import|url\(|https?://[^\s"\'<]*)', text)
               if m != 'http://www.w3.org/2000/svg']
    assert not outside, '%s: the page refers to something outside itself: %s' % (name, outside)

    first_year = int(open(prx).readline().split()[3])
    last_year = int(open(prx).readline().split()[4])
    locations = int(open(prx).readline().split()[1])
    # One load per year, each with its own number of groups, then the page
    # without an address for the remaining numbers of groups (the last state).
    loads = []
    ks = list(range(1, locations + 1))
    for n, year in enumerate(range(first_year, last_year + 1)):
        loads.append((year, ks[n % len(ks)], '#year=%d&groups=%d' % (year, ks[n % len(ks)])))
    for k in ks[last_year - first_year + 1:]:
        loads.append((last_year, k, '#groups=%d' % k))
    loads.append((last_year, None, ''))  # the defaults: the summary's own choice of groups

    def check(load):
        year, k, address = load
        label = '%s %s' % (name, address or '(no address)')
        expected_dir = tempfile.mkdtemp(dir=work)
        groups = ['--groups', str(k)] if k is not None else []
        printed = run([args.summary, prx, '--year', str(year), '--no-html',
                       '--out', os.path.join(expected_dir, 'expected')] + groups)
        own = printed  # what the summary prints with its own choice of groups
        if k is None and not group_lines(printed):
            # No number of groups suggested: the page opens with two.
            printed = run([args.summary, prx, '--year', str(year), '--no-html', '--groups',
                           str(min(2, locations)), '--out', os.path.join(expected_dir, 'two')])
        expected = averages(os.path.join(expected_dir, 'expected.pairs.csv'))
        dom = dump_dom(chromium, page, address, tempfile.mkdtemp(dir=work))
        problems = []
        if dom.errors.strip():
            problems.append('script errors: ' + dom.errors.strip())
        cells = {}
        for i, j, value in dom.cells:
            if i is None or j is None or value is None:
                problems.append('a cell without data-i, data-j or data-value')
                continue
            if (int(i), int(j)) in cells:
                problems.append('cell %s,%s twice' % (i, j))
            cells[(int(i), int(j))] = value
        if len(cells) != locations * locations:
            problems.append('%d cells for %d locations' % (len(cells), locations))
        for (i, j), value in sorted(cells.items()):
            want = expected.get((i, j), '')
            if value != want:
                problems.append('cell %d,%d shows "%s", pairs.csv has "%s"' % (i, j, value, want))
        if dom.groups != group_lines(printed):
            problems.append('groups %r, locprox-summary prints %r' % (dom.groups, group_lines(printed)))
        if k is None:
            problems += check_stability(dom, own,
                                        os.path.join(expected_dir, 'expected.stability.csv'))
        return label, problems

    failures = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        if name == 'example':
            interactions = pool.submit(check_interactions, args, chromium, work, page, prx)
        for label, problems in pool.map(check, loads):
            print('%s: %s' % (label, 'ok' if not problems else 'FAILED'))
            for problem in problems[:20]:
                print('    ' + problem)
            if problems:
                failures.append(label)
        if name == 'example':
            problems = interactions.result()
            print('example, the controls used: %s' % ('ok' if not problems else 'FAILED'))
            for problem in problems:
                print('    ' + problem)
            if problems:
                failures.append('example, the controls used')
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--locprox', required=True)
    parser.add_argument('--summary', required=True)
    parser.add_argument('--example', required=True, help='examples/variety_trial.csv')
    parser.add_argument('--jobs', type=int, default=2, help='pages loaded at once')
    args = parser.parse_args()

    chromium = find_chromium()
    if chromium is None:
        message = ('no chromium found: scripts/install-deps.sh installs Debian\'s chromium '
                   'package (or set LOCPROX_CHROMIUM)')
        if os.environ.get('CI'):
            print('FAILED: ' + message)
            return 1
        print('SKIPPED: ' + message)
        return SKIP

    work = tempfile.mkdtemp(prefix='locprox-html-')
    try:
        awkward = os.path.join(work, 'awkward.csv')
        awkward_table(awkward)
        fixtures = [
            ('example', args.example,
             ['--location', 'site', '--entry', 'variety', '--value', 'yield']),
            ('awkward', awkward,
             ['--location', 'site', '--entry', 'variety', '--value', 'yield',
              '--distance', 'centred', '--unweighted']),
        ]
        failures = []
        # The wide page loads beside the fixtures' pages.
        with concurrent.futures.ThreadPoolExecutor(max_workers=1) as beside:
            wide = beside.submit(check_large_map, args, chromium, work)
            for name, table, options in fixtures:
                failures += check_fixture(args, chromium, work, name, table, options)
            problems = wide.result()
        print('%d locations over 10 years: %s' % (SITES, 'ok' if not problems else 'FAILED'))
        for problem in problems:
            print('    ' + problem)
        if problems:
            failures.append('%d locations over 10 years' % SITES)
        if failures:
            print('%d page(s) differ from locprox-summary: %s' % (len(failures), ', '.join(failures)))
            return 1
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
