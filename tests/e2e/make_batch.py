#!/usr/bin/env python3
"""Writes a spectate batch of a given size and shape: filler text of the kind
that reaches the tool by mistake (minified HTML, a log), with the sample's
block at its end.

    make_batch.py SHAPE BYTES OUT

SHAPE: one-line     the filler is a single line, then CR LF and the sample
       lines        the filler is 56-byte lines (CR LF ends each)
       no-line-ends not one CR or LF in the whole file, the block included
The file is exactly BYTES long (at least the block's length).
"""
import sys

SAMPLE = (b'@echo off\r\n'
          b'if exist "League of Legends.exe" (\r\n'
          b'\t@start "" "League of Legends.exe" "spectator 127.0.0.1:8080 key 789 KR" "-UseRads"\r\n'
          b'\tgoto :eof\r\n'
          b')\r\n')
# Words with spaces between them, markup, GBK text ("版本") and digits: what
# word wrap has to measure in a real page.
WORDS = b'<div class="champ"><span>\xb0\xe6\xb1\xbe 14.3.1</span> win rate 51.2% pick 8.1% </div> '


def filler(n, line_length=None):
    if line_length is None:
        return (WORDS * (n // len(WORDS) + 1))[:n]
    body = line_length - 2
    line = (WORDS * (body // len(WORDS) + 1))[:body] + b'\r\n'
    return (line * (n // len(line) + 1))[:n]


def main():
    shape, size, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    if shape == 'one-line':
        tail = b'\r\n' + SAMPLE
        head = filler(size - len(tail))
    elif shape == 'lines':
        tail = SAMPLE
        head = filler(size - len(tail), 56)
        head = head[:len(head) - 2] + b'\r\n' if len(head) >= 2 else head
    elif shape == 'no-line-ends':
        tail = b' ' + SAMPLE.replace(b'\r\n', b' ')
        head = filler(size - len(tail))
    else:
        sys.exit('make_batch.py: unknown shape ' + shape)
    with open(out, 'wb') as f:
        f.write(head + tail)


if __name__ == '__main__':
    main()
