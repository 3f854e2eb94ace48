#!/usr/bin/env python3
"""Writes a minimal, well-formed PE32 or PE32+ image for signing tests.

    make_pe.py OUT [--pe32] [--version 1.2.3.4] [--size BYTES] [--tail BYTES]

The image has a .text section (a lone `ret`, padded with a fixed pattern to
--size bytes) and, with --version, a .rsrc section holding an RT_VERSION
resource whose fixed file and product versions and "FileVersion" /
"ProductVersion" strings carry that version. --tail appends that many bytes
after the last section (overlay data, hashed by Authenticode). Output is
deterministic: the same arguments give the same bytes.
"""
import argparse
import struct

FILE_ALIGN = 0x200
SECT_ALIGN = 0x1000
HEADERS_SIZE = 0x400
E_LFANEW = 0x80


def align(n, a):
    return (n + a - 1) // a * a


def utf16z(s):
    return (s + "\0").encode("utf-16-le")


def ver_block(key, value, value_len, vtype, children=b""):
    """One VS_VERSIONINFO-style node: header, key, padding, value, padding, children."""
    head = utf16z(key)
    body = struct.pack("<HHH", 0, value_len, vtype) + head
    body += b"\0" * (align(len(body), 4) - len(body))
    body += value
    if children:
        body += b"\0" * (align(len(body), 4) - len(body))
        body += children
    return struct.pack("<H", len(body)) + body[2:]


def pad4(b):
    return b + b"\0" * (align(len(b), 4) - len(b))


def version_info(version):
    parts = [int(p) for p in version.split(".")]
    parts += [0] * (4 - len(parts))
    ms = (parts[0] << 16) | parts[1]
    ls = (parts[2] << 16) | parts[3]
    fixed = struct.pack("<13I", 0xFEEF04BD, 0x00010000, ms, ls, ms, ls, 0x3F, 0, 0x40004, 1, 0, 0, 0)
    strings = b""
    for k, v in (("CompanyName", "Corvane Development"), ("FileDescription", "Signing test image"),
                 ("FileVersion", version), ("ProductVersion", version)):
        value = utf16z(v)
        strings += pad4(ver_block(k, value, len(value) // 2, 1))
    table = ver_block("040904b0", b"", 0, 1, strings)
    sfi = ver_block("StringFileInfo", b"", 0, 1, pad4(table))
    var = ver_block("Translation", struct.pack("<HH", 0x0409, 0x04B0), 4, 0)
    vfi = ver_block("VarFileInfo", b"", 0, 1, pad4(var))
    return ver_block("VS_VERSION_INFO", fixed, len(fixed), 0, pad4(sfi) + pad4(vfi))


def resource_section(rva, version):
    data = version_info(version)

    def directory(entry_id, target):
        return struct.pack("<IIHHHH", 0, 0, 0, 0, 0, 1) + struct.pack("<II", entry_id, target)

    # root (type 16) -> name 1 -> language 0x409 -> data entry
    root = directory(16, 0x80000000 | 24)
    name = directory(1, 0x80000000 | 48)
    lang = directory(0x409, 72)
    entry_rva = rva + 88
    entry = struct.pack("<IIII", entry_rva, len(data), 0, 0)
    return root + name + lang + entry + data


def build(pe32, version, size, tail):
    text = bytearray(b"\xc3")
    pattern = bytes(range(256))
    while len(text) < size:
        text += pattern[: size - len(text)]
    sections = [(b".text", bytes(text), 0x60000020)]
    rsrc_rva = SECT_ALIGN + align(len(text), SECT_ALIGN)
    if version:
        sections.append((b".rsrc", resource_section(rsrc_rva, version), 0x40000040))

    opt_size = 224 if pe32 else 240
    machine = 0x14C if pe32 else 0x8664
    characteristics = 0x0102 if pe32 else 0x0022
    raw_ptr = HEADERS_SIZE
    rva = SECT_ALIGN
    table = b""
    layout = []
    for name, body, flags in sections:
        raw_size = align(len(body), FILE_ALIGN)
        table += struct.pack("<8sIIIIIIHHI", name, len(body), rva, raw_size, raw_ptr, 0, 0, 0, 0, flags)
        layout.append((raw_ptr, body, raw_size, rva))
        raw_ptr += raw_size
        rva += align(len(body), SECT_ALIGN)
    image_size = rva
    code_size = align(len(text), FILE_ALIGN)
    init_size = sum(a for _, _, a, _ in layout[1:])

    dirs = [(0, 0)] * 16
    if version:
        dirs[2] = (rsrc_rva, len(sections[1][1]))
    dir_bytes = b"".join(struct.pack("<II", a, s) for a, s in dirs)
    if pe32:
        opt = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII", 0x10B, 14, 0, code_size, init_size, 0,
                          SECT_ALIGN, SECT_ALIGN, rsrc_rva, 0x400000, SECT_ALIGN, FILE_ALIGN,
                          6, 0, 0, 0, 6, 0, 0, image_size, HEADERS_SIZE, 0, 2, 0x8140,
                          0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    else:
        opt = struct.pack("<HBBIIIIIQIIHHHHHHIIIIHHQQQQII", 0x20B, 14, 0, code_size, init_size, 0,
                          SECT_ALIGN, SECT_ALIGN, 0x140000000, SECT_ALIGN, FILE_ALIGN,
                          6, 0, 0, 0, 6, 0, 0, image_size, HEADERS_SIZE, 0, 2, 0x8160,
                          0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    opt += dir_bytes
    assert len(opt) == opt_size, len(opt)

    dos = bytearray(E_LFANEW)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, E_LFANEW)
    coff = struct.pack("<HHIIIHH", machine, len(sections), 0x65920000, 0, 0, opt_size, characteristics)
    headers = bytes(dos) + b"PE\0\0" + coff + opt + table
    assert len(headers) <= HEADERS_SIZE
    out = bytearray(headers + b"\0" * (HEADERS_SIZE - len(headers)))
    for ptr, body, raw_size, _ in layout:
        assert len(out) == ptr
        out += body + b"\0" * (raw_size - len(body))
    out += bytes((i * 7) & 0xFF for i in range(tail))
    return bytes(out)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("out")
    p.add_argument("--pe32", action="store_true", help="PE32 instead of PE32+")
    p.add_argument("--version", help="add an RT_VERSION resource with this version (a.b.c.d)")
    p.add_argument("--size", type=int, default=0x300, help=".text size in bytes")
    p.add_argument("--tail", type=int, default=0, help="overlay bytes after the last section")
    a = p.parse_args()
    with open(a.out, "wb") as f:
        f.write(build(a.pe32, a.version, a.size, a.tail))


if __name__ == "__main__":
    main()
