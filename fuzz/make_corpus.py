#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the fuzz targets into fuzz/corpus/,
copies the inputs of the bundled examples and of the golden cases, and
writes the dictionaries fuzz/*.dict.

Seeds are small on purpose: each shows one shape of an input file (a
section table, a memory map, a definition file, an EEPROM source) so the
fuzzer starts from inputs that get past the first checks. Run it from any
folder; files are only added or overwritten, never removed.
"""
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
CORPUS = os.path.join(HERE, "corpus")
SEPARATOR = b"\n@@@@\n"  # splits a whole-run input into its three files
KEYWORDS = {"Orm6": 0, "Tev2": 1, "Tev2_mem32_unlimited": 2, "Orm8": 3, "Pux4": 4}


def put(target, name, data):
    """Writes one seed, unless the folder holds the same bytes under another name."""
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    for other in os.listdir(folder):
        if other != name:
            with open(os.path.join(folder, other), "rb") as f:
                if f.read() == data:
                    return
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def elxr_listing(sections, symbols=(), line_end="\n"):
    """sections: (name, size, address, attributes)."""
    lines = ["elxr: section listing of firmware.elf", "",
             "Sections:",
             "Idx Name                 Size      VMA       LMA       File off  Algn"]
    for i, (name, size, address, attributes) in enumerate(sections):
        lines.append("%3d %-20s %08x  %08x  %08x  %08x  2**2"
                     % (i, name, size, address, address, 0x400 + 16 * i))
        lines.append("                     " + attributes)
    if symbols:
        lines += ["", "SYMBOL TABLE:"]
        lines += ["%s %s %s" % (value, kind, name) for value, kind, name in symbols]
    return line_end.join(lines) + line_end


CODE = "CONTENTS, ALLOC, LOAD, READONLY, CODE"
DATA = "CONTENTS, ALLOC, LOAD, DATA"
BSS = "ALLOC"
DEBUG = "CONTENTS, READONLY, DEBUGGING"


def tev2_seeds():
    sections = [
        (".text", 0x1000, 0x00000100, CODE),
        (".rodata", 0x200, 0x00001100, "CONTENTS, ALLOC, LOAD, READONLY, DATA"),
        (".data", 0x80, 0x40400000, DATA),
        (".bss", 0x100, 0x00400080, BSS),
        ("_bss", 0x20, 0x00400180, BSS),
        (".sdata", 0x10, 0x02000000, DATA),
        (".text.init", 0x40, 0x00002000, CODE),
        (".stack", 0x800, 0x00400400, BSS),
        (".zdata", 0x10, 0xFEBF0000, DATA),
        (".intvect", 0x100, 0x03FF0000, CODE),
        (".debug_info", 0x1234, 0x00000000, DEBUG),
        (".appinfo", 0x0, 0x00003000, DATA),
        (".romdata", 0x100, 0x0000F000, DATA),
    ]
    listing = elxr_listing(sections)
    put("fuzz_elxr_tev2", "listing.map", listing)
    put("fuzz_elxr_tev2", "listing_crlf.map", elxr_listing(sections, line_end="\r\n"))
    # A section line followed by a section line, and one at the very end.
    put("fuzz_elxr_tev2", "no_attribute_line.map",
        "  1 .text 00000100 00000200 x\n  2 .bss 00000010 00400000 y\n"
        "  3 .data 00000010 00400100 z\n")
    put("fuzz_elxr_tev2", "columns_only.map", "5 .bss 120 40000010 \n\n\n   \nALLOC\n")
    return listing


def orm8_seeds():
    sections = [
        (".vector", 0x100, 0x00000000, CODE),
        (".text", 0x2000, 0x00000100, CODE),
        (".const", 0x300, 0x00002100, "CONTENTS, ALLOC, LOAD, READONLY, DATA"),
        (".data", 0x40, 0x00400000, DATA),
        (".bsct", 0x20, 0x00400040, BSS),
        (".RuxEepRam", 0x80, 0x00400100, BSS),
        (".init", 0x10, 0x00FE0000, CODE),
        (".rodata", 0x10, 0x00003000, DATA),
    ]
    text = elxr_listing(sections)
    text += "  9 .data, initialized    00000020  00400200  00400200  00000000  2**2\n" + DATA + "\n"
    put("fuzz_elxr_orm8", "listing.map", text)


def pux4_seeds():
    sections = [
        (".text", 0x4000, 0x00000000, CODE),
        (".data", 0x400, 0x00012000, DATA),
        (".data_begin", 0x4, 0x00FE0000, DATA),
        (".bss", 0x200, 0x00400000, BSS),
        (".const", 0x100, 0x00004000, DATA),
    ]
    symbols = [("fedf0000", "A", "__stack_begin"), ("fedf1000", "A", "__stack_end"),
               ("00004000", "T", "main")]
    put("fuzz_elxr_pux4", "listing.map", elxr_listing(sections, symbols))
    put("fuzz_elxr_pux4", "only_end.map", elxr_listing(sections, [("2000", "D", "__stack_end")]))
    put("fuzz_elxr_pux4", "end_below_begin.map",
        elxr_listing(sections, [("100", "A", "__stack_begin"), ("80", "A", "__stack_end")]))
    put("fuzz_elxr_pux4", "no_data_begin.map", elxr_listing(sections[:2] + sections[3:], symbols))
    put("fuzz_elxr_pux4", "cr_at_end.map",
        elxr_listing(sections, symbols[:2]).rstrip("\n") + "\r")


def mem32_seeds():
    sections = [
        (".text.startup", 0x100, 0x00000100, CODE),
        ("__stack_area", 0x800, 0x00400000, BSS),
        (".mysection", 0x10, 0xFEBF0000, DATA),
        (".my-section", 0x10, 0x00000400, DATA),
        (".heap", 0x1000, 0x00401000, BSS),
        (".linfix", 0x10, 0x00000500, CODE),
        (".note.renesas", 0x10, 0x00000600, CODE),
        (".debug_line", 0x300, 0x00000000, DEBUG),
        (".data", 0x20, 0x80000000, DATA),
        ("._._", 0x20, 0x40000000, DATA),
    ]
    put("fuzz_elxr_mem32", "listing.map", elxr_listing(sections))
    put("fuzz_elxr_mem32", "punctuation.map",
        "  1 " + "._" * 40 + "- 10 20 x\n  2 ...text 10 20 x\nattr\n")


def altium_row(name, start, size, rest="", reg=False):
    head = (name + " ").ljust(32, ".")
    row = head + "%06X" % start + "H   "
    row = row.ljust(54) + "%06X" % size + "H  " + rest
    return row


def altium_seeds():
    rows = [
        altium_row("CODE_A", 0x000100, 0x000F00, "CODE   BYTE"),
        altium_row("IDATA_SEG", 0x000080, 0x000040, "DATA   BYTE"),
        altium_row("BITVARS", 0x400000, 0x000013, "BIT  BIT  DATA"),
        altium_row("Reg. bank 0", 0x400020, 0x000008, "DATA   REG"),
        altium_row("MY.SEG", 0x00F000, 0x000010, "CODE"),
        "......................................................................",
        altium_row("XDATA", 0x401000, 0x000100, "XDATA"),
    ]
    head = ["Memory map of module firmware", "", "Name                            Start    End"
            "          Length", "-" * 70]
    text = "\n".join(head + rows + ["", "Number of symbols: 42",
                                    altium_row("AFTER", 0x10, 0x10)]) + "\n"
    put("fuzz_altium", "memory_map.map", text)
    put("fuzz_altium", "last_row_unterminated.map", "\n".join(head + rows))
    put("fuzz_altium", "short_rows.map", "\n".join(head + ["A ...", "B ........ 12", ""]) + "\n")
    put("fuzz_altium", "h_suffix.map", "\n".join(head + [
        altium_row("X", 0xA0, 0x10).replace("0000A0H", "  00A0"), ""]))
    return text


EEP = """; EEPROM project source
_RuxEep_nOnceDataSize
    0x123,
_RuxEep_nTrippleDataSize
    0x10,
_RuxEep_nOnceDataFree
    0x2DD,
_RuxEep_nTrippleDataFree
    0x30,
"""


def eep_seeds():
    put("fuzz_eep", "EepPrj.src", EEP)
    put("fuzz_eep", "EepPrj_crlf.src", EEP.replace("\n", "\r\n"))
    put("fuzz_eep", "declaration_with_commas.src",
        "heading\n  .public _RuxEep_nOnceDataSize, _RuxEep_nTrippleDataFree\n" +
        EEP.split("\n", 1)[1].replace("0x30,", "100,"))
    put("fuzz_eep", "free_first.src",
        "x\n_RuxEep_nTrippleDataFree\n    0x40\n_RuxEep_nOnceDataSize\n    0x1,\n")
    put("fuzz_eep", "empty_lines.src",
        "x\n_RuxEep_nOnceDataSize\n    -5,\n" + "\n" * 19 + "_RuxEep_nTrippleDataFree\n    0xFFFFFFFFF,\n")
    put("fuzz_eep", "name_at_end.src", "x\n_RuxEep_nTrippleDataFree\n")
    # A carriage return ends no line by itself: at the end of the file it
    # stays part of the last value line.
    put("fuzz_eep", "cr_at_end.src", EEP.rstrip(",\n") + "\r")
    return EEP


DEFINITION = """// Memory definition of a small image
PROGRAM 0x00000000 0x00010000 // internal flash
PROGRAM 0x00010000 0x8000
MEMORY  0x00400000 0x00010000
MEMORY  80000000 1000
EEPROM  0x02000000 0x8000
RESERVED 0x0000F000 0x100
SEARCH .text
SEARCH Com |Can !Test
SEARCH data |bss
SEARCH a/b // c
  PROGRAM 10 20
SEARCH
RESERVED -10 +20
MEMORY 0xFEDF0000 0x2000
PROGRAM 1,2
"""


def memdef_seeds():
    put("fuzz_memdef", "memory.def", DEFINITION)
    put("fuzz_memdef", "memory_crlf.def", DEFINITION.replace("\n", "\r\n"))
    put("fuzz_memdef", "search_only.def", "SEARCH x\nSEARCH !y |z\n// PROGRAM 0 10\n")
    put("fuzz_memdef", "overflow.def",
        "PROGRAM 100000000 10\nMEMORY 0x 5\nEEPROM 0xFFFFFFFF 0xFFFFFFFF\nsearch x\n")


def matcher_seeds(listing):
    put("fuzz_matcher", "tev2_lines.txt", listing)
    put("fuzz_matcher", "shapes.txt",
        "  5  bss 00000120 40000010 x\n"
        "  5 .data, initialized 10 20 x\n"
        "  5 \t.text\v10\f20 \r\n"
        "1 .text.init 10 20 x\n"
        "1 ..._a.b 10 20 x\n"
        "1 .my-section 10 20 x\n"
        "fedf0000 A __stack_begin\n"
        "fedf1000 ABS  __stack_end\n"
        "FEDF0000 A __stack_begin\n"
        " 1 .bss 10 20\n")
    put("fuzz_matcher", "custom_names.txt",
        "#a|ab| lead|x y|data, initialized\n"
        "1  lead 10 20 x\n1 .ab 10 20 x\n1   x y 10 20 \n")


def whole_run_seed(name, keyword, definition, listing, eep="", with_eep=True):
    selector = KEYWORDS[keyword] | (8 if with_eep else 0)
    data = bytes([selector]) + definition.encode() + SEPARATOR + listing.encode() + SEPARATOR + \
        eep.encode()
    put("fuzz_whole_run", name, data)


def whole_run_seeds(tev2_listing, altium_map):
    whole_run_seed("tev2_eep", "Tev2", DEFINITION, tev2_listing, EEP)
    whole_run_seed("altium", "Orm6", DEFINITION, altium_map, EEP, with_eep=False)
    ambiguous = DEFINITION + "SEARCH text\nSEARCH t\nSEARCH .\n"
    whole_run_seed("ambiguous", "Tev2", ambiguous, tev2_listing, EEP)
    for target, keyword in (("fuzz_elxr_pux4", "Pux4"), ("fuzz_elxr_orm8", "Orm8"),
                            ("fuzz_elxr_mem32", "Tev2_mem32_unlimited")):
        with open(os.path.join(CORPUS, target, "listing.map")) as listing:
            whole_run_seed(keyword.lower(), keyword, ambiguous, listing.read(), EEP)


def copy_inputs():
    """Inputs of the examples and golden cases, by the reader they feed."""
    readers = {"Tev2": "fuzz_elxr_tev2", "Orm8": "fuzz_elxr_orm8", "Pux4": "fuzz_elxr_pux4",
               "Tev2_mem32_unlimited": "fuzz_elxr_mem32", "Orm6": "fuzz_altium"}
    cases = []
    for prefix, cases_dir in (("golden_", os.path.join(ROOT, "tests", "golden")),
                              ("e2e_", os.path.join(ROOT, "tests", "e2e", "cases"))):
        if not os.path.isdir(cases_dir):
            continue
        for case in sorted(os.listdir(cases_dir)):
            cmd = os.path.join(cases_dir, case, "cmd")
            if os.path.isfile(cmd):
                with open(cmd) as f:
                    cases.append((prefix + case, os.path.join(cases_dir, case), f.read().split()))
    examples = os.path.join(ROOT, "examples")
    if os.path.isdir(examples):
        for example in sorted(os.listdir(examples)):
            folder = os.path.join(examples, example)
            if os.path.isdir(folder):
                cases.append(("example_" + example, folder, None))
    for name, folder, args in cases:
        if args is None:
            args = guess_example_args(folder)
            if args is None:
                continue
        if len(args) < 3 or args[0] not in readers:
            continue
        files = [os.path.join(folder, a) for a in args[1:]]
        if not all(os.path.isfile(f) for f in files):
            continue
        contents = [open(f, "rb").read() for f in files]
        put("fuzz_memdef", name + ".def", contents[0])
        put(readers[args[0]], name + ".map", contents[1])
        if len(contents) > 2:
            put("fuzz_eep", name + ".src", contents[2])
        put("fuzz_matcher", name + ".txt", contents[1][:4096])
        selector = KEYWORDS[args[0]] | (8 if len(contents) > 2 else 0)
        eep = contents[2] if len(contents) > 2 else b""
        put("fuzz_whole_run", name, bytes([selector]) + contents[0] + SEPARATOR + contents[1] +
            SEPARATOR + eep)


def guess_example_args(folder):
    """An example folder is named after its reader and holds memory.def,
    firmware.map and, for some, EepPrj.src."""
    keyword = {"tev2": "Tev2", "orm6": "Orm6", "orm8": "Orm8", "pux4": "Pux4",
               "mem32": "Tev2_mem32_unlimited"}.get(os.path.basename(folder))
    if keyword is None:
        return None
    args = [keyword, "memory.def", "firmware.map"]
    if os.path.isfile(os.path.join(folder, "EepPrj.src")):
        args.append("EepPrj.src")
    return args


TEV2_NAMES = ["appinfo", "bss", "cfginfo", "data", "DFALib_TextRam", "DFALib_Text",
              "EEELib_Text", "fblflashblocks", "fixaddr", "fixtype", "intvect",
              "noclrdatanvmflashblocks", "osstackbss", "osstackdata", "osstacksbss",
              "osstacksdata", "osstacktata", "osstackzdata", "osstackzbss", "pblflashblocks",
              "robase", "rodata", "romdata", "romsdata", "romtdata", "romzdata", "rosdata",
              "rozdata", "sbss", "sdabase", "sdata", "secinfo", "sharedata", "stack", "sldata",
              "syscall", "tdata", "text", "zbss", "zdata"]
ORM8_NAMES = ["bsct", "ubsct", "share", "data", "data, initialized", "bss", "RuxSysTestRam",
              "HalADCRam", "RuxEepRam", "RuxParamRam", "NvmBuffer", "NoClear", "MY_STACK",
              "eeprom", "OptBytes", "OptByTMU", "OptByBL", "vector", "PBL", "const", "text",
              "ISR", "STARTUPFUNC", "CfgId", "Reserved", "init"]
PUX4_NAMES = ["data_begin", "__stack_begin", "__stack_end", " A __stack_begin",
              " ABS __stack_end"]
ELXR_WORDS = ["DEBUGGING", "debug", "heap", "linfix", "gstackfix", "note.renesas", "CONTENTS",
              "ALLOC", "  1 .text 00000100 00000200 x", " 00000000 ", " 0x", "\r\n", "\t",
              "\v", "\f", "\x00", "\xff", "._", "-", ",", "2**2"]
ALTIUM_WORDS = ["Memory map", "...", "......................", "Reg.", "Reg. bank 0 ",
                "BIT  BIT", "Number of symbols", "H ", "000100H", "0x", "-", "\r\n", "\x00"]
EEP_WORDS = ["_RuxEep_nOnceDataSize", "_RuxEep_nTrippleDataSize", "_RuxEep_nOnceDataFree",
             "_RuxEep_nTrippleDataFree", "    0x", "    0x40,", ",", "-", "+", "0X",
             "FFFFFFFF", "100000000", "\n\n\n\n", "\r\n", "\x00"]
MEMDEF_WORDS = ["PROGRAM", "MEMORY", "EEPROM", "RESERVED", "SEARCH", "PROGRAM 0x0 0x1000",
                "MEMORY 80000000 1000", "//", "/", "!", "|", "0x", "0X", "-", "+", "FFFFFFFF",
                "100000000", "\t", "\v", "\f", "\r\n", "\x00"]


def write_dictionary(name, words):
    with open(os.path.join(HERE, name), "w") as out:
        out.write("# libFuzzer dictionary, written by make_corpus.py\n")
        for word in words:
            out.write('"%s"\n' % "".join(
                c if " " <= c <= "~" and c not in '"\\' else "\\x%02X" % ord(c) for c in word))


def dictionaries():
    elxr = [n for n in TEV2_NAMES + ORM8_NAMES] + PUX4_NAMES + ELXR_WORDS
    elxr = list(dict.fromkeys(elxr + ["." + n for n in ("text", "bss", "data", "data_begin")]))
    write_dictionary("fuzz_elxr.dict", elxr)
    write_dictionary("fuzz_altium.dict", ALTIUM_WORDS)
    write_dictionary("fuzz_eep.dict", EEP_WORDS)
    write_dictionary("fuzz_memdef.dict", MEMDEF_WORDS)
    write_dictionary("fuzz_line_reader.dict", ["\r\n", "\r", "\n", "\x00", "\n\n"])
    write_dictionary("fuzz_elf.dict", ["\x7fELF", "\x7fELF\x01\x01\x01", "\x7fELF\x02\x02\x01",
                                       ".shstrtab", ".symtab", ".strtab", ".dynsym", ".bss",
                                       "\xff\xff", "\xf1\xff", "\xf2\xff", "\x00\xff",
                                       "\xff\xff\xff\xff", "\x08\x00\x00\x00"])
    whole = MEMDEF_WORDS + ALTIUM_WORDS + EEP_WORDS + PUX4_NAMES + ELXR_WORDS + \
        ["\n@@@@\n", "text", "bss", "data", "rodata", "stack", "RESERVED0"]
    write_dictionary("fuzz_whole_run.dict", list(dict.fromkeys(whole)))


def line_reader_seeds():
    # The first byte puts the rest that many times 16 bytes before the border.
    put("fuzz_line_reader", "crlf_across", b"\x01" + b"x" * 15 + b"\r\nnext\n")
    put("fuzz_line_reader", "nul_across", b"\x02" + b"a" * 20 + b"\x00" + b"b" * 20 + b"\n")
    put("fuzz_line_reader", "long_across", b"\xff" + b"L" * 3000 + b"\nend")
    put("fuzz_line_reader", "cr_at_end", b"\x00abc\r")
    put("fuzz_line_reader", "empty_lines", b"\x10\n\n\r\n\n")


# ELF images: built here field by field, small, in both classes and byte orders.
SHT_PROGBITS, SHT_SYMTAB, SHT_STRTAB, SHT_NOBITS, SHT_SYMTAB_SHNDX = 1, 2, 3, 8, 18
SHF_WRITE, SHF_ALLOC, SHF_EXECINSTR = 1, 2, 4
PT_LOAD = 1


def elf_image(wide, big, sections, segments, symbols=None, machine=40):
    """sections: dicts with name, type, flags, addr, data (bytes) or size (NOBITS),
    link, entsize, offset (optional); segments: (offset, vaddr, paddr, filesz, memsz);
    symbols: (name, value, size, info, shndx), put into .symtab and .strtab."""
    import struct
    order = ">" if big else "<"
    word = "Q" if wide else "I"
    ehsize, phentsize, shentsize = (64, 56, 64) if wide else (52, 32, 40)
    sections = [dict(s) for s in sections]
    if symbols is not None:
        strtab = b"\0"
        table = bytes(24 if wide else 16)
        for name, value, size, info, shndx in symbols:
            offset = len(strtab)
            strtab += name.encode() + b"\0"
            if wide:
                table += struct.pack(order + "IBBHQQ", offset, info, 0, shndx, value, size)
            else:
                table += struct.pack(order + "IIIBBH", offset, value, size, info, 0, shndx)
        index = len(sections) + 1
        locals_ = 1 + sum(1 for symbol in symbols if symbol[3] >> 4 == 0)
        sections.append(dict(name=".symtab", type=SHT_SYMTAB, data=table, link=index + 1,
                             info=locals_, entsize=24 if wide else 16))
        sections.append(dict(name=".strtab", type=SHT_STRTAB, data=strtab))
    names = b"\0"
    for s in sections + [dict(name=".shstrtab")]:
        s["name_offset"] = len(names)
        names += s["name"].encode() + b"\0"
    sections.append(dict(name=".shstrtab", type=SHT_STRTAB, data=names,
                         name_offset=len(names) - len(".shstrtab") - 1))
    out = bytearray(ehsize + phentsize * len(segments))
    for s in sections:
        at = s.get("offset", len(out) if s.get("type") == SHT_NOBITS else (len(out) + 7) // 8 * 8)
        out += bytes(max(0, at - len(out)))
        data = s.get("data", b"")
        out[at:at + len(data)] = data
        s["offset"] = at
    shoff = (len(out) + 7) // 8 * 8
    out += bytes(shoff - len(out) + shentsize)
    for s in sections:
        size = s.get("size", len(s.get("data", b"")))
        out += struct.pack(order + "II" + word * 4 + "II" + word * 2, s["name_offset"],
                           s.get("type", SHT_PROGBITS), s.get("flags", 0), s.get("addr", 0),
                           s["offset"], size, s.get("link", 0), s.get("info", 0), 4,
                           s.get("entsize", 0))
    ident = b"\x7fELF" + bytes([2 if wide else 1, 2 if big else 1, 1]) + bytes(9)
    header = ident + struct.pack(order + "HHI" + word * 3 + "IHHHHHH", 2, machine, 1, 0x8001,
                                 ehsize if segments else 0, shoff, 0x5000200, ehsize,
                                 phentsize, len(segments), shentsize, len(sections) + 1,
                                 len(sections))
    out[0:len(header)] = header
    at = ehsize
    for offset, vaddr, paddr, filesz, memsz in segments:
        if wide:
            phdr = struct.pack(order + "IIQQQQQQ", PT_LOAD, 6, offset, vaddr, paddr, filesz,
                               memsz, 0x1000)
        else:
            phdr = struct.pack(order + "IIIIIIII", PT_LOAD, offset, vaddr, paddr, filesz, memsz,
                               6, 0x1000)
        out[at:at + len(phdr)] = phdr
        at += len(phdr)
    return bytes(out)


def elf_seeds():
    for wide in (False, True):
        for big in (False, True):
            flash = 0x108000000 if wide else 0x08000000
            ram = 0x220000000 if wide else 0x20000000
            sections = [
                dict(name=".text", flags=SHF_ALLOC | SHF_EXECINSTR, addr=flash,
                     data=b"\x70\x47" * 32, offset=0x200),
                dict(name=".data", flags=SHF_ALLOC | SHF_WRITE, addr=ram, data=b"\1\2\3\4" * 4,
                     offset=0x240),
                dict(name=".bss", type=SHT_NOBITS, flags=SHF_ALLOC | SHF_WRITE, addr=ram + 0x10,
                     size=0x100),
                dict(name=".comment", data=b"made by make_corpus.py\0"),
            ]
            segments = [(0x200, flash, flash, 0x40, 0x40),
                        (0x240, ram, flash + 0x40, 0x10, 0x110)]
            symbols = [("crt.c", 0, 0, 0x04, 0xfff1), ("s_local", ram + 0x10, 4, 0x01, 3),
                       ("main", flash + 1, 0x40, 0x12, 1), ("weak", 0, 0, 0x22, 0),
                       ("common", 4, 4, 0x11, 0xfff2)]
            name = "%s_%s" % ("elf64" if wide else "elf32", "big" if big else "little")
            put("fuzz_elf", name + ".elf", elf_image(wide, big, sections, segments, symbols))
    # Two segments with p_paddr 0: the load addresses are the run addresses.
    put("fuzz_elf", "paddr_zero.elf", elf_image(False, False, [
        dict(name=".text", flags=SHF_ALLOC, addr=0x1000, data=b"\0" * 16, offset=0x100),
        dict(name=".data", flags=SHF_ALLOC | SHF_WRITE, addr=0x2000, data=b"\0" * 16,
             offset=0x110)], [(0x100, 0x1000, 0, 16, 16), (0x110, 0x2000, 0, 16, 32)], []))
    # No section header table and no program headers: the header alone.
    header = bytearray(elf_image(True, False, [], [])[:64])
    header[40:48] = bytes(8)  # e_shoff
    header[60:64] = bytes(4)  # e_shnum, e_shstrndx
    put("fuzz_elf", "header_only.elf", bytes(header))
    # A symbol whose section index lies in SHT_SYMTAB_SHNDX (section 3 is .symtab).
    put("fuzz_elf", "symtab_shndx.elf", elf_image(False, True, [
        dict(name=".text", flags=SHF_ALLOC, addr=0x1000, data=b"\0" * 16),
        dict(name=".symtab_shndx", type=SHT_SYMTAB_SHNDX, link=3, entsize=4,
             data=bytes(4) + b"\0\0\0\1")], [], [("far", 0x1000, 4, 0x11, 0xffff)]))
    shutil.copyfile(os.path.join(ROOT, "examples", "cortex-m", "firmware.elf"),
                    os.path.join(CORPUS, "fuzz_elf", "cortex_m_firmware.elf"))
    shutil.copyfile(os.path.join(ROOT, "examples", "riscv64", "firmware.elf"),
                    os.path.join(CORPUS, "fuzz_elf", "riscv64_firmware.elf"))


def main():
    dictionaries()
    line_reader_seeds()
    elf_seeds()
    listing = tev2_seeds()
    orm8_seeds()
    pux4_seeds()
    mem32_seeds()
    altium_map = altium_seeds()
    eep_seeds()
    memdef_seeds()
    matcher_seeds(listing)
    whole_run_seeds(listing, altium_map)
    copy_inputs()
    return 0


if __name__ == "__main__":
    sys.exit(main())
