#!/usr/bin/env python3
"""Writes zez-demo.hidrec: the touch sequence the demo plays on a simulated
ZEZ frame (vendor 0x1314, product 0x1104).

The frame reports at 200 Hz while touched: 64-byte reports, report id in
byte 0, six contact records of 10 bytes from byte 1 (status 7 touching,
0 lifted; contact id; X, Y, width, height as little-endian 16-bit words,
board units 0..32767).

    python3 tools/recordings/make_zez_demo.py > tools/recordings/zez-demo.hidrec
"""
import sys

PERIOD_US = 5000  # between reports while touched


def report(contacts):
    b = [0] * 64
    b[0] = 0x01
    for k, (status, x, y, size) in enumerate(contacts):
        o = 1 + 10 * k
        b[o] = status
        b[o + 1] = k + 1
        for i, v in enumerate((x, y, size, size)):
            b[o + 2 + 2 * i] = v & 0xFF
            b[o + 3 + 2 * i] = (v >> 8) & 0xFF
    return b


class Capture:
    def __init__(self):
        self.us = 0
        self.lines = []

    def emit(self, contacts):
        data = report(contacts)
        self.lines.append("E: %06d.%06d %d %s" % (self.us // 1000000, self.us % 1000000, len(data),
                                                  " ".join("%02x" % v for v in data)))
        self.us += PERIOD_US

    def stroke(self, points, size):
        for x, y in points:
            self.emit([(7, x, y, size)])
        x, y = points[-1]
        self.emit([(0, x, y, 0)])

    def pause(self, ms):
        self.us += 1000 * ms


def main():
    c = Capture()
    c.pause(100)
    c.lines.append("# a tap: a narrow contact (a pen)")
    c.stroke([(8000, 8000)] * 8, 6)
    c.pause(400)
    c.lines.append("# a drag across the screen: a finger")
    c.stroke([(6000 + 200 * i, 16000) for i in range(101)], 20)
    c.pause(400)
    c.lines.append("# a long still hold: a palm; right-clicks once held long enough")
    c.stroke([(16000, 24000)] * 160, 60)
    out = sys.stdout
    out.write("# ZEZ touch frame: a tap, a drag and a long hold "
              "(written by make_zez_demo.py)\n")
    out.write("N: ZEZ touch frame\n")
    out.write("I: 3 1314 1104\n")
    out.write("R: 33 06 00 ff 09 01 a1 01 15 00 26 ff 00 75 08 95 40 09 01 81 02 "
              "95 40 09 01 91 02 95 40 09 01 b1 02 c0\n")
    for line in c.lines:
        out.write(line + "\n")


if __name__ == "__main__":
    main()
