#!/usr/bin/env python3
"""Writes a synthetic linked ELF32 image with many symbols, and its memory definition.

  make_symbol_image.py OUTPUT_DIR [SYMBOLS]

OUTPUT_DIR/symbols.elf: an ARM (EM_ARM, little-endian, ET_EXEC) image with SYMBOLS (default
200 000) sized FUNC and OBJECT symbols in four allocated sections: .text (three in five of the
symbols, functions), .rodata (one in five, objects), .data and .bss (one in ten each, objects),
laid one after the other with alignment gaps, so a part of each section is held by no symbol.
One in four names is a mangled C++ name (demangled by the reader), one in eight symbols is local,
after a FILE symbol that names its source, and one in fifty functions has a weak alias at the
same address and size. A .comment section (not allocated), .symtab, .strtab and .shstrtab
follow; three LOAD segments carry flash, the initial values of .data (loaded in flash) and .bss.
OUTPUT_DIR/plain.elf: the same sections and segments with a symbol table that holds only its
null symbol and the section symbols, for the cost of an image without symbols.
OUTPUT_DIR/symbols.def: a PROGRAM range for the flash and a MEMORY range for the RAM, three
SEARCH lines.

The bytes depend on SYMBOLS alone (a fixed linear congruential sequence): every run writes the
same files. binutils reads them: `readelf -SW`, `nm -S --size-sort`.
"""
import os
import struct
import sys

k_flash = 0x08000000
k_ram = 0x20000000


class lcg:
    def __init__(self, seed):
        self.state = seed

    def next(self, bound):
        self.state = (self.state * 1103515245 + 12345) % 2147483648
        return (self.state >> 8) % bound


def align(value, to):
    return (value + to - 1) // to * to


def mangled(index, kind):
    # _ZN5bench6moduleN4itemIIEEv-like names: a namespace, a module and an item, with a
    # function's parameter list or an object's plain name.
    module = f"module{index % 997}"
    item = f"item{index}"
    name = f"_ZN5bench{len(module)}{module}{len(item)}{item}"
    return name + ("Ev" if kind == "func" else "E")


def plan(count):
    """Sections, and the symbols as (name, section, offset, size, type, binding, file)."""
    random = lcg(20261210)
    shares = [(".text", 6), (".rodata", 2), (".data", 1), (".bss", 1)]
    per_section = {}
    given = 0
    for name, share in shares:
        per_section[name] = count * share // 10
        given += per_section[name]
    per_section[".text"] += count - given
    symbols = []
    sizes = {}
    index = 0
    files = 0
    for section, _ in shares:
        offset = 0
        kind = "func" if section == ".text" else "object"
        step = 2 if kind == "func" else 4
        for _ in range(per_section[section]):
            size = (4 + random.next(120 if kind == "func" else 60)) // step * step or step
            offset = align(offset, step)
            if random.next(16) == 0:
                offset += step * (1 + random.next(4))  # padding no symbol holds
            binding = 1  # STB_GLOBAL
            file = None
            if index % 8 == 7:
                binding = 0  # STB_LOCAL
                file = f"unit{files}.c"
                files += 1
            if index % 4 == 1:
                name = mangled(index, kind)
            else:
                name = f"{'fn' if kind == 'func' else 'obj'}_{section[1:]}_{index}"
            symbols.append((name, section, offset, size, kind, binding, file))
            if kind == "func" and index % 50 == 0:
                symbols.append((name + "_alias", section, offset, size, kind, 2, None))
            offset += size
            index += 1
        sizes[section] = align(offset + 16, 8)  # a tail no symbol holds
    return sizes, symbols


def write_image(path, count, with_symbols):
    sizes, symbols = plan(count)
    # Section addresses: flash holds .text and .rodata, then the initial values of .data;
    # RAM holds .data and .bss.
    addresses = {}
    addresses[".text"] = k_flash
    addresses[".rodata"] = align(k_flash + sizes[".text"], 8)
    addresses[".data"] = k_ram
    addresses[".bss"] = align(k_ram + sizes[".data"], 8)
    data_load = align(addresses[".rodata"] + sizes[".rodata"], 8)

    shstr = bytearray(b"\0")
    strtab = bytearray(b"\0")

    def shname(name):
        at = len(shstr)
        shstr.extend(name.encode() + b"\0")
        return at

    def strname(name):
        at = len(strtab)
        strtab.extend(name.encode() + b"\0")
        return at

    order = [".text", ".rodata", ".data", ".bss", ".comment", ".symtab", ".strtab", ".shstrtab"]
    index_of = {name: i + 1 for i, name in enumerate(order)}

    # Symbol table: null, the section symbols, the locals (each after its FILE), then the others.
    entries = [struct.pack("<IIIBBH", 0, 0, 0, 0, 0, 0)]
    for name in [".text", ".rodata", ".data", ".bss"]:
        entries.append(struct.pack("<IIIBBH", 0, addresses[name], 0, 3, 0, index_of[name]))
    globals_ = []
    if with_symbols:
        for name, section, offset, size, kind, binding, file in symbols:
            value = addresses[section] + offset
            stt = 2 if kind == "func" else 1
            if stt == 2:
                value |= 1  # Thumb
            entry = (strname(name), value, size, (binding << 4) | stt, 0, index_of[section])
            if binding == 0:
                entries.append(struct.pack("<IIIBBH", strname(file), 0, 0, 4, 0, 0xFFF1))
                entries.append(struct.pack("<IIIBBH", *entry))
            else:
                globals_.append(entry)
    first_global = len(entries)
    for entry in globals_:
        entries.append(struct.pack("<IIIBBH", *entry))
    symtab = b"".join(entries)
    comment = b"bench image: make_symbol_image.py\0"

    # File layout: header, program headers, then the contents of each section.
    header_size = 52
    phnum = 3
    offset = header_size + 32 * phnum
    offsets = {}
    contents = {}
    for name in [".text", ".rodata", ".data"]:
        offset = align(offset, 8)
        offsets[name] = offset
        contents[name] = bytes(sizes[name])
        offset += sizes[name]
    offsets[".bss"] = offset
    for name, blob in [(".comment", comment), (".symtab", symtab), (".strtab", bytes(strtab))]:
        offset = align(offset, 4)
        offsets[name] = offset
        contents[name] = blob
        offset += len(blob)
    # The name table gets its own name before it is laid out.
    names = {name: shname(name) for name in order}
    offsets[".shstrtab"] = offset
    contents[".shstrtab"] = bytes(shstr)
    offset += len(shstr)
    shoff = align(offset, 4)
    shnum = len(order) + 1

    out = bytearray()
    ident = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)
    out += ident + struct.pack("<HHIIIIIHHHHHH", 2, 40, 1, k_flash | 1, header_size, shoff,
                               0x05000200, header_size, 32, phnum, 40, shnum, len(order))
    flash_end = addresses[".rodata"] + sizes[".rodata"] - k_flash
    segments = [
        (1, offsets[".text"], k_flash, k_flash, flash_end, flash_end, 5, 8),
        (1, offsets[".data"], k_ram, data_load, sizes[".data"], sizes[".data"], 6, 8),
        (1, offsets[".bss"], addresses[".bss"], data_load + sizes[".data"], 0, sizes[".bss"], 6,
         8),
    ]
    for segment in segments:
        out += struct.pack("<IIIIIIII", *segment)
    for name in order:
        if name in contents and name != ".bss":
            out += bytes(offsets[name] - len(out))
            out += contents[name]
    out += bytes(shoff - len(out))
    out += bytes(40)
    flags = {".text": 0x6, ".rodata": 0x2, ".data": 0x3, ".bss": 0x3}
    for name in order:
        if name in flags:
            kind = 8 if name == ".bss" else 1
            out += struct.pack("<IIIIIIIIII", names[name], kind, flags[name], addresses[name],
                               offsets[name], sizes[name], 0, 0, 8, 0)
        elif name == ".comment":
            out += struct.pack("<IIIIIIIIII", names[name], 1, 0x30, 0, offsets[name],
                               len(comment), 0, 0, 1, 1)
        elif name == ".symtab":
            out += struct.pack("<IIIIIIIIII", names[name], 2, 0, 0, offsets[name], len(symtab),
                               index_of[".strtab"], first_global, 4, 16)
        else:
            out += struct.pack("<IIIIIIIIII", names[name], 3, 0, 0, offsets[name],
                               len(contents[name]), 0, 0, 1, 0)
    with open(path, "wb") as file:
        file.write(out)
    return addresses, sizes


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: make_symbol_image.py OUTPUT_DIR [SYMBOLS]")
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) == 3 else 200000
    os.makedirs(folder, exist_ok=True)
    write_image(os.path.join(folder, "symbols.elf"), count, True)
    write_image(os.path.join(folder, "plain.elf"), count, False)
    with open(os.path.join(folder, "symbols.def"), "w") as file:
        file.write(f"PROGRAM 0x{k_flash:08X} 0x01000000 // flash, 16 MiB\n"
                   f"MEMORY  0x{k_ram:08X} 0x00400000 // RAM, 4 MiB\n"
                   "SEARCH text\nSEARCH rodata\nSEARCH |data |bss\n")


if __name__ == "__main__":
    main()
