"""The judge of TomlFormatterTools: Python's tomllib reads two trees of TOML
files, and each file's data is compared with key order kept and integers
never equal to floats.

judge DIR_A DIR_B: one line per file of DIR_A, "NAME same", "NAME different"
or "NAME invalid" (a side tomllib refuses, or missing).
mutate SOURCE_DIR OUT_DIR: writes the mutants of each file whose mutation
tomllib reads as different data, as OUT_DIR/KIND/NAME.
"""
import json
import os
import re
import sys
import tomllib


def data(path):
    try:
        with open(path, "rb") as f:
            value = tomllib.load(f)
    except (OSError, tomllib.TOMLDecodeError, ValueError):
        return None
    return json.dumps(value, default=lambda v: type(v).__name__ + ":" + v.isoformat())


def judge(a, b):
    for name in sorted(os.listdir(a)):
        da, db = data(os.path.join(a, name)), data(os.path.join(b, name))
        verdict = "invalid" if da is None or db is None else "same" if da == db else "different"
        print(name, verdict)


KEY_LINE = re.compile(r"^([A-Za-z0-9_-]+)\s*=\s*(.*)$")


def mutants(text):
    lines = text.split("\n")
    out = {}
    # A key moved above the table header over it.
    for i in range(1, len(lines)):
        if KEY_LINE.match(lines[i]) and re.match(r"^\[[^\[]", lines[i - 1]):
            m = lines[:i - 1] + [lines[i], lines[i - 1]] + lines[i + 1:]
            out["above_header"] = "\n".join(m)
            break
    # A blank put inside a string.
    for i, line in enumerate(lines):
        m = KEY_LINE.match(line)
        if m and re.match(r'^"[A-Za-z0-9]', m.group(2)):
            k = line.index(m.group(2)) + 2
            out["blank_in_string"] = "\n".join(lines[:i] + [line[:k] + " " + line[k:]] + lines[i + 1:])
            break
    # An integer changed to a float.
    for i, line in enumerate(lines):
        m = KEY_LINE.match(line)
        if m and re.match(r"^[0-9]+\s*(#.*)?$", m.group(2)):
            k = line.index(m.group(2)) + len(re.match(r"^[0-9]+", m.group(2)).group(0))
            out["int_to_float"] = "\n".join(lines[:i] + [line[:k] + ".0" + line[k:]] + lines[i + 1:])
            break
    # Two keys swapped.
    for i in range(1, len(lines)):
        a, b = KEY_LINE.match(lines[i - 1]), KEY_LINE.match(lines[i])
        if a and b and a.group(1) != b.group(1) and not a.group(2).endswith(("[", "{", '"""', "'''")) \
                and not b.group(2).endswith(("[", "{", '"""', "'''")):
            m = lines[:i - 1] + [lines[i], lines[i - 1]] + lines[i + 1:]
            out["keys_swapped"] = "\n".join(m)
            break
    return out


def mutate(source, target):
    for name in sorted(os.listdir(source)):
        path = os.path.join(source, name)
        original = data(path)
        if original is None:
            continue
        with open(path, encoding="utf-8", newline="") as f:
            text = f.read()
        for kind, changed in mutants(text).items():
            os.makedirs(os.path.join(target, kind), exist_ok=True)
            out = os.path.join(target, kind, name)
            with open(out, "w", encoding="utf-8", newline="") as f:
                f.write(changed)
            d = data(out)
            if d is None or d == original:
                os.remove(out)


if __name__ == "__main__":
    if sys.argv[1] == "judge":
        judge(sys.argv[2], sys.argv[3])
    else:
        mutate(sys.argv[2], sys.argv[3])
