#!/usr/bin/env python3
"""Checks that the man pages describe the program that was built.

  check_man_page.py --check EXE --source DIR [-- EMULATOR...]

For every subcommand that `vemora-check --help` lists, the options of `vemora-check SUB
--help` are each described (a .TP item) in that subcommand's part of docs/man/vemora-check.1
(from ".SS SUB" to the next .SS or .SH), and that part describes no option the subcommand
lacks; the options of every command (--help, --version) are described under .SH OPTIONS;
the page names no option anywhere that no command has; every exit code of the help's footer
has its item under EXIT STATUS; docs/man/vemora.1 names every subcommand. The same checks
run on the page with one item taken out and with one made-up option put in, and must fail.
"""
import argparse
import os
import re
import subprocess
import sys

k_option = re.compile(r"--[A-Za-z0-9][A-Za-z0-9-]*")
# An option line of CLI11's help: the names start the line after a short indent, a
# description's continuation is indented further and starts with text.
k_help_line = re.compile(r"^ {1,8}(-[A-Za-z0-9],?\s*)?(--[A-Za-z0-9][A-Za-z0-9-]*)")


def help_of(args, *words):
    result = subprocess.run([*args.emulator, args.check, *words, "--help"], capture_output=True,
                            timeout=60)
    if result.returncode != 0:
        raise RuntimeError(f"vemora-check {' '.join(words)} --help exited {result.returncode}")
    return result.stdout.decode("utf-8").replace("\r\n", "\n")


def help_options(text):
    """The option names of a help text, in its OPTIONS part (before the footer)."""
    options = set()
    for line in text.split("\nExit codes:")[0].splitlines():
        match = k_help_line.match(line)
        if match:
            options.add(match.group(2))
    return options


def subcommands(text):
    names = []
    part = re.split(r"\nSUBCOMMANDS:\n", text, maxsplit=1, flags=re.I)
    if len(part) < 2:
        return names
    for line in part[1].splitlines():
        match = re.match(r"^ {1,8}([a-z][a-z-]*)\s", line + " ")
        if not match:
            break
        names.append(match.group(1))
    return names


def exit_codes(text):
    footer = text.split("\nExit codes:\n", 1)
    return re.findall(r"^  (\d)  ", footer[1], re.M) if len(footer) == 2 else []


def roff_text(page):
    return page.replace("\\-", "-")


def parts_of(page):
    """The .SH and .SS parts of a page: name -> lines; .SS names are "SS name"."""
    parts = {}
    name = None
    for line in roff_text(page).splitlines():
        heading = re.match(r"^\.(SH|SS)\s+\"?([^\"]*)\"?\s*$", line)
        if heading:
            name = heading.group(2) if heading.group(1) == "SH" else "SS " + heading.group(2)
            parts[name] = []
        elif name is not None:
            parts[name].append(line)
    return parts


def described(lines):
    """The options a part describes: those on the line after each .TP."""
    options = set()
    for at, line in enumerate(lines):
        if line.strip() == ".TP" and at + 1 < len(lines):
            options.update(k_option.findall(lines[at + 1]))
    return options


def problems_of(page, common, commands, codes, console_page):
    """Every way the page and the program disagree, as lines; empty when they agree."""
    problems = []
    parts = parts_of(page)
    every = set(common)
    for options in commands.values():
        every |= options
    for command, options in commands.items():
        part = parts.get("SS " + command)
        if part is None:
            problems.append(f"{command}: no .SS {command} part")
            continue
        have = described(part)
        for option in sorted((options - common) - have):
            problems.append(f"{command}: {option} is not described in its part")
        for option in sorted(have - options):
            problems.append(f"{command}: the part describes {option}, which {command} lacks")
    for name in parts:
        if name.startswith("SS ") and name[3:] not in commands:
            problems.append(f"the page has a part for {name[3:]}, which is no subcommand")
    general = described(parts.get("OPTIONS", []))
    for option in sorted(common - general):
        problems.append(f"{option} is not described under OPTIONS")
    for option in sorted(general - common):
        problems.append(f"OPTIONS describes {option}, which not every command has")
    for option in sorted(set(k_option.findall(roff_text(page))) - every):
        problems.append(f"the page names {option}, which no command has")
    status = parts.get("EXIT STATUS", [])
    for code in codes:
        if not any(status[at].strip() == ".TP" and status[at + 1].strip() == ".B " + code
                   for at in range(len(status) - 1)):
            problems.append(f"exit code {code} has no item under EXIT STATUS")
    for command in commands:
        if not re.search(r"\.RB \( " + re.escape(command) + r" \)", console_page):
            problems.append(f"vemora.1 does not name the subcommand {command}")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("emulator", nargs="*")
    args = parser.parse_args()
    top = help_of(args)
    common = help_options(top)
    names = subcommands(top)
    if not names or "--help" not in common:
        print(f"FAIL cannot read the subcommands or options of the help:\n{top}")
        return 1
    commands = {name: help_options(help_of(args, name)) for name in names}
    codes = exit_codes(top)
    man = os.path.join(args.source, "docs", "man")
    page = open(os.path.join(man, "vemora-check.1"), encoding="utf-8").read()
    console_page = open(os.path.join(man, "vemora.1"), encoding="utf-8").read()

    failures = problems_of(page, common, commands, codes, console_page)
    for problem in failures:
        print("FAIL " + problem)

    # The check itself must notice an option left out and one made up.
    first = next(name for name in names if commands[name] - common)
    option = sorted(commands[first] - common)[0]
    item = re.compile(r"^\.TP\n\.B[IR]? " + re.escape(option.replace("-", "\\-")) + r".*\n",
                      re.M)
    without = item.sub("", page, count=1)
    if without == page or not problems_of(without, common, commands, codes, console_page):
        print(f"FAIL the check does not notice {first} {option} left out of the page")
        failures.append("self-check")
    made_up = page.replace(".SS " + first + "\n", ".SS " + first + "\n.TP\n.B \\-\\-made\\-up\n", 1)
    if not problems_of(made_up, common, commands, codes, console_page):
        print(f"FAIL the check does not notice a made-up option in {first}'s part")
        failures.append("self-check")
    if failures:
        return 1
    print(f"man pages: {len(names)} subcommands, "
          f"{sum(len(o - common) for o in commands.values())} options, {len(codes)} exit codes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
