"""Validates every *.json report in a folder against the report schema.

Usage: check_reports.py SCHEMA FOLDER. Exit 0 when all are valid, 1 when one
is not (or none was found), 77 (skipped) when python3-jsonschema is missing.
"""
import json
import pathlib
import sys

try:
    import jsonschema
except ImportError:
    print("SKIPPED: python3-jsonschema is not installed (apt-get install python3-jsonschema)")
    sys.exit(77)


def main():
    schema = json.loads(pathlib.Path(sys.argv[1]).read_text(encoding="utf-8"))
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    validator = validator_class(schema)
    reports = sorted(pathlib.Path(sys.argv[2]).glob("*.json"))
    if not reports:
        print("no report found in", sys.argv[2])
        return 1
    failed = 0
    for report in reports:
        # Strict UTF-8, and no NaN or Infinity, which Python would accept.
        text = report.read_bytes().decode("utf-8")
        document = json.loads(text, parse_constant=lambda name: sys.exit(
            f"{report.name}: {name} is not JSON"))
        errors = sorted(validator.iter_errors(document), key=lambda e: list(e.path))
        for error in errors:
            print(f"{report.name}: {'/'.join(map(str, error.path))}: {error.message}")
        failed += bool(errors)
        print(f"{report.name}: {'invalid' if errors else 'valid'}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
