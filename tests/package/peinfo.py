#!/usr/bin/env python3
"""Prints what Windows shows of a program file: its processor, its link time
stamp and the fields of its version resource, one "name=value" a line.

Usage: peinfo.py FILE
"""
import re
import struct
import sys

MACHINES = {0x14C: "i386", 0x8664: "x86_64"}
FIXED_SIGNATURE = 0xFEEF04BD
STRING_KEYS = ("CompanyName", "FileDescription", "FileVersion", "InternalName",
               "OriginalFilename", "ProductName", "ProductVersion")


def sections(data, header):
    count, optional_size = struct.unpack_from("<H12xH", data, header + 6)
    table = header + 24 + optional_size
    for i in range(count):
        name, _, _, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
        yield name.rstrip(b"\0").decode("ascii", "replace"), data[raw_offset:raw_offset + raw_size]


def main(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"MZ":
        sys.exit(f"{path}: not a program file")
    header = struct.unpack_from("<I", data, 0x3C)[0]
    if data[header:header + 4] != b"PE\0\0":
        sys.exit(f"{path}: no PE header")
    machine, _, link_time = struct.unpack_from("<HHI", data, header + 4)
    print(f"machine={MACHINES.get(machine, hex(machine))}")
    print(f"link-time={link_time}")
    resources = dict(sections(data, header)).get(".rsrc", b"")
    start = resources.find("VS_VERSION_INFO".encode("utf-16-le"))
    if start < 0 or start % 2:
        return
    block = resources[start:]
    fixed = block.find(struct.pack("<I", FIXED_SIGNATURE))
    if fixed >= 0:
        _, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", block, fixed)
        print(f"fixed-file={file_ms >> 16}.{file_ms & 0xFFFF}.{file_ls >> 16}.{file_ls & 0xFFFF}")
        print(f"fixed-product={product_ms >> 16}.{product_ms & 0xFFFF}.{product_ls >> 16}.{product_ls & 0xFFFF}")
    text = block.decode("utf-16-le", "replace")
    for key in STRING_KEYS:
        # Each string's key follows its type word (0 or 1); its value follows the key's padding.
        found = re.search("[\x00\x01]" + key + "\x00+([^\x00]+)", text)
        if found:
            print(f"{key}={found.group(1)}")


if __name__ == "__main__":
    main(sys.argv[1])
