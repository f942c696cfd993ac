#!/usr/bin/env python3
"""Renders vemora-check's HTML page in headless Chromium and checks what a reader sees.

  check_html_report.py --check EXE --chromium EXE --source DIR [--keep DIR]

The bundled Tev2 example: the script finished (data-status="ok"), every range's card shows
the used % that the ranges CSV of the same run gives, the treemaps hold one tile per section
that `explain --fate counted` lists, the page loads nothing (no http:/https: in the file), each range that is not full has one
free tile in its treemap with its free bytes (none for an overfull one), and with a baseline
the change sits right under the ranges with its percentages in two decimals.
The cortex-m image read with the keyword Elf: one tile per symbol inside its section, one
unattributed tile for each section whose symbols leave bytes over (4 bytes of .isr_vector, as
arm-none-eabi-readelf -sW gives g_vector_table 236 of its 240), the symbol table largest first,
and the search preset from the page's address; the same image with symbols renamed to markup,
alone and against the original's report (its table of symbol changes);
an image of 4200 objects, whose treemap the canvas draws.
Then a listing whose names and labels hold markup, quotes and bytes that are not UTF-8: the
page still finishes, no name became an element, and the names read as their text. Last, the
page of 100 000 counted sections (bench/html_report_bench.sh) opens and finishes in time.
"""
import argparse
import csv
import html.parser
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile

k_void = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
          "track", "wbr"}


class page_dom(html.parser.HTMLParser):
    """What the checks read from the DOM Chromium dumped."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack = []  # (tag, attributes, classes) of the open elements
        self.body = {}
        self.tags = {}  # tag -> count
        self.used_pct = {}  # range id -> the text of its used-pct span
        self.tiles = 0
        self.names = []  # the name cells of the section table
        self.diff_shown = False
        self.diff_rows = []  # [table level, row class, cell texts...] of the diff tables' rows
        self.json_text = ""
        self.status = ("", "")  # class and text of the header's status
        self.rule_rows = []  # cell texts of the budget table's rows
        self.free_tiles = []  # [range id, bytes, label text, title] of the treemaps' free tiles
        self.sections = []  # ids of the page's <section> elements, in page order
        self.pager = ""  # the text of the section table's pager
        self.symbol_tiles = []  # data-s of the treemaps' symbol tiles
        self.unattributed_tiles = []  # [section index, bytes, title] of the unattributed tiles
        self.symbol_rows = []  # cell texts of the symbol table's rows
        self.symbol_pager = ""  # the text of the symbol table's pager

    def inside(self, test):
        return any(test(tag, attributes, classes) for tag, attributes, classes in self.stack)

    def range_id(self):
        for _, attributes, _ in reversed(self.stack):
            element_id = attributes.get("id") or ""
            if element_id.startswith("range-"):
                return element_id[len("range-"):]
        return None

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        classes = (attributes.get("class") or "").split()
        self.tags[tag] = self.tags.get(tag, 0) + 1
        if tag == "body":
            self.body = attributes
        if tag == "section":
            self.sections.append(attributes.get("id"))
        if tag == "div" and "free-tile" in classes and self.inside(
                lambda _t, _a, c: "treemap" in c):
            self.free_tiles.append([attributes.get("data-range"), attributes.get("data-bytes"), "",
                                    attributes.get("title")])
        if tag == "div" and "tile" in classes and self.inside(
                lambda _t, _a, c: "treemap" in c):
            self.tiles += 1
            if "symbol" in classes:
                self.symbol_tiles.append(attributes.get("data-s"))
        if tag == "div" and "unattributed-tile" in classes and self.inside(
                lambda _t, _a, c: "treemap" in c):
            self.unattributed_tiles.append([attributes.get("data-i"), attributes.get("data-bytes"),
                                            attributes.get("title")])
        in_symbols = self.inside(lambda _t, a, _c: a.get("id") == "symbol-table")
        if tag == "tr" and in_symbols and self.inside(lambda t, _a, _c: t == "tbody"):
            self.symbol_rows.append([])
        if tag == "td" and in_symbols and self.symbol_rows:
            self.symbol_rows[-1].append("")
        if tag == "section" and attributes.get("id") == "diff":
            self.diff_shown = "hidden" not in attributes
        if tag == "tr" and self.inside(lambda _t, a, _c: a.get("id") == "diff") and self.inside(
                lambda t, _a, _c: t == "tbody"):
            level = next((a.get("data-level") for t, a, _c in reversed(self.stack) if t == "table"),
                         None)
            self.diff_rows.append([level, attributes.get("class")])
        if tag == "td" and self.diff_rows and self.inside(
                lambda _t, a, _c: a.get("id") == "diff"):
            self.diff_rows[-1].append("")
        if tag == "span" and attributes.get("id") == "status":
            self.status = (attributes.get("class"), "")
        in_budget = self.inside(lambda _t, a, _c: a.get("id") == "budget")
        if tag == "tr" and in_budget and self.inside(lambda t, _a, _c: t == "tbody"):
            self.rule_rows.append([])
        if tag == "td" and in_budget and self.rule_rows:
            self.rule_rows[-1].append("")
        if tag == "td" and "name" in classes and self.inside(
                lambda _t, a, _c: a.get("id") == "section-table"):
            self.names.append("")
        if tag not in k_void:
            self.stack.append((tag, attributes, classes))

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in k_void:
            self.stack.pop()

    def handle_endtag(self, tag):
        for at in range(len(self.stack) - 1, -1, -1):
            if self.stack[at][0] == tag:
                del self.stack[at:]
                return

    def handle_data(self, data):
        if not self.stack:
            return
        tag, attributes, classes = self.stack[-1]
        if self.rule_rows and self.inside(lambda t, a, _c: t == "td" and self.inside(
                lambda _t, b, _c2: b.get("id") == "budget")):
            self.rule_rows[-1][-1] += data
        if tag == "span" and attributes.get("id") == "status":
            self.status = (self.status[0], self.status[1] + data)
        if tag == "div" and "free-tile" in classes and self.free_tiles:
            self.free_tiles[-1][2] += data
        if self.inside(lambda _t, a, _c: a.get("id") == "section-pager"):
            self.pager += data
        if self.inside(lambda _t, a, _c: a.get("id") == "symbol-pager"):
            self.symbol_pager += data
        if tag == "td" and self.symbol_rows and self.inside(
                lambda _t, a, _c: a.get("id") == "symbol-table"):
            self.symbol_rows[-1][-1] += data
        if tag == "script" and attributes.get("id") == "vemora-report":
            self.json_text += data
        elif "used-pct" in classes and self.range_id() is not None:
            self.used_pct[self.range_id()] = self.used_pct.get(self.range_id(), "") + data
        elif tag == "td" and "name" in classes and self.names and self.inside(
                lambda _t, a, _c: a.get("id") == "section-table"):
            self.names[-1] += data
        elif tag == "td" and self.diff_rows and self.inside(
                lambda _t, a, _c: a.get("id") == "diff"):
            self.diff_rows[-1][-1] += data


class checker:
    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.failures = 0

    def fail(self, case, message):
        print(f"FAIL [{case}] {message}")
        self.failures += 1

    def run(self, *arguments, cwd):
        result = subprocess.run([self.args.check, *arguments], cwd=cwd, capture_output=True,
                                timeout=120)
        if result.returncode != 0:
            raise RuntimeError(f"vemora-check {' '.join(arguments)} exited {result.returncode}: "
                               f"{result.stderr.decode(errors='replace')}")
        return result.stdout

    def render(self, page, fragment=""):
        profile = tempfile.mkdtemp(prefix="profile.", dir=self.work)
        environment = dict(os.environ, HOME=self.work)
        result = subprocess.run(
            [self.args.chromium, "--headless", "--no-sandbox", "--disable-gpu",
             "--no-first-run", f"--user-data-dir={profile}", "--virtual-time-budget=5000",
             "--dump-dom", "file://" + os.path.abspath(page) + fragment],
            capture_output=True, timeout=180, env=environment)
        shutil.rmtree(profile, ignore_errors=True)
        dom = page_dom()
        dom.feed(result.stdout.decode("utf-8"))
        dom.close()
        return dom

    def check_loads_nothing(self, case, page):
        text = open(page, "rb").read().decode("utf-8").lower()
        for piece in ("http:", "https:", "src=", "href="):
            if piece in text:
                self.fail(case, f"the page holds {piece!r}")

    def check_example(self):
        case = "tev2 example"
        examples = os.path.join(self.args.source, "examples", "tev2")
        inputs = ["Tev2", os.path.join(examples, "memory.def"),
                  os.path.join(examples, "firmware.map")]
        page = os.path.join(self.work, "tev2.html")
        ranges_csv = os.path.join(self.work, "tev2_ranges.csv")
        self.run("report", *inputs, "--html", page, "--csv-ranges", ranges_csv, cwd=self.work)
        counted = list(csv.DictReader(io.StringIO(
            self.run("explain", *inputs, "--fate", "counted", "--format", "csv",
                     cwd=self.work).decode("utf-8"))))
        ranges = list(csv.DictReader(open(ranges_csv, newline="", encoding="utf-8")))

        self.check_loads_nothing(case, page)
        dom = self.render(page)
        if dom.body.get("data-status") != "ok":
            self.fail(case, f"data-status is {dom.body.get('data-status')!r}, not 'ok'")
        if len(ranges) != 4:
            self.fail(case, f"{len(ranges)} ranges in the CSV, the example has 4")
        for row in ranges:
            expected = "n/a" if row["used_pct"] == "" else f"{float(row['used_pct']):.2f}%"
            shown = dom.used_pct.get(row["id"])
            if shown != expected:
                self.fail(case, f"range {row['id']} shows {shown!r}, expected {expected!r}")
        if set(dom.used_pct) != {row["id"] for row in ranges}:
            self.fail(case, f"bars of {sorted(dom.used_pct)}, ranges {[r['id'] for r in ranges]}")
        if not counted or dom.tiles != len(counted):
            self.fail(case, f"{dom.tiles} tiles for {len(counted)} counted sections")
        if sorted(dom.names) != sorted(row["name"] for row in counted):
            self.fail(case, f"the section table lists {len(dom.names)} names, not the counted ones")
        if dom.diff_shown:
            self.fail(case, "a diff table without a diff in the data")
        self.check_free_tiles(case, dom, ranges)

        # A later build against the report of this one: .text grew by 0x1000, the first .bss
        # by 0x400, and a second .bss of 0x600 bytes is new (examples/tev2-next/firmware.map).
        case = "tev2 example against its baseline"
        base = os.path.join(self.work, "tev2_base.json")
        self.run("report", *inputs, "--json", base, cwd=self.work)
        next_page = os.path.join(self.work, "tev2_next.html")
        self.run("report", inputs[0], inputs[1],
                 os.path.join(self.args.source, "examples", "tev2-next", "firmware.map"),
                 "--html", next_page, "--baseline", base, cwd=self.work)
        self.check_loads_nothing(case, next_page)
        dom = self.render(next_page)
        if dom.body.get("data-status") != "ok" or not dom.diff_shown:
            self.fail(case, f"status {dom.body.get('data-status')!r}, diff shown {dom.diff_shown}")
        # The change sits right under the ranges, before the treemaps and the tables.
        if "ranges" not in dom.sections or dom.sections[dom.sections.index("ranges") + 1:][:1] != [
                "diff"]:
            self.fail(case, f"sections in the order {dom.sections!r}: diff not right after ranges")
        rows = {}
        for row in dom.diff_rows:
            rows.setdefault(row[0], []).append(row[1:])
        # Totals: area, base, current, delta, status; program 0x1000 more, memory 0x400 + 0x600.
        expected_totals = [["grow", "program", "135104", "139200", "+4096", "changed"],
                           ["grow", "memory", "20036", "22596", "+2560", "changed"]]
        if rows.get("Totals") != expected_totals:
            self.fail(case, f"totals {rows.get('Totals')!r}, expected {expected_totals!r}")
        ranges = rows.get("Ranges", [])
        if len(ranges) != 4 or [r[1] for r in ranges[:2]] != ["program1", "memory0"]:
            self.fail(case, f"ranges {ranges!r}: program1 and memory0 first of 4")
        elif ranges[0][0] != "grow" or ranges[0][-2:] != ["+4096", "changed"]:
            self.fail(case, f"program1 row {ranges[0]!r}")
        elif ranges[1][0] != "grow" or ranges[1][-2:] != ["+2560", "changed"]:
            self.fail(case, f"memory0 row {ranges[1]!r}")
        elif any(r[0] != "same" or r[-1] != "unchanged" for r in ranges[2:]):
            self.fail(case, f"unchanged ranges {ranges[2:]!r}")
        # Used % base and current in two decimals: program1 held 134208 of 458752 bytes
        # (29.2550...) and holds 4096 more (138304, 30.1479...); memory0 16608 and 19168 of
        # 32768 (50.6836..., 58.4960...).
        expected_pcts = [["program1", "29.26", "30.15"], ["memory0", "50.68", "58.50"]]
        if [r[1:4] for r in ranges[:2]] != expected_pcts:
            self.fail(case, f"used % {[r[1:4] for r in ranges[:2]]!r}, expected {expected_pcts!r}")
        sections = rows.get("Sections", [])
        # name, base range, current range, base, current, delta, status; largest |delta| first.
        expected_sections = [["grow", ".text", "program1", "program1", "107460", "111556", "+4096",
                              "changed"],
                             ["grow", ".bss", "", "memory0", "0", "1536", "+1536", "added"],
                             ["grow", ".bss", "memory0", "memory0", "7780", "8804", "+1024",
                              "changed"]]
        if sections[:3] != expected_sections:
            self.fail(case, f"sections {sections[:3]!r}, expected {expected_sections!r}")
        if len(sections) < 4 or any(r[0] != "same" or r[-1] != "unchanged" for r in sections[3:]):
            self.fail(case, f"the other sections are not all unchanged: {sections[3:]!r}")

        # The other way round every change is a shrinkage, and the new .bss is removed.
        case = "tev2 example against a later baseline"
        later = os.path.join(self.work, "tev2_next.json")
        self.run("report", inputs[0], inputs[1],
                 os.path.join(self.args.source, "examples", "tev2-next", "firmware.map"),
                 "--json", later, cwd=self.work)
        back_page = os.path.join(self.work, "tev2_back.html")
        self.run("report", *inputs, "--html", back_page, "--baseline", later, cwd=self.work)
        dom = self.render(back_page)
        sections = [row[1:] for row in dom.diff_rows if row[0] == "Sections"][:3]
        expected_sections = [["shrink", ".text", "program1", "program1", "111556", "107460",
                              "-4096", "changed"],
                             ["shrink", ".bss", "memory0", "", "1536", "0", "-1536", "removed"],
                             ["shrink", ".bss", "memory0", "memory0", "8804", "7780", "-1024",
                              "changed"]]
        if dom.body.get("data-status") != "ok" or sections != expected_sections:
            self.fail(case, f"status {dom.body.get('data-status')!r}, sections {sections!r}, "
                            f"expected {expected_sections!r}")

        # The strict budget fails on the later build: the header shows the verdict, the table
        # holds its seven rules in the file's order.
        case = "check --html with the strict budget"
        check_page = os.path.join(self.work, "tev2_check.html")
        result = subprocess.run(
            [self.args.check, "check", inputs[0], inputs[1],
             os.path.join(self.args.source, "examples", "tev2-next", "firmware.map"), "--budget",
             os.path.join(examples, "budget-strict.json"), "--baseline", base, "--html",
             check_page], cwd=self.work, capture_output=True, timeout=120)
        if result.returncode != 1:
            self.fail(case, f"exit {result.returncode}, expected 1 (a rule failed)")
        dom = self.render(check_page)
        if dom.body.get("data-status") != "ok":
            self.fail(case, f"data-status is {dom.body.get('data-status')!r}")
        if dom.status != ("status status-fail", "fail"):
            self.fail(case, f"header status {dom.status!r}")
        expected_rules = [["ranges.program1", "max_used_pct", "pass"],
                          ["ranges.program1", "max_growth_bytes", "fail"],
                          ["ranges.memory0", "max_used_pct", "fail"],
                          ["ranges.memory0", "min_free_bytes", "pass"],
                          ["groups.text ", "max_growth_pct", "fail"],
                          ["dropped.straddles_range", "level", "pass"],
                          ["dropped.outside_ranges", "level", "warn"]]
        shown = [[row[0], row[1], row[4]] for row in dom.rule_rows if len(row) == 6]
        if shown != expected_rules or len(dom.rule_rows) != 7:
            self.fail(case, f"rules {dom.rule_rows!r}, expected {expected_rules!r}")
        # The page never replaces the budget it was made from.
        result = subprocess.run(
            [self.args.check, "check", *inputs, "--budget", os.path.join(examples, "budget.json"),
             "--html", os.path.join(examples, "budget.json")], cwd=self.work,
            capture_output=True, timeout=120)
        if result.returncode != 3 or b"is an input of this run" not in result.stderr:
            self.fail(case, f"--html onto the budget: exit {result.returncode}, {result.stderr!r}")

    def check_free_tiles(self, case, dom, ranges):
        """One free tile per range that is not full, holding its free bytes; none else."""
        expected = sorted([row["id"], row["free"], "free"] for row in ranges
                          if int(row["free"]) > 0)
        shown = sorted(tile[:3] for tile in dom.free_tiles)
        if shown != expected:
            self.fail(case, f"free tiles {shown!r}, expected {expected!r}")
        for tile in dom.free_tiles:
            if tile[3] != f"free: {tile[1]} bytes of {tile[0]}":
                self.fail(case, f"free tile title {tile[3]!r}")

    def check_image(self):
        case = "cortex-m image"
        examples = os.path.join(self.args.source, "examples", "cortex-m")
        inputs = ["Elf", os.path.join(examples, "memory.def"), os.path.join(examples, "firmware.elf")]
        page = os.path.join(self.work, "image.html")
        data = os.path.join(self.work, "image.json")
        self.run("report", *inputs, "--html", page, "--json", data, cwd=self.work)
        report = json.load(open(data, encoding="utf-8"))
        symbols = report["symbols"]
        sections = report["sections"]
        self.check_loads_nothing(case, page)
        dom = self.render(page)
        if dom.body.get("data-status") != "ok":
            self.fail(case, f"data-status is {dom.body.get('data-status')!r}, not 'ok'")
        if not symbols or sorted(dom.symbol_tiles, key=int) != [str(i) for i in range(len(symbols))]:
            self.fail(case, f"{len(dom.symbol_tiles)} symbol tiles for {len(symbols)} symbols")
        holding = {symbol["section"] for symbol in symbols}
        counted = [i for i, section in enumerate(sections) if section["fate"] == "counted"]
        # A section without symbols stays one tile; one with symbols is their box.
        if dom.tiles - len(dom.symbol_tiles) != len([i for i in counted if i not in holding]):
            self.fail(case, f"{dom.tiles - len(dom.symbol_tiles)} section tiles, expected one "
                            f"for each of the {len(counted) - len(holding)} without symbols")
        expected = sorted([str(i), str(sections[i]["unattributed"])] for i in holding
                          if sections[i]["unattributed"])
        shown = sorted(tile[:2] for tile in dom.unattributed_tiles)
        if shown != expected:
            self.fail(case, f"unattributed tiles {shown!r}, expected {expected!r}")
        vectors = [i for i in counted if sections[i]["name"] == ".isr_vector"]
        if len(vectors) != 1 or [str(vectors[0]), "4"] not in shown:
            self.fail(case, f"no unattributed tile of 4 bytes for .isr_vector: {shown!r}")
        else:
            title = next(t[2] for t in dom.unattributed_tiles if t[0] == str(vectors[0]))
            if title != "unattributed: 4 bytes of .isr_vector, program0":
                self.fail(case, f"the .isr_vector unattributed tile's title is {title!r}")
        # name, kind, binding, section, range, bytes, size: _dtoa_r is the largest (3856 bytes).
        if len(dom.symbol_rows) != min(len(symbols), 500):
            self.fail(case, f"{len(dom.symbol_rows)} symbol rows for {len(symbols)} symbols")
        elif dom.symbol_rows[0] != ["_dtoa_r", "function", "global", ".text", "program0", "3856",
                                    "3856"]:
            self.fail(case, f"the first symbol row is {dom.symbol_rows[0]!r}")
        elif [int(row[5]) for row in dom.symbol_rows] != sorted(
                (int(row[5]) for row in dom.symbol_rows), reverse=True):
            self.fail(case, "the symbol rows are not largest first")
        if dom.symbol_pager != f"{len(symbols)} symbols":
            self.fail(case, f"the symbol pager reads {dom.symbol_pager!r}")

        case = "cortex-m image, symbols searched for"
        dom = self.render(page, "#symbol-search=PRINTF")
        wanted = [s for s in symbols if "printf" in s["name"].lower() or
                  "printf" in s["display"].lower()]
        names = sorted(row[0] for row in dom.symbol_rows)
        if not wanted or names != sorted(s["display"] for s in wanted) or "printf" not in names:
            self.fail(case, f"the search for PRINTF shows {names!r}")
        if dom.symbol_pager != f"{len(wanted)} of {len(symbols)} symbols match":
            self.fail(case, f"the symbol pager reads {dom.symbol_pager!r}")

        case = "hostile symbol names"
        hostile = os.path.join(self.work, "hostile.elf")
        renamed = {"main": "</script><b>x</b>", "k_sine": "a<b&\"c\"'d'<!--"}
        command = [self.args.objcopy]
        for old, new in renamed.items():
            command.append(f"--redefine-sym={old}={new}")
        subprocess.run(command + [inputs[2], hostile], check=True, timeout=60)
        page = os.path.join(self.work, "hostile_image.html")
        self.run("report", inputs[0], inputs[1], hostile, "--html", page, cwd=self.work)
        self.check_loads_nothing(case, page)
        dom = self.render(page)
        if dom.body.get("data-status") != "ok":
            self.fail(case, f"data-status is {dom.body.get('data-status')!r}, not 'ok'")
        if dom.tags.get("b") or dom.tags.get("script") != 2:
            self.fail(case, f"{dom.tags.get('b')} <b>, {dom.tags.get('script')} script elements")
        shown = {row[0] for row in dom.symbol_rows}
        for name in renamed.values():
            if name not in shown:
                self.fail(case, f"the symbol table does not read {name!r}")

        # The renamed image against the report of the original: main and k_sine are removed,
        # their new names added, and the table of symbol changes lists every row of the diff.
        case = "symbol changes against a baseline image"
        page = os.path.join(self.work, "hostile_diff.html")
        self.run("report", inputs[0], inputs[1], hostile, "--html", page, "--baseline", data,
                 cwd=self.work)
        dom = self.render(page)
        diff = json.loads(dom.json_text)["diff"]
        changes = diff["symbols"]["rows"]
        table = [row[1:] for row in dom.diff_rows if row[0] == "Symbol changes"]
        if dom.body.get("data-status") != "ok" or dom.tags.get("b"):
            self.fail(case, f"data-status {dom.body.get('data-status')!r}, {dom.tags.get('b')} <b>")
        if diff["symbols"]["sides"] != "both" or len(table) != min(len(changes), 500):
            self.fail(case, f"{len(table)} rows in the table for {len(changes)} symbol rows")
        else:
            # row class, symbol, status, range, section, base, current, delta; in the diff's order.
            first = changes[0]
            place = first["current"] or first["base"]
            expected = [{1: "grow", -1: "shrink"}.get((first["delta"] > 0) - (first["delta"] < 0),
                                                      "same"), first["display"], first["status"],
                        place["range"], place["section"],
                        str(first["base"]["bytes"] if first["base"] else 0),
                        str(first["current"]["bytes"] if first["current"] else 0),
                        ("+" if first["delta"] > 0 else "") + str(first["delta"])]
            if table[0] != expected:
                self.fail(case, f"the first row is {table[0]!r}, expected {expected!r}")
            statuses = {row[1]: row[2] for row in table}
            for old, new in renamed.items():
                if statuses.get(old) != "removed" or statuses.get(new) != "added":
                    self.fail(case, f"{old!r} is {statuses.get(old)!r}, {new!r} is "
                                    f"{statuses.get(new)!r}: not removed and added")

    def check_many_symbols(self):
        case = "4200 symbols on a canvas"
        folder = os.path.join(self.work, "many_symbols")
        os.makedirs(folder, exist_ok=True)
        # 4200 constants of 4 bytes in .rodata: more tiles than the page draws as elements.
        source = [f"const int k_value_{i} = {i};" for i in range(4200)]
        with open(os.path.join(folder, "many.c"), "w", encoding="ascii") as out:
            out.write("\n".join(source) + "\n")
        subprocess.run([self.args.gcc, "-mcpu=cortex-m3", "-mthumb", "-O1", "-nostdlib",
                        "-nostartfiles", "-Wl,--entry=0", "-Wl,-Ttext=0x08000000",
                        "-Wl,--no-warn-rwx-segments", "-o", "many.elf", "many.c"], cwd=folder,
                       check=True, timeout=120, capture_output=True)
        with open(os.path.join(folder, "memory.def"), "w", encoding="ascii") as out:
            out.write("PROGRAM 0x08000000 0x00010000\nMEMORY  0x20000000 0x00001000\n")
        self.run("report", "Elf", "memory.def", "many.elf", "--html", "many.html", "--json",
                 "many.json", cwd=folder)
        report = json.load(open(os.path.join(folder, "many.json"), encoding="utf-8"))
        holding = {symbol["section"] for symbol in report["symbols"]}
        counted = [s for s in report["sections"] if s["fate"] == "counted"]
        tiles = len(report["symbols"]) + sum(
            1 for i in holding if report["sections"][i]["unattributed"]) + sum(
            1 for i, s in enumerate(report["sections"]) if s["fate"] == "counted" and
            i not in holding)
        if len(report["symbols"]) != 4200 or not counted:
            self.fail(case, f"{len(report['symbols'])} symbols in {len(counted)} sections")
        result = subprocess.run(
            [self.args.chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             f"--user-data-dir={tempfile.mkdtemp(prefix='profile.', dir=self.work)}",
             "--virtual-time-budget=5000", "--dump-dom",
             "file://" + os.path.join(folder, "many.html")],
            capture_output=True, timeout=180, env=dict(os.environ, HOME=self.work))
        dom = result.stdout.decode("utf-8")
        for expected in ('data-status="ok"', f'data-tiles="{tiles}"', 'data-drawn="canvas"'):
            if expected not in dom:
                self.fail(case, f"no {expected} in the page drawn")

    def check_overfull(self):
        case = "an overfull range"
        folder = os.path.join(self.work, "overfull")
        os.makedirs(folder, exist_ok=True)
        # Two sections of 0x100 bytes each in a program range of 0x100: 512 of 256 used; the
        # memory range holds nothing, so it is all free.
        rows = [b"Memory map\n\n"
                b"Name                            Start     End         Length   Space Type\n"
                b"-------------------------------------------------------------------------\n"
                b"\nCode memory:\n"]
        for name in (b"ONE_CODE", b"TWO_CODE"):
            rows.append(name + b" " + b"." * (31 - len(name)) +
                        b"C00000H   C000FFH     000100H  ROM  CODE\n")
        with open(os.path.join(folder, "overfull.map"), "wb") as out:
            out.write(b"".join(rows))
        with open(os.path.join(folder, "overfull.def"), "wb") as out:
            out.write(b"PROGRAM 0xC00000 0x000100\nMEMORY  0x00C000 0x000100\nSEARCH CODE\n")
        page = os.path.join(folder, "overfull.html")
        ranges_csv = os.path.join(folder, "ranges.csv")
        self.run("report", "Orm6", "overfull.def", "overfull.map", "--html", page,
                 "--csv-ranges", ranges_csv, cwd=folder)
        ranges = list(csv.DictReader(open(ranges_csv, newline="", encoding="utf-8")))
        if [(r["id"], r["used"], r["free"]) for r in ranges] != [("program0", "512", "-256"),
                                                                 ("memory0", "0", "256")]:
            self.fail(case, f"the ranges are {ranges!r}, not one overfull and one empty")
        dom = self.render(page)
        if dom.body.get("data-status") != "ok":
            self.fail(case, f"data-status is {dom.body.get('data-status')!r}, not 'ok'")
        if dom.used_pct.get("program0") != "200.00%":
            self.fail(case, f"program0 shows {dom.used_pct.get('program0')!r}, expected '200.00%'")
        self.check_free_tiles(case, dom, ranges)
        if dom.tiles != 2 or dom.pager != "2 counted sections":
            self.fail(case, f"{dom.tiles} tiles for 2 counted sections, pager {dom.pager!r}")

        # With one of the two the range is exactly full: no free tile, one counted section.
        case = "an exactly full range"
        with open(os.path.join(folder, "full.map"), "wb") as out:
            out.write(b"".join(rows[:-1]))
        self.run("report", "Orm6", "overfull.def", "full.map", "--html", page, "--csv-ranges",
                 ranges_csv, cwd=folder)
        ranges = list(csv.DictReader(open(ranges_csv, newline="", encoding="utf-8")))
        dom = self.render(page)
        if ranges[0]["free"] != "0" or dom.body.get("data-status") != "ok":
            self.fail(case, f"ranges {ranges!r}, status {dom.body.get('data-status')!r}")
        self.check_free_tiles(case, dom, ranges)
        if dom.pager != "1 counted section":
            self.fail(case, f"the pager reads {dom.pager!r}, expected '1 counted section'")

    def check_hostile_names(self):
        case = "hostile names"
        folder = os.path.join(self.work, "hostile")
        os.makedirs(folder, exist_ok=True)
        # An Altium map: a name runs up to its first full stop (the blank before the dots
        # included), the start in column 33, the length in column 55.
        names = [b"</script><b>x</b>", b"A&amp;B<C>\"D\"'E'_CODE", b"CAF\xe9_CODE", b"<!--Z-->",
                 b"X\x80Y_ROM"]
        rows = [b"Memory map of hostile names\n\n"
                b"Name                            Start     End         Length   Space Type\n"
                b"-------------------------------------------------------------------------\n"
                b"\nCode memory:\n"]
        start = 0xC04000
        for name in names:
            rows.append(name + b" " + b"." * (31 - len(name)) +
                        b"%06XH   %06XH     000100H  ROM  CODE\n" % (start, start + 0xFF))
            start += 0x100
        ram = b"R</script>AM"
        rows.append(b"\nData memory:\n" + ram + b" " + b"." * (31 - len(ram)) +
                    b"00C000H   00C0FFH     000100H  RAM  DATA\n")
        with open(os.path.join(folder, "hostile.map"), "wb") as out:
            out.write(b"".join(rows))
        with open(os.path.join(folder, "hostile.def"), "wb") as out:
            out.write(b"PROGRAM 0xC00000 0x010000 // fl<a>sh & \"x\" 'y' \xe4 </script>\n"
                      b"MEMORY  0x00C000 0x002000 // ram <!-- x\n"
                      b"SEARCH CODE\nSEARCH </script><b>x\n")
        page = os.path.join(folder, "hostile.html")
        self.run("report", "Orm6", "hostile.def", "hostile.map", "--html", page, cwd=folder)

        self.check_loads_nothing(case, page)
        dom = self.render(page)
        if dom.body.get("data-status") != "ok":
            self.fail(case, f"data-status is {dom.body.get('data-status')!r}, not 'ok'")
        for tag in ("b", "a"):
            if dom.tags.get(tag):
                self.fail(case, f"a name or label became {dom.tags[tag]} <{tag}> elements")
        if dom.tags.get("script") != 2:
            self.fail(case, f"{dom.tags.get('script')} script elements, expected 2")
        expected = ["</script><b>x</b> ", "A&amp;B<C>\"D\"'E'_CODE ", "CAF\u00e9_CODE ",
                    "<!--Z--> ", "X\u0080Y_ROM ", "R</script>AM "]
        if sorted(dom.names) != sorted(expected):
            self.fail(case, f"the section table reads {dom.names!r}")
        if dom.tiles != 6:
            self.fail(case, f"{dom.tiles} tiles for 6 counted sections")
        if dom.used_pct.get("program0") != "1.95%":  # five sections of 256 bytes in 65536
            self.fail(case, f"program0 shows {dom.used_pct.get('program0')!r}, expected '1.95%'")

    def check_many_sections(self):
        case = "100 000 sections"
        script = os.path.join(self.args.source, "bench", "html_report_bench.sh")
        folder = os.path.join(self.work, "many")
        result = subprocess.run(["bash", script, self.args.check, folder, "100000"],
                                capture_output=True, timeout=240,
                                env=dict(os.environ, CHROMIUM=self.args.chromium))
        output = result.stdout.decode("utf-8", errors="replace")
        for expected in ("counted sections: 100000", 'data-tiles="100000"', 'data-status="ok"'):
            if result.returncode != 0 or expected not in output:
                self.fail(case, f"no {expected!r} in: {output} {result.stderr[-2000:]!r}")
                return
        shutil.rmtree(folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", required=True)
    parser.add_argument("--chromium", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--keep", help="write into this folder and keep it")
    parser.add_argument("--objcopy", default=shutil.which("arm-none-eabi-objcopy"),
                        help="binutils' objcopy for ARM, which renames the image's symbols")
    parser.add_argument("--gcc", default=shutil.which("arm-none-eabi-gcc"),
                        help="the ARM compiler, which builds an image of many symbols")
    args = parser.parse_args()
    work = args.keep or tempfile.mkdtemp(prefix="vemora_html.")
    os.makedirs(work, exist_ok=True)
    check = checker(args, os.path.abspath(work))
    try:
        check.check_example()
        if args.objcopy:
            check.check_image()
        else:
            print("SKIPPED: the cortex-m image (no arm-none-eabi-objcopy)")
        if args.gcc:
            check.check_many_symbols()
        else:
            print("SKIPPED: an image of many symbols (no arm-none-eabi-gcc)")
        check.check_hostile_names()
        check.check_overfull()
        check.check_many_sections()
    finally:
        if not args.keep and check.failures == 0:
            shutil.rmtree(work, ignore_errors=True)
    if check.failures:
        print(f"{check.failures} failures; the pages are in {work}")
        return 1
    print("html report: the example and the hostile names render and check out")
    return 0


if __name__ == "__main__":
    sys.exit(main())
