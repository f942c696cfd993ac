"""Validates every *.json report in a folder against the report schema, every
*.json in its subfolder lint/ as a lint document: {"diagnostics": [...]}
with the report's diagnostics array and no other key, and every *.json in
diff/ as a vemora-diff document (diff --format json), the schema's "diff".

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


def lint_schema(schema):
    """The report schema narrowed to its diagnostics: same $defs, same items."""
    narrowed = dict(schema)
    narrowed["title"] = "vemora-lint"
    narrowed["required"] = ["diagnostics"]
    narrowed["properties"] = {"diagnostics": schema["properties"]["diagnostics"]}
    narrowed["additionalProperties"] = False
    return narrowed


def diff_schema(schema):
    """The report schema narrowed to the diff object it embeds: same $defs."""
    narrowed = dict(schema["properties"]["diff"])
    narrowed["$schema"] = schema["$schema"]
    narrowed["title"] = "vemora-diff"
    narrowed["$defs"] = schema["$defs"]
    return narrowed


def validator_of(schema):
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    return validator_class(schema)


def main():
    schema = json.loads(pathlib.Path(sys.argv[1]).read_text(encoding="utf-8"))
    folder = pathlib.Path(sys.argv[2])
    failed = 0
    for validator, pattern in ((validator_of(schema), "*.json"),
                               (validator_of(lint_schema(schema)), "lint/*.json"),
                               (validator_of(diff_schema(schema)), "diff/*.json")):
        reports = sorted(folder.glob(pattern))
        if not reports:
            print("no", pattern, "found in", folder)
            return 1
        failed += check(validator, reports)
    return 1 if failed else 0


def check(validator, reports):
    failed = 0
    for report in reports:
        label = f"{report.parent.name}/{report.name}"
        # Strict UTF-8, and no NaN or Infinity, which Python would accept.
        text = report.read_bytes().decode("utf-8")
        document = json.loads(text, parse_constant=lambda name: sys.exit(
            f"{label}: {name} is not JSON"))
        errors = sorted(validator.iter_errors(document), key=lambda e: list(e.path))
        for error in errors:
            print(f"{label}: {'/'.join(map(str, error.path))}: {error.message}")
        failed += bool(errors)
        print(f"{label}: {'invalid' if errors else 'valid'}")
    return failed


if __name__ == "__main__":
    sys.exit(main())
