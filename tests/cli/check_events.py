#!/usr/bin/env python3
"""Checks vlfwflash's JSON lines against the schema file: every line one object that
validates, "event" first and "time" second, the other keys in the order the schema lists
them for that event. Usage: check_events.py SCHEMA LINES-FILE... ; prints each fault."""
import json
import sys

import jsonschema


def main():
    schema = json.load(open(sys.argv[1], encoding="utf-8"))
    validator = jsonschema.Draft202012Validator(schema)
    order = {}
    for branch in schema["oneOf"]:
        order[branch["properties"]["event"]["const"]] = list(branch["properties"])
    faults = 0
    events = 0
    for path in sys.argv[2:]:
        for number, line in enumerate(open(path, encoding="utf-8"), 1):
            where = f"{path}:{number}"
            try:
                pairs = json.loads(line, object_pairs_hook=lambda p: p)
                value = json.loads(line)
            except ValueError as error:
                print(f"{where}: not JSON: {error}: {line!r}")
                faults += 1
                continue
            events += 1
            for error in validator.iter_errors(value):
                print(f"{where}: {error.message}: {line.strip()}")
                faults += 1
            keys = [key for key, _ in pairs]
            expected = [key for key in order.get(value.get("event"), []) if key in keys]
            if keys[:2] != ["event", "time"] or keys != expected:
                print(f"{where}: keys {keys}, expected {expected}")
                faults += 1
    if events == 0:
        print("no events to check")
        faults += 1
    print(f"{events} events checked, {faults} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
