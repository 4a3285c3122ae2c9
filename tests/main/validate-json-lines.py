#!/usr/bin/python3
"""Holds every line of JSON Lines files to a JSON Schema (draft 2020-12).

Usage: validate-json-lines.py SCHEMA FILE...
The schema is the JSON report's: one of a process (an object with "pid") or a
file. Prints one line per violation (file, line, where in the object, why) and
exits with 1 when there is any; a line that is no valid UTF-8 or no JSON counts
too. Debian's python3-jsonschema is the validator.
"""
import json
import sys

from jsonschema import Draft202012Validator


def main(schema_path, *files):
    with open(schema_path, encoding="utf-8") as document:
        schema = json.load(document)
    Draft202012Validator.check_schema(schema)

    # Each object against the kind it claims to be, so a violation is named
    # within that kind rather than as "neither of the two".
    def validator(kind):
        return Draft202012Validator({"$ref": f"#/$defs/{kind}", "$defs": schema["$defs"]},
                                    format_checker=Draft202012Validator.FORMAT_CHECKER)
    process, file = validator("process"), validator("file")

    violations = 0
    for name in files:
        with open(name, "rb") as lines:
            for number, raw in enumerate(lines, 1):
                try:
                    instance = json.loads(raw.decode("utf-8"))
                except ValueError as error:  # also UnicodeDecodeError
                    print(f"{name}:{number}: {error}")
                    violations += 1
                    continue
                kind = process if isinstance(instance, dict) and "pid" in instance else file
                for error in kind.iter_errors(instance):
                    print(f"{name}:{number}: {error.json_path}: {error.message}")
                    violations += 1
    return 1 if violations else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
