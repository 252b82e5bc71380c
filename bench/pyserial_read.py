#!/usr/bin/env python3
"""The peer of `quillonctl read PORT --json`: the same read exchange as a short pyserial script,
printing the same JSON. The cli-read benchmark times both as whole processes."""

import json
import sys

import serial

READ_REQUEST = bytes([0x02, 0x52, 0x00, 0x52, 0x03])
REPLY_LENGTH = 105
RECORD_CHECKED = 30  # the reserved 70 bytes are left out of a read reply's checksum
TIMEOUT_S = 2.0


def address(record, offset):
    return ".".join(str(b) for b in record[offset:offset + 4])


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: pyserial_read.py PORT")
    with serial.Serial(sys.argv[1], 115200, timeout=TIMEOUT_S) as port:
        port.reset_input_buffer()
        port.write(READ_REQUEST)
        reply = port.read(REPLY_LENGTH)
    if len(reply) != REPLY_LENGTH:
        sys.exit("Timeout")
    record = reply[3:103]
    checksum = (reply[1] + reply[2] + sum(record[:RECORD_CHECKED])) % 256
    if reply[:3] != b"\x02R\x64" or reply[104] != 3 or reply[103] != checksum:
        sys.exit("Checksum error")
    print(json.dumps({
        "serial": int.from_bytes(record[0:4], "big"),
        "mac": ":".join("%02X" % b for b in record[4:10]),
        "ip": address(record, 10),
        "mask": address(record, 14),
        "gateway": address(record, 18),
        "dns1": address(record, 22),
        "dns2": address(record, 26),
    }))


if __name__ == "__main__":
    main()
