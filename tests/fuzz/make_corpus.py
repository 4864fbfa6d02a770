#!/usr/bin/env python3
"""Writes the small seed corpus of each fuzz target into corpus/<target>/ (run again after a change)."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
fixtures = os.path.join(here, '..', 'model', 'fixtures')


def part(b):
    return struct.pack('<H', len(b)) + b


def write(target, name, data):
    d = os.path.join(here, 'corpus', target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), 'wb') as f:
        f.write(data)


def fixture(name):
    with open(os.path.join(fixtures, name), 'rb') as f:
        return f.read()


# Parameter file: the card's file, then the program folder's copy.
for n in ('param_820_known.ini', 'param_412.ini', 'param_1052.ini'):
    write('fuzz_paramfile', n, part(fixture(n)) + fixture('param_820_known.ini'))

# Test file: one record (repeated to 80), a journal, the copy.
blank = b'11111' + b'\0' * 72 + b'99999' + b'\0' * 120 + b'11111' + b'\0' * 64 + b'\0' * 40
reading = b'12:00' + struct.pack('<18f', *range(18)) + b'00010' + b'h1'.ljust(20, b'\0') + b'h2'.ljust(20, b'\0') \
    + b'h3'.ljust(60, b'\0') + b'\0' * 20 + b'12:00' + struct.pack('<16f', *range(16)) + b'\0' * 40
assert len(blank) == 311 and len(reading) == 311
write('fuzz_testfile', 'blank', part(blank) + part(b'') + blank * 74)
write('fuzz_testfile', 'reading', part(reading) + part(b'') + reading * 3)
journal = b'KJNL' + struct.pack('<I', 1) + struct.pack('<QI', 311 * 2, 5) + b'10:00'
journal += struct.pack('<I', len(journal) + 8)
write('fuzz_testfile', 'journal', part(reading) + part(journal + b'\0\0\0\0KEND') + b'')

# Queue file: a journal, then the slots.
slots = b'OVER' + b'a' * 124 + b'$ZR' + b'b' * 125 + b'0000' + b'c' * 124 + b'd' * 128
write('fuzz_queuefile', 'slots', part(b'') + slots)
write('fuzz_queuefile', 'partial', part(b'') + slots + b'e' * 50)

# Jack data: a jack text, then the file (ten groups of 148 bytes).
group = b'JACK-1'.ljust(20, b'\0') + b'SENSOR'.ljust(20, b'\0') + struct.pack('<ifi', 0, 1000.0, 5) \
    + struct.pack('<8f', *[100.0 * i for i in range(1, 9)])
group = group.ljust(148, b'\0')
write('fuzz_jackdata', 'groups', part(b'JACK-1') + group * 10)

# System calibration.
write('fuzz_xtbd', 'defaults', struct.pack('<ififfffi', 2, 80.0, 10, 80.0, 1000.0, 1000.0, 64.0, 0).ljust(308, b'\0'))

# Clock state.
write('fuzz_clockstate', 'real', b'instrument-clock 1\nhost 1893456000000\nlocal 1893459600000\nrate 1\n')
write('fuzz_clockstate', 'manual', b'instrument-clock 1\nhost 1893456000000\nlocal 1577836800000\nrate 0\n')
write('fuzz_clockstate', 'scaled', b'instrument-clock 1\nhost 1893456000000\nlocal 1893456000000\nrate 60\n')

# Port map: a name to register, then the map.
write('fuzz_ports', 'map', part(b'COM6:') + b'# wired\r\nCOM2=/dev/ttyS1\n com5 = /dev/ttyUSB0 \nCOM6:=/dev/pts/3\n')

# Replies: the settings (type, method, test type, two ints, six floats, standard, target), then frames.
settings = bytes([1, 1, 1]) + struct.pack('<ii', 80, 1) + struct.pack('<6f', 1.8, 2.0, 3.0, 0.5, 1.2, 1.0) \
    + bytes([5]) + struct.pack('<f', 400.0)
frame = bytearray(32)
frame[0] = 0xAA
frame[1:3] = struct.pack('<H', 1234)
for i in range(8):
    frame[3 + 2 * i:5 + 2 * i] = struct.pack('<H', 100 * i)
frame[23:26] = bytes([0x00, 0x00, 0x01])
frame[31] = sum(frame[:31]) & 0xFF
write('fuzz_reply', 'frame', settings + bytes(frame) * 2)
