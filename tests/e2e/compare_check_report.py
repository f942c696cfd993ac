#!/usr/bin/python3
"""Compares the console report of vemora with the JSON report of vemora-check.

    compare_check_report.py CONSOLE_STDOUT REPORT_JSON

Every figure the console prints (area totals and used bytes, the program ranges,
the SEARCH entries, the accounted and ambiguous bytes, the averages) must be the
JSON's exact figure, taken modulo 2^32 where the console sums in 32 bits. A run
without a console report must have counted nothing. Exit 0 when all agree, else 1
with one line per difference.
"""
import json
import re
import sys

WRAP = 1 << 32


def main():
    with open(sys.argv[1], encoding="latin-1") as f:
        lines = [line.rstrip("\r\n") for line in f]
    with open(sys.argv[2], encoding="utf-8") as f:
        report = json.load(f)
    problems = []

    def same(what, console, exact, wrap=True):
        expected = exact % WRAP if wrap else exact
        if console != expected:
            problems.append(f"{what}: console {console}, JSON {exact}")

    def close(what, console, exact):
        if exact is None or abs(console - exact) > 0.005:
            problems.append(f"{what}: console {console}, JSON {exact}")

    program = report["totals"]["program"]
    memory = report["totals"]["memory"]
    if not any("Vemora Memory Report" in line for line in lines):
        same("program used without a report", 0, program["used"], False)
        same("memory bytes without a report", 0, memory["used_bytes"], False)
        same("memory bits without a report", 0, memory["used_bits"], False)
        return finish(problems)

    def value(pattern, start=0):
        for i in range(start, len(lines)):
            match = re.match(pattern, lines[i])
            if match:
                return match.group(1), i
        problems.append(f"no console line like {pattern!r}")
        return None, len(lines)

    text, _ = value(r"Mem area used: +(\d+)$")
    if text is not None:
        same("memory bytes", int(text), memory["used_bytes"])
    text, _ = value(r"Bit area used: +(\d+)$")
    if text is not None:
        same("memory bits", int(text), memory["used_bits"])
    text, _ = value(r"Prg area used: +(\d+)$")
    if text is not None:
        same("program used", int(text), program["used"])
    for label, area in (("Memory area:", memory), ("Program area:", program)):
        _, at = value(re.escape(label) + r"()$")
        text, _ = value(r"Total: +(\d+)$", at)
        if text is not None:
            same(f"{label} total", int(text), area["total"])
    _, at = value(r"Memory area:()$")
    text, _ = value(r"Used: +([\d.]+)$", at)
    if text is not None:
        wrapped = memory["used_bytes"] % WRAP + (memory["used_bits"] % WRAP) / 8
        close("memory used", float(text), wrapped)
    _, at = value(r"Program area:()$")
    text, _ = value(r"Used: +([\d.]+)$", at)
    if text is not None:
        close("program used (fixed)", float(text), program["used"] % WRAP)
    for name, area in (("Mem", memory), ("Prg", program)):
        text, _ = value(rf"Average module, {name} area: +(\S+)$")
        if text is not None and area["average"] is not None:
            close(f"{name} average", float(text), area["average"])

    programs = [r for r in report["ranges"] if r["kind"] == "program"]
    segments = [re.match(r"  Prg seg(\d+): +Used +(\d+), Free +(-?\d+), Total +(\d+),", line)
                for line in lines]
    segments = [m for m in segments if m]
    same("program ranges", len(segments), len(programs), False)
    for match, rng in zip(segments, programs):
        same(f"{rng['id']} index", int(match.group(1)), rng["index"], False)
        same(f"{rng['id']} used", int(match.group(2)), rng["used"])
        same(f"{rng['id']} total", int(match.group(4)), rng["size"])

    entries = [re.match(r" *(\d+) : +\S+% , Search = ", line) for line in lines]
    entries = [m for m in entries if m]
    if any(line == "Program breakdown:" for line in lines):
        same("SEARCH entries", len(entries), len(report["groups"]), False)
        for match, group in zip(entries, report["groups"]):
            same(f"SEARCH {group['index']} bytes", int(match.group(1)), group["bytes"])
        text, _ = value(r"(\d+)\tAccounted for in search: ")
        if text is not None:
            same("accounted bytes", int(text), report["accounted_bytes"])
    ambiguous = [re.match(r"Warning: Ambiguous search with (\d+) = ", line) for line in lines]
    ambiguous = [m for m in ambiguous if m]
    same("ambiguous bytes", int(ambiguous[0].group(1)) if ambiguous else 0,
         report["ambiguous"]["bytes"], bool(ambiguous))
    if not ambiguous and report["ambiguous"]["matches"]:
        problems.append("JSON lists ambiguous matches the console does not report")
    return finish(problems)


def finish(problems):
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
