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

# Upload replies: the route, the records queued on each channel's two routes (a count, then a seed
# each), then operations (0 send a record, 1 send a frame, 2/3 a built-in module's block, 4 an external
# module's block, 5 a platform answer, 6 queue one more record), a block being a length and its bytes.
def block(b):
    return bytes([len(b)]) + b


queued = bytes([1, 7, 2, 8, 9, 1, 10, 0, 1, 11, 1, 12])
write('fuzz_upload_replies', 'answers', bytes([3]) + queued + bytes([0]) + bytes([2]) + block(b'\x02') + bytes([1])
      + bytes([5]) + block(b'\x02') + bytes([0]) + bytes([3]) + block(b'GPRSOKOVER') + bytes([6, 1, 0, 33]))
write('fuzz_upload_replies', 'refusals', bytes([2]) + queued + bytes([1]) + bytes([5]) + block(b'\x04') + bytes([4])
      + block(b'\x55' + b'\xff' * 20) + bytes([1]) + bytes([5]) + block(b'\x03'))
write('fuzz_upload_replies', 'texts', bytes([0]) + queued + bytes([0]) + bytes([2]) + block(b'$GPRMC,1,A,3000.0,N,12000.0,E')
      + bytes([2]) + block(b'+CSQ: 20,0') + bytes([0]) + bytes([2]) + block(b'\x07'))

# Jack calibration table: a jack text, the group to delete, then the file.
write('fuzz_jack_table', 'groups', part(b'JACK-1') + part(b'\x02') + group * 10)
write('fuzz_jack_table', 'old', part(b'JACK-1') + part(b'\x00') + group[:136] * 3)

# System calibration as the dialog reads it: a raw force, the channel's sensor type, then the file.
started = struct.pack('<ififfffiiiiiif', 0, 500.0, 5, 80.0, 1000.0, 1000.0, 64.0, 1, 2, 0, 0, 0, 1, 12.0)
write('fuzz_system_calibration', 'idle', part(struct.pack('<f', 1234.0)) + part(b'\x01')
      + struct.pack('<ififfffi', 2, 80.0, 10, 80.0, 1000.0, 1000.0, 64.0, 0).ljust(308, b'\0'))
write('fuzz_system_calibration', 'started', part(struct.pack('<f', 250.0)) + part(b'\x00') + started.ljust(308, b'\0'))

# File operations: names taken up to "(n)" (n up to 15, or up to 999 with the top bit), flags (bit 0 a case twin, bit 1 a channel's test path in
# lower case, bit 2 with the folder in capitals, bit 3 a set-up test's own path), operations, names.
names = [b'123.krv', b'Abc.KRV', '测试桩.krv'.encode(), b'a*b.krv', b'x']
write('fuzz_file_operations', 'names', part(struct.pack('<H', 3)) + part(bytes([1, 3, 6, 8, 0])) + part(b'\x00\x01\x02\x01\x03')
      + b''.join(part(n) for n in names[:4]) + names[4])
write('fuzz_file_operations', 'taken', part(struct.pack('<H', 0x8000 | 999)) + part(b'\x00') + part(b'\x00\x01')
      + part(b'full.krv') + part(b'') + part(b'') + part(b'') + b'')

# Pending-data list: flags (bit 0 a folder, bit 1 a running test's queue file, bit 2 named in lower
# case), then names and contents.
slots3 = b'OVER' + b'a' * 124 + b'GPRS' + b'b' * 124 + b'0000' + b'c' * 124
write('fuzz_pending_list', 'backslash', part(bytes([0, 2])) + part(b'\\1-P1.GPS') + part(slots3) + part(b'1-P1.GPS')
      + part(b'GPRS' * 64) + part(b'') + part(b'') + part(b'') + part(b'') + part(b'') + b'')
write('fuzz_pending_list', 'files', part(bytes([0, 6, 0, 1])) + part(b'T1-P1.GPS') + part(slots3) + part(b'T1-P1.gpsw')
      + part(slots3 + b'x' * 20) + part(b'*x.gps') + part(b'GPRS' * 32) + part(b'c.Gps') + part(b'') + b'')

# Upgrade list: flags (bit 0 a folder, bits 1-7 a size exponent), then names (".msi" added to a name
# whose first byte is odd).
write('fuzz_upgrade_list', 'files', part(bytes([2, 62, 0, 1, 40])) + part(b'Main3.3.9') + part(b'Big3.4.0.MSI')
      + part(b'*3.3.8.msi') + part(b'folder.msi') + part(b'notes.txt') + part(b'') + part(b'') + b'')
