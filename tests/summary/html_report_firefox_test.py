#!/usr/bin/env python3
"""Opens the HTML report from file:// in headless Firefox and checks that its
script ran without an error: a small map (the bundled example) and a large
one (150 made-up locations, drawn on a canvas).

Firefox's headless mode can only take a screenshot, so a copy of each page
gets a script after the page's own that covers the window with one colour:
green when the page's error box is empty and every heatmap cell is there,
red otherwise. The test reads the screenshot's first pixel.

Without Firefox (firefox-esr or firefox) the test is skipped (exit 77): the
Chromium test checks what the page shows; this one only that it runs.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

from page_test_support import run, site_table

SKIP = 77

PROBE = r"""
<script>
(function () {
  var errors = document.getElementById('errors').textContent.trim();
  var locations = JSON.parse(document.getElementById('report-data').textContent).locations.length;
  var cells = document.querySelectorAll('#cells .cell').length;
  var cover = document.createElement('div');
  cover.style.cssText = 'position:fixed;left:0;top:0;width:100%;height:100%;z-index:9999;background:' +
    (errors === '' && cells === locations * locations ? '#00ff00' : '#ff0000');
  cover.textContent = errors + ' ' + cells + ' cells';
  document.body.appendChild(cover);
})();
</script>
"""


def first_pixel(png_path):
    """The (r, g, b) of a PNG's top-left pixel. Whatever the filter of the
    first scanline, its first pixel is stored as it is (nothing left of it
    or above it to predict from)."""
    with open(png_path, 'rb') as f:
        data = f.read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise AssertionError('%s is not a PNG' % png_path)
    at = 8
    idat = b''
    while at < len(data):
        length, kind = struct.unpack('>I4s', data[at:at + 8])
        if kind == b'IDAT':
            idat += data[at + 8:at + 8 + length]
        at += 12 + length
    row = zlib.decompressobj().decompress(idat, 16)
    return tuple(row[1:4])


def check_page(firefox, work, page, label):
    copy = page[:-len('.html')] + '.probe.html'
    with open(page, encoding='utf-8') as f:
        text = f.read()
    with open(copy, 'w', encoding='utf-8') as f:
        f.write(text.replace('</body>', PROBE + '</body>'))
    shot = os.path.join(work, label + '.png')
    profile = tempfile.mkdtemp(dir=work)
    result = subprocess.run([firefox, '--headless', '--no-remote', '--profile', profile,
                             '--window-size=800,600', '--screenshot', shot, 'file://' + copy],
                            capture_output=True, text=True, timeout=300)
    if not os.path.exists(shot):
        return ['%s: firefox wrote no screenshot (exit %d): %s' %
                (label, result.returncode, result.stderr[-2000:])]
    pixel = first_pixel(shot)
    if pixel != (0, 255, 0):
        return ['%s: the page reported a script error or missing cells (pixel %r)' % (label, pixel)]
    return []


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--locprox', required=True)
    parser.add_argument('--example', required=True, help='examples/variety_trial.csv')
    args = parser.parse_args()
    firefox = next((shutil.which(n) for n in (os.environ.get('LOCPROX_FIREFOX'), 'firefox-esr',
                                              'firefox') if n and shutil.which(n)), None)
    if firefox is None:
        print('SKIPPED: no firefox-esr or firefox found (set LOCPROX_FIREFOX)')
        return SKIP
    work = tempfile.mkdtemp(prefix='locprox-firefox-')
    try:
        columns = ['--location', 'site', '--entry', 'variety', '--value', 'yield']
        run([args.locprox, 'analyse', args.example, '--out', os.path.join(work, 'example')] + columns)
        table = os.path.join(work, 'large.csv')
        site_table(table, 150, range(2019, 2022), 40, 150)
        run([args.locprox, 'analyse', table, '--out', os.path.join(work, 'large')] + columns)
        problems = []
        for label, page in (('example', os.path.join(work, 'example', 'variety_trial.html')),
                            ('150 locations', os.path.join(work, 'large', 'large.html'))):
            found = check_page(firefox, work, page, label.replace(' ', '_'))
            print('%s: %s' % (label, 'ok' if not found else 'FAILED'))
            problems += found
        for problem in problems:
            print('    ' + problem)
        return 1 if problems else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
