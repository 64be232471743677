#!/usr/bin/env python3
"""Plain reference model of a locprox run, used to derive the golden outputs.

It is written independently of the C++ program and deliberately simple: one
location pair at a time, entries in ascending order, every formula evaluated in
the order the program's documentation states it.

    reference_model.py JOB_DIR ANSWERS_FILE OUT_DIR

JOB_DIR holds the input files (.SEQ, .NAQ); ANSWERS_FILE holds the console
answers, one per line. OUT_DIR receives console.txt (the console output as it
appears when standard output is redirected to a file: records exactly as file
records with CR LF ends, a prompt leaving its line open, answers not echoed)
and the two output files under the names the dialogue gives them.

Numbers: Python floats are IEEE doubles. Single precision values are kept as
doubles that have been rounded through struct.pack('<f'). Formatting uses
'%.7e' and '%.3f', which are correctly rounded on the exact binary value.

Cases the model does not decide (the problem-size refusals for negative
counts, a sequence running backwards or years outside 1..MAXY, and every
error stop) raise ModelError instead of guessing.
"""

import decimal
import math
import os
import re
import struct
import sys
from fractions import Fraction


# The program's logarithm is correctly rounded: the double nearest to ln x.
# Here ln x is taken to 60 significant digits (decimal's ln is correctly
# rounded at that precision) and that is rounded to the nearest double; ln x of
# a double is never close enough to a midpoint between two doubles for the two
# roundings to differ from one.
_LN_CONTEXT = decimal.Context(prec=60)


def natural_log(x):
    if x <= 0.0 or x != x or x == math.inf:
        raise ValueError('natural_log is used on positive finite values only')
    return float(decimal.Decimal(x).ln(_LN_CONTEXT))


class ModelError(Exception):
    """A case that this model does not cover, or an error stop."""


# --------------------------------------------------------------------------
# Single precision


def f32(x):
    """x rounded to the nearest single-precision value (ties to even)."""
    return struct.unpack('<f', struct.pack('<f', x))[0]


def f32_neighbour(f, upwards):
    """The next single-precision value above (or below) the finite value f."""
    bits = struct.unpack('<I', struct.pack('<f', f))[0]
    if f == 0.0:
        bits = 0x00000001 if upwards else 0x80000001
    elif (f > 0.0) == upwards:
        bits += 1
    else:
        bits -= 1
    return struct.unpack('<f', struct.pack('<I', bits))[0]


def f32_from_text(text):
    """The decimal text rounded once, correctly, to single precision.

    Going through a double first can round twice; when the double lands
    exactly halfway between two single-precision values the exact decimal
    decides the direction.
    """
    exact = Fraction(text.replace('D', 'E').replace('d', 'e'))
    d = float(exact)
    if exact == 0 and text.startswith('-'):
        return -0.0  # a signed zero keeps its sign, as IEEE reading gives it
    try:
        f = f32(d)
    except OverflowError:
        raise ModelError('real beyond single precision: ' + text)
    if f == d or exact == d:
        return f
    g = f32_neighbour(f, d > f)
    if abs(Fraction(d) - Fraction(f)) == abs(Fraction(g) - Fraction(d)):
        above = exact > d
        return max(f, g) if above else min(f, g)
    return f


# --------------------------------------------------------------------------
# Output fields and layouts


def fmt_i(value, w):
    s = str(value)
    return s.rjust(w) if len(s) <= w else '*' * w


def fmt_f(value, w, d):
    s = '%.*f' % (d, value)
    return s.rjust(w) if len(s) <= w else '*' * w


def fmt_e(value, w, d):
    """Ew.d: 0.dddddddd times a power of ten, the E dropped for 3-digit exponents."""
    if value == 0.0:
        s = '0.' + '0' * d + 'E+00'
    else:
        mantissa, exponent = ('%.*e' % (d - 1, abs(value))).split('e')
        digits = mantissa.replace('.', '')
        e = int(exponent) + 1
        s = '0.' + digits + ('E%+03d' % e if abs(e) < 100 else '%+04d' % e)
        if value < 0.0:
            s = '-' + s
    return s.rjust(w) if len(s) <= w else '*' * w


def fmt_a(value, w):
    return value[:w] if len(value) >= w else ' ' * (w - len(value)) + value


# A layout is a flat list of items: ('I', w), ('E', w, d), ('F', w, d),
# ('A', w) with w None for A at the value's own length, ('T', text) for a text
# or blanks, ('/',) for a record end. Repeat counts are expanded by the helper
# functions below. None of the layouts written with more values than items has
# a parenthesised group, so reversion is to the first item.


def rep(n, item):
    return [item] * n


def X(n):
    return ('T', ' ' * n)


def T(text):
    return ('T', text)


I5, I6, I3, I4, I1, I8 = ('I', 5), ('I', 6), ('I', 3), ('I', 4), ('I', 1), ('I', 8)


def layout_records(items, values):
    """Applies the layout to the values; returns the list of records written.

    Texts and blanks before the next data field are written even when no value
    is left for it; writing stops at the first data field without a value.
    When values remain after the last item, the record ends and the layout
    starts again from its first item.
    """
    records = []
    current = ''
    vi = 0
    i = 0
    while True:
        if i == len(items):
            if vi < len(values):
                records.append(current)
                current = ''
                i = 0
                continue
            break
        item = items[i]
        kind = item[0]
        if kind == 'T':
            current += item[1]
        elif kind == '/':
            records.append(current)
            current = ''
        else:
            if vi == len(values):
                break
            v = values[vi]
            vi += 1
            if kind == 'I':
                current += fmt_i(v, item[1])
            elif kind == 'F':
                current += fmt_f(v, item[1], item[2])
            elif kind == 'E':
                current += fmt_e(v, item[1], item[2])
            elif kind == 'A':
                current += v if item[1] is None else fmt_a(v, item[1])
        i += 1
    records.append(current)
    return records


# --------------------------------------------------------------------------
# Input records and free-form reading


def split_records(data):
    """Records of a text file: a record ends at LF; a CR before the LF is dropped."""
    text = data.decode('latin-1')
    parts = text.split('\n')
    if parts and parts[-1] == '':
        parts.pop()
    return [p[:-1] if p.endswith('\r') else p for p in parts]


class Source:
    """A sequential record source (the console answers or an input file)."""

    def __init__(self, name, records):
        self.name = name
        self.records = records
        self.pos = 0

    def at_end(self):
        return self.pos >= len(self.records)

    def next_record(self):
        if self.at_end():
            raise ModelError('end of file on ' + self.name)
        r = self.records[self.pos]
        self.pos += 1
        return r

    def step_back(self):
        self.pos -= 1


INTEGER = re.compile(r'^[+-]?[0-9]+$')
REAL = re.compile(r'^[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([EeDd][+-]?[0-9]+)?$')


def convert(token, kind):
    if kind == 'int':
        if not INTEGER.match(token):
            raise ModelError('malformed integer: ' + token)
        v = int(token)
        if not -2**31 <= v < 2**31:
            raise ModelError('integer outside 32 bits: ' + token)
        return v
    if not REAL.match(token):
        raise ModelError('malformed real: ' + token)
    return f32_from_text(token)


def scan_record(record):
    """Splits one record into free-form items.

    Returns (items, slash): items is a list whose elements are text tokens or
    None for a null value (two commas in a row); slash tells whether a slash
    ended the record's values.
    """
    items = []
    i = 0
    n = len(record)
    after_value = False  # a value was read and its separator not yet closed
    while i < n:
        c = record[i]
        if c in ' \t':
            i += 1
            continue
        if c == '/':
            return items, True
        if c == ',':
            if after_value:
                after_value = False
            else:
                items.append(None)
            i += 1
            continue
        j = i
        while j < n and record[j] not in ' \t,/':
            j += 1
        token = record[i:j]
        if '*' in token:
            count, value = token.split('*', 1)
            if not INTEGER.match(count) or int(count) < 1:
                raise ModelError('malformed repeat count: ' + token)
            items.extend([value if value else None] * int(count))
        else:
            items.append(token)
        after_value = True
        i = j
    return items, False


def read_free_form(source, kinds, values):
    """Free-form read of len(kinds) values into a copy of values.

    Starts at the next record and continues over records until every value
    is given or a slash ends the read; the rest of the last record is dropped.
    """
    values = list(values)
    k = 0
    while k < len(kinds):
        items, slash = scan_record(source.next_record())
        for item in items:
            if k == len(kinds):
                break
            if item is not None:
                values[k] = convert(item, kinds[k])
            k += 1
        if slash:
            break
    return values


# --------------------------------------------------------------------------
# The run


EXTENSIONS = ('.SEQ', '.NAQ', '.OCC', '.PRX')
THRESHOLD = f32(1.0e-6)  # the single-precision constant 1.0E-6 as a double
DZDIM, ZDIM, MZDIM, AZDIM = 250000, 300000, 720000, 1100
NUL = '\x00'


class Run:
    def __init__(self, job_dir, answers):
        self.job_dir = job_dir
        self.con = Source('console', answers)
        self.console = []  # pieces of console output
        self.report = []  # records of the occurrence report
        self.prx = []  # records of the proximity file
        self.occ_name = None
        self.prx_name = None

    # destinations

    def to_console(self, *records):
        for r in records:
            self.console.append(r + '\r\n')

    def prompt(self, text):
        self.console.append(text)

    def to_report(self, *records):
        self.report.extend(records)

    def report_then_console(self, *records):
        self.to_report(*records)
        self.to_console(*records)

    def console_then_report(self, *records):
        self.to_console(*records)
        self.to_report(*records)

    def answer_a1(self):
        r = self.con.next_record()
        return r[:1] if r else ' '

    def answer_a(self, width):
        return self.con.next_record()[:width].ljust(width)

    def answer_int(self):
        return read_free_form(self.con, ['int'], [0])[0]

    # job dialogue and files

    def open_input(self, name):
        path = os.path.join(self.job_dir, name)
        with open(path, 'rb') as f:
            return Source(name, split_records(f.read()))

    def job(self):
        self.prompt(' Do you wish default file names (Y or N)? - ')
        answer = self.answer_a1()
        if answer in ('Y', 'y'):
            self.to_console(' Enter job name (ie. name for files without extension)')
            job = self.answer_a(50).rstrip(' ')
            names = [(job + ext)[:50] for ext in EXTENSIONS]
        else:
            names = []
            for p in (' Enter name of input file  (*.SEQ) - ',
                      ' Enter name of input file  (*.NAQ) - ',
                      ' Enter name of output file (*.OCC) - ',
                      ' Enter name of output file (*.PRX) - '):
                self.prompt(p)
                names.append(self.answer_a(50))
        names = [n.strip(' ') for n in names]
        if any(n == '' for n in names) or len(set(names)) < 4:
            raise ModelError('empty or repeated file name')
        self.seq = self.open_input(names[0])
        self.naq = self.open_input(names[1])
        self.occ_name, self.prx_name = names[2], names[3]
        self.probsz()

    # problem size and work space

    def probsz(self):
        self.to_console(' Type the number of unique ')
        sizes = []
        for p in ('               years in whole data set  - ',
                  '           locations in whole data set  - ',
                  '             entries in whole data set  - ',
                  '   Type year sequential analysis starts - ',
                  ' Type year sequential analysis finishes - '):
            self.prompt(p)
            sizes.append(self.answer_int())
        maxy, maxl, maxg, iys, iyf = sizes
        nya = iyf - iys + 1
        ntm = trunc_div((maxl + 1) * maxl, 2)
        self.prx.extend(layout_records(rep(10, I6), [maxy, maxl, maxg, iys, iyf, nya, ntm]))
        self.to_report(*layout_records(
            [T(' Maximum number of years in data set             (MAXY) = '), I6], [maxy]))
        self.to_report(*layout_records(
            [T(' Maximum number of locations in data set         (MAXL) = '), I6], [maxl]))
        self.to_report(*layout_records(
            [T(' Maximum number of genotypes in data set         (MAXG) = '), I6], [maxg]))
        self.to_report(*layout_records(
            [T(' Year sequential analyses starts                  (IYS) = '), I6], [iys]))
        self.to_report(*layout_records(
            [T(' Year sequential analyses finishes                (IYF) = '), I6], [iyf]))
        self.to_report(*layout_records(
            [T(' Number of years in analysis                      (NYA) = '), I6], [nya]))
        self.to_report(*layout_records(
            [T(' Number of elements in LxL upper triagular matrix (NTM) = '), I6], [ntm]))
        if maxy < 0 or maxl < 0 or maxg < 0 or nya < 0:
            raise ModelError('problem-size refusal not modelled')
        if nya > 0 and (iys < 1 or iyf > maxy):
            raise ModelError('problem-size refusal not modelled')
        L, G, N, T_ = maxl, maxg, nya, ntm
        dzreq = T_ + 1
        zreq = L * G + 1
        mzreq = L * G + 2 * L * N + 5 * L + N + 3 * T_ + 1
        azreq = maxy + L + G + 1
        if max(dzreq, zreq, mzreq, azreq) >= 2**31:
            raise ModelError('requirement beyond 32 bits not modelled')
        too_small = False
        for req, cap, text in ((dzreq, DZDIM, ' INCREASE DIMENSION OF DZ ARRAY TO'),
                               (zreq, ZDIM, ' INCREASE DIMENSION OF Z ARRAY TO'),
                               (mzreq, MZDIM, ' INCREASE DIMENSION OF MZ ARRAY TO'),
                               (azreq, AZDIM, ' INCREASE DIMENSION OF AZ ARRAY TO')):
            if req > cap:
                self.console_then_report(*layout_records([T(text), I8], [req]))
                too_small = True
        self.to_console('', ' DIMENSIONS OF ARRAYS:')
        self.to_console(*layout_records(
            [T(' PRESENT DIMENSIONS:  DZ='), I6, T(' Z='), I6, T(' MZ='), I6, T(' AZ='), I6],
            [DZDIM, ZDIM, MZDIM, AZDIM]))
        self.to_console(*layout_records(
            [T(' DIMENSIONS REQUIRED: DZ='), I6, T(' Z='), I6, T(' MZ='), I6, T(' AZ='), I6],
            [dzreq, zreq, mzreq, azreq]))
        if too_small:
            return
        self.maxy, self.maxl, self.maxg = maxy, maxl, maxg
        self.iys, self.iyf, self.nya, self.ntm = iys, iyf, nya, ntm
        self.seqanl()

    # the analysis driver

    def seqanl(self):
        L, G, N, NT = self.maxl, self.maxg, self.nya, self.ntm
        # Matrices are kept as Python lists indexed [location][entry] or
        # [location][sequence position], 0-based; packed triangles by
        # p = j*(j-1)/2 + i - 1 for 1 <= i <= j.
        self.delta = [[0] * N for _ in range(L)]
        self.gamma = [[0] * N for _ in range(L)]
        self.deltot = [0] * L
        self.gamtot = [0] * L
        self.gamyr = [0] * N
        self.ndelta = 0
        self.ngamma = 0
        self.prox = [0.0] * NT
        self.ngpair = [0] * NT
        self.nypair = [0] * NT
        self.kii = [0] * NT
        self.held = [0, 0, 0, 0.0]  # Y, L, G, V held from one observation to the next

        weight = prxtyp = sedtyp = cortyp = NUL
        self.prompt(' Weighted or unweighted averages (W or U) - ')
        weight = fold(self.answer_a1(), 'wu')
        self.prompt('              SED or Correlation (S or R) - ')
        prxtyp = fold(self.answer_a1(), 'sr')
        if prxtyp == 'S':
            self.prompt('     Centered or standardized SED (C or S) - ')
            sedtyp = fold(self.answer_a1(), 'cs')
        else:
            self.prompt('          Normal or z average COR (N or Z) - ')
            cortyp = fold(self.answer_a1(), 'nz')
        self.weight, self.prxtyp, self.sedtyp, self.cortyp = weight, prxtyp, sedtyp, cortyp

        title = self.naq.next_record()[:50].ljust(50)
        self.to_report('')
        self.report_then_console(' Job is ' + title)
        self.console_then_report(
            ' Weighted (W) or unweighted (U) analysis (WEIGHT) ' + weight,
            ' SED (S) or COR (C) measure              (PRXTYP) ' + prxtyp,
            ' Centered (C) or standardized (S) SED    (SEDTYP) ' + sedtyp,
            ' Normal (N) or Z (Z) average correlation (CORTYP) ' + cortyp)
        self.prx.extend(layout_records([X(5), ('A', 1)] * 4, [weight, prxtyp, sedtyp, cortyp]))

        ny, nl, ng = read_free_form(self.naq, ['int', 'int', 'int'], [0, 0, 0])
        for count, size, what in ((ny, self.maxy, 'years'), (nl, L, 'locations'),
                                  (ng, G, 'genotypes')):
            if count != size:
                self.to_report('')
                self.report_then_console(' No. %s specified not the same as in *.NAQ file' % what)
                return
        self.to_report('')
        self.report_then_console(*layout_records(
            [T(' Sequence starts in year '), I3, T(' & finishes in year '), I3],
            [self.iys, self.iyf]))
        self.report_then_console(' Read names of years, locations & entries in job')
        self.yearname = [self.naq.next_record()[:8].ljust(8) for _ in range(self.maxy)]
        for _ in range(L + G):
            self.naq.next_record()  # location and entry names reach no output
        self.report_then_console(' For each year')

        for iy in range(self.iys, self.iyf + 1):
            k = iy - self.iys + 1
            name = self.yearname[iy - 1]
            self.prx.extend(layout_records([I6, X(4), ('A', 8)], [iy, name]))
            self.report_then_console('', '   For year ' + name)
            self.report_then_console('   Read data')
            self.rdyear(iy)
            self.report_then_console('   Calculate delta & gamma matrices')
            self.occcnt(k)
            self.report_then_console('   Write delta and gamma matrices')
            self.occrep(iy, k)
            self.to_report('')
            self.report_then_console('   Location centre the years data')
            self.loccen()
            self.to_report('')
            self.report_then_console(' Calculate requested proximity measure')
            if weight == 'W':
                self.report_then_console('   Using weighted averages')
            else:
                self.report_then_console('   Using unweighted averages')
            if prxtyp == 'S':
                self.report_then_console('   Of squared Euclidean distances')
                if sedtyp == 'C':
                    self.report_then_console('   With location centred data')
                else:
                    self.report_then_console('   With location standardized data')
                    self.locstd()
                self.sedacc()
            else:
                self.report_then_console('   Of correlation measures')
                if cortyp == 'N':
                    self.report_then_console('   With normal averages')
                else:
                    self.report_then_console('   With Fisher z averages')
                self.coracc()
            self.kappa()
            self.prxmat()
            self.prxcnt()

    # observations

    def read_observation(self):
        """The next observation, or None at the end of the file.

        One observation stands on one line: a line without values is skipped,
        a slash keeps the held values of the fields it leaves unassigned, and
        a line with one to three values and no slash is an error stop.
        """
        while True:
            if self.seq.at_end():
                return None
            items, slash = scan_record(self.seq.next_record())
            if not items and not slash:
                continue
            if len(items) < 4 and not slash:
                raise ModelError('observation line with fewer than four values')
            kinds = ['int', 'int', 'int', 'real']
            for k, item in enumerate(items[:4]):
                if item is not None:
                    self.held[k] = convert(item, kinds[k])
            if abs(self.held[3]) > f32(1.0e30):
                raise ModelError('value beyond 1.0E+30')
            return list(self.held)

    def rdyear(self, iy):
        L, G = self.maxl, self.maxg
        self.ydata = [[0.0] * G for _ in range(L)]
        self.incid = [[0] * G for _ in range(L)]
        while True:
            obs = self.read_observation()
            if obs is None:
                self.console_then_report(' End of data')
                return
            y, l, g, v = obs
            if y < iy:
                continue
            if y > iy:
                self.seq.step_back()
                return
            if not (1 <= l <= L and 1 <= g <= G):
                self.report_then_console(*layout_records(
                    [T(' Observation out of range in YR/Loc/En '), I5, I5, I5, ('F', 10, 3)],
                    [iy, l, g, v]))
                continue
            self.ydata[l - 1][g - 1] = v
            if self.incid[l - 1][g - 1] == 1:
                self.report_then_console(*layout_records(
                    [T(' Duplicate observation in YR/Loc/En '), I5, I5, I5, ('F', 10, 3)],
                    [iy, l, g, v]))
            self.incid[l - 1][g - 1] = 1

    # occurrence counts and report

    def occcnt(self, k):
        for l in range(self.maxl):
            for g in range(self.maxg):
                self.delta[l][k - 1] += self.incid[l][g]
                self.deltot[l] += self.incid[l][g]
                self.ndelta += self.incid[l][g]
        for l in range(self.maxl):
            self.gamma[l][k - 1] = 1 if self.delta[l][k - 1] != 0 else 0
        for l in range(self.maxl):
            self.gamtot[l] += self.gamma[l][k - 1]
            self.gamyr[k - 1] += self.gamma[l][k - 1]
            self.ngamma += self.gamma[l][k - 1]

    def occrep(self, iy, k):
        L, G = self.maxl, self.maxg
        self.to_report('', ' Incidence array for each year')
        # The number of blocks is (MAXG - 1) / 200 + 1 in integer division that
        # truncates toward zero, so MAXG 0 still gives one (empty) block.
        blocks = trunc_div(G - 1, 200) + 1
        for b in range(blocks):
            g0 = 200 * b + 1
            g1 = min(g0 + 199, G)
            self.to_report(*layout_records(
                [T(' Loc Genotype('), I3, T(') to Genotype('), I3, T(')')], [g0, g1]))
            for i in range(1, L + 1):
                self.to_report(*layout_records(
                    [I5, X(1)] + rep(200, I1),
                    [i] + [self.incid[i - 1][g - 1] for g in range(g0, g1 + 1)]))
        year_heading = [T(' Loc  Total Year('), I3, T(') to Year('), I3, T(')')]
        year_line = [X(11)] + rep(48, I5)
        row = [I5, X(1)] + rep(49, I5)
        years = list(range(self.iys, iy + 1))

        self.to_report('', ' Delta matrices. Counts of no. of entries at each level')
        self.to_report(*layout_records(year_heading, [self.iys, iy]))
        self.to_report(*layout_records(year_line, years))
        for i in range(L):
            self.to_report(*layout_records(row, [i + 1, self.deltot[i]] + self.delta[i][:k]))
        self.to_report(*layout_records([T(' Total'), I5], [self.ndelta]))

        self.to_report('', ' Gamma matrices. Counts of no. of years at each level')
        self.to_report(*layout_records(year_heading, [self.iys, iy]))
        self.to_report(*layout_records(year_line, years))
        for i in range(L):
            self.to_report(*layout_records(row, [i + 1, self.gamtot[i]] + self.gamma[i][:k]))
        self.to_report(*layout_records([T(' Total')] + rep(49, I5),
                                       [self.ngamma] + self.gamyr[:k]))

    # centring and standardising

    def loccen(self):
        for i in range(self.maxl):
            s = 0.0
            n = 0.0
            for j in range(self.maxg):
                s = s + self.incid[i][j] * self.ydata[i][j]
                n = n + self.incid[i][j]
            if n >= 1:
                m = s / n
                for j in range(self.maxg):
                    if self.incid[i][j] > 0:
                        self.ydata[i][j] = f32(self.ydata[i][j] - m)

    def locstd(self):
        for i in range(self.maxl):
            n = 0
            q = 0.0
            for j in range(self.maxg):
                n = n + self.incid[i][j]
                q = q + self.incid[i][j] * (self.ydata[i][j] * self.ydata[i][j])
            if n >= 2:
                sd = math.sqrt(q / (n - 1))
                if sd == 0.0:
                    continue  # all values equal: they are all 0.0 and stay so
                for j in range(self.maxg):
                    if self.incid[i][j] > 0:
                        self.ydata[i][j] = f32(self.ydata[i][j] / sd)

    # proximity accumulation

    def sedacc(self):
        y, inc = self.ydata, self.incid
        for J in range(2, self.maxl + 1):
            for I in range(1, J):
                p = J * (J - 1) // 2 + I - 1
                s = 0.0
                c = 0
                for g in range(self.maxg):
                    w = inc[I - 1][g] * inc[J - 1][g]
                    if w > 0:
                        d = y[J - 1][g] - y[I - 1][g]
                        s = s + w * (d * d)
                        c = c + w
                if c == 0:
                    v = 0.0
                elif self.weight == 'W':
                    v = s
                else:
                    v = s / c
                self.prox[p] = self.prox[p] + v
                self.ngpair[p] += c
                if c != 0:
                    self.nypair[p] += 1

    def coracc(self):
        y, inc = self.ydata, self.incid
        for J in range(1, self.maxl + 1):
            for I in range(1, J + 1):
                p = J * (J - 1) // 2 + I - 1
                a = b = e = 0.0
                n = 0
                v = 0.0
                for g in range(self.maxg):
                    w = inc[I - 1][g] * inc[J - 1][g]
                    if w > 0:
                        n = n + w
                        a = a + (w * y[J - 1][g]) * y[I - 1][g]
                        b = b + w * (y[J - 1][g] * y[J - 1][g])
                        e = e + w * (y[I - 1][g] * y[I - 1][g])
                if n > 0:
                    if b == 0.0 or e == 0.0:
                        continue  # no correlation without spread: the pair gets nothing
                    r = a / math.sqrt(b * e)
                    v = r
                if I != J and self.cortyp == 'Z':
                    n = n - 3
                    if n <= 0:
                        v = 0.0
                        n = 0
                    elif 1.0 - r < THRESHOLD:
                        v = 7.25
                    elif r + 1.0 < THRESHOLD:
                        v = -7.25
                    else:
                        one_minus = 1.0 - r
                        one_plus = r + 1.0
                        v = natural_log(one_plus / one_minus) * 0.5
                if n != 0 and self.weight == 'W':
                    v = v * n
                self.prox[p] = self.prox[p] + v
                self.ngpair[p] += n
                if n > 0:
                    self.nypair[p] += 1

    # kappa counts and section

    def kappa(self):
        L = self.maxl
        self.ngloc = [0] * L
        self.nyloc = [0] * L
        self.ki = [0] * L
        for p in range(self.ntm):
            self.kii[p] = 1 if self.nypair[p] != 0 else 0
        for J in range(2, L + 1):
            for I in range(1, J):
                p = J * (J - 1) // 2 + I - 1
                self.ngloc[J - 1] += self.ngpair[p]
                self.ngloc[I - 1] += self.ngpair[p]
                self.nyloc[J - 1] += self.nypair[p]
                self.nyloc[I - 1] += self.nypair[p]
                self.ki[J - 1] += self.kii[p]
                self.ki[I - 1] += self.kii[p]
        self.to_report(
            '',
            ' Kappa matrices Ki gives no of locations compared with location i',
            " Kii' indicates if locations i and i' have been compared in any year",
            "  Ki.  Kii'")
        for J in range(1, L + 1):
            column = self.kii[J * (J - 1) // 2:J * (J + 1) // 2]
            self.to_report(*layout_records(rep(20, I4), [self.ki[J - 1]] + column))

    # proximity file blocks

    def prxmat(self):
        for J in range(1, self.maxl + 1):
            column = self.prox[J * (J - 1) // 2:J * (J + 1) // 2]
            self.prx.extend(layout_records(rep(10, ('E', 16, 8)), column))

    def prxcnt(self):
        for totals, packed in ((self.ngloc, self.ngpair), (self.nyloc, self.nypair),
                               (self.ki, self.kii)):
            for J in range(1, self.maxl + 1):
                column = packed[J * (J - 1) // 2:J * (J + 1) // 2]
                self.prx.extend(layout_records(rep(30, I6), [totals[J - 1]] + column))


def trunc_div(a, b):
    """Integer division truncating toward zero (b > 0), as 32-bit integer division does."""
    return a // b if a >= 0 else -(-a // b)


def fold(answer, letters):
    """The option code: the prompt's two lower-case letters become capitals."""
    return answer.upper() if answer in letters else answer


def write_file(path, data):
    with open(path, 'wb') as f:
        f.write(data.encode('latin-1'))


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    job_dir, answers_path, out_dir = argv[1:]
    with open(answers_path, 'rb') as f:
        answers = split_records(f.read())
    run = Run(job_dir, answers)
    run.job()
    os.makedirs(out_dir, exist_ok=True)
    write_file(os.path.join(out_dir, 'console.txt'), ''.join(run.console))
    write_file(os.path.join(out_dir, run.occ_name), ''.join(r + '\r\n' for r in run.report))
    write_file(os.path.join(out_dir, run.prx_name), ''.join(r + '\r\n' for r in run.prx))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
