#!/usr/bin/env python3
"""Writes a minimal shell link (.lnk) whose target is a local path.

Usage: make-shortcut.py LINK_FILE TARGET_PATH

Only the header and the link-info block with the local base path are
written: enough for the shell link object to load the link and report its
target, which is all the demo needs.
"""
import struct
import sys


def shell_link(target: str) -> bytes:
    clsid = bytes.fromhex("0114020000000000c000000000000046")
    has_link_info = 0x02
    header = struct.pack("<I16sII", 0x4C, clsid, has_link_info, 0x20)  # size, CLSID, flags, attrs
    header += b"\0" * 24                                                # three file times
    header += struct.pack("<IiiHHII", 0, 0, 1, 0, 0, 0, 0)              # size, icon, show, hotkey
    assert len(header) == 0x4C

    label = b"\0"
    volume = struct.pack("<IIII", 16 + len(label), 3, 0, 16) + label    # fixed drive, no serial
    path = target.encode("mbcs" if sys.platform == "win32" else "latin-1") + b"\0"
    info_header = 28
    volume_offset = info_header
    path_offset = volume_offset + len(volume)
    suffix_offset = path_offset + len(path)
    size = suffix_offset + 1
    info = struct.pack("<IIIIIII", size, info_header, 0x1, volume_offset, path_offset, 0,
                       suffix_offset)
    info += volume + path + b"\0"
    return header + info + struct.pack("<I", 0)                         # no extra data


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as link:
        link.write(shell_link(sys.argv[2]))
