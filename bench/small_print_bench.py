#!/usr/bin/python3
"""look against the tesseract command on pages of small print (bench/small_print.py makes them):
for each page, the lines read exactly (in reading order, runs of spaces made one), the character
error rate of the whole page and the processor seconds (user and system) of each reader, measured
in the same run, one thread each.

Usage: small_print_bench.py [PATH/TO/look]   (default: build/text_reading/look)"""
import difflib
import json
import os
import resource
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
LOOK = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(HERE, '..', 'build', 'text_reading', 'look')
PAGES = [  # name, generator arguments
    ('tall_page', []),
    ('scan', ['--size', '8', '--height', '2000', '--lines', '160', '--seed', '2', '--noise']),
]


def distance(a, b):
    row = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        next_row = [i]
        for j, cb in enumerate(b, 1):
            next_row.append(min(row[j] + 1, next_row[j - 1] + 1, row[j - 1] + (ca != cb)))
        row = next_row
    return row[-1]


def page_distance(got, truth):
    """Edit distance of the two pages: lines aligned first (difflib), then characters within each
    unequal run of lines, so that a 20,000-character page takes seconds, not hours."""
    total = 0
    for op, a0, a1, b0, b1 in difflib.SequenceMatcher(None, got, truth, autojunk=False).get_opcodes():
        if op != 'equal':
            total += distance('\n'.join(got[a0:a1]), '\n'.join(truth[b0:b1]))
    return total


def tidy(lines):
    return [' '.join(line.split()) for line in lines if line.strip()]


def exact_in_order(got, truth):
    """True lines matched exactly by read lines, in order (the longest common subsequence)."""
    row = [0] * (len(truth) + 1)
    for g in got:
        next_row = [0]
        for j, t in enumerate(truth, 1):
            next_row.append(row[j - 1] + 1 if g == t else max(row[j], next_row[j - 1]))
        row = next_row
    return row[-1]


def timed(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    out = subprocess.run(command, capture_output=True, env=dict(os.environ, OMP_THREAD_LIMIT='1'),
                         timeout=1800).stdout.decode()
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return out, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def look_lines(picture):
    out, seconds = timed([LOOK, os.path.dirname(picture)])
    record = json.loads(out.splitlines()[0]) if out.strip() else {}
    return [t['text'] for t in record.get('text', [])], seconds


def tesseract_lines(picture):
    out, seconds = timed(['tesseract', picture, '-', '--psm', '3'])
    return out.splitlines(), seconds


def main():
    with tempfile.TemporaryDirectory() as work:
        print(f'{"page":10s} {"reader":10s} {"exact lines":>12s} {"error rate":>10s} {"cpu s":>6s}')
        for name, arguments in PAGES:
            folder = os.path.join(work, name)  # look reads a folder: one page in each
            subprocess.run([sys.executable, os.path.join(HERE, 'small_print.py'), folder, '--name', name] + arguments,
                           check=True)
            truth = tidy(open(os.path.join(folder, name + '.txt'), encoding='utf-8').read().splitlines())
            picture = os.path.join(folder, name + '.jpg')
            for reader, read in (('look', look_lines), ('tesseract', tesseract_lines)):
                lines, seconds = read(picture)
                got = tidy(lines)
                rate = page_distance(got, truth) / max(1, len('\n'.join(truth)))
                exact = exact_in_order(got, truth)
                print(f'{name:10s} {reader:10s} {exact:5d} of {len(truth):4d} {rate:10.3f} {seconds:6.1f}', flush=True)


if __name__ == '__main__':
    main()
