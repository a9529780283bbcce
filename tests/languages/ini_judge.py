"""The judge of IniLexerTools: the readers of each kind of INI file read
pairs of files, and say whether they hold the same data.

make OUT_DIR PRETTIER SOURCES...: writes, under OUT_DIR, for each source
its copies as prettier-plugin-ini formats them (two settings), its relayout
mutants and its token mutants, and prints one line per pair,
"KIND LANGUAGE VERDICT A B", VERDICT "same" or "different" as the source's
reader reads A and B; pairs a reader cannot read are left out.
"""
import configparser
import json
import os
import re
import subprocess
import sys


def read_ini(text):
    p = configparser.ConfigParser(interpolation=None, strict=False)
    p.read_string(text)
    return [sorted(p.defaults().items())] + [(s, p.items(s, raw=True)) for s in p.sections()]


def read_editorconfig(text):
    out, section = [], None
    for line in text.split("\n"):
        line = line.strip()
        if not line or line[0] in "#;":
            continue
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1]
            out.append(["section", section])
            continue
        m = re.match(r"([^=:]+?)\s*[=:]\s*(.*)$", line)
        if not m:
            raise ValueError(line)
        out.append([m.group(1), m.group(2)])
    return out


def logical_lines(text):
    """java.util.Properties' LineReader: logical lines, continuations joined."""
    lines = re.split(r"\r\n|\r|\n", text)
    out, i = [], 0
    while i < len(lines):
        line = lines[i].lstrip(" \t\f")
        i += 1
        if not line or line[0] in "#!":
            continue
        while True:
            m = re.search(r"(\\+)$", line)
            if not m or len(m.group(1)) % 2 == 0 or i >= len(lines):
                if m and len(m.group(1)) % 2 == 1:
                    line = line[:-1]
                break
            line = line[:-1] + lines[i].lstrip(" \t\f")
            i += 1
        out.append(line)
    return out


def unescape(s):
    out, i = [], 0
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s):
            n = s[i + 1]
            if n == "u" and re.match(r"[0-9a-fA-F]{4}", s[i + 2:i + 6]):
                out.append(chr(int(s[i + 2:i + 6], 16)))
                i += 6
                continue
            out.append({"t": "\t", "n": "\n", "r": "\r", "f": "\f"}.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def read_properties(text):
    out = []
    for line in logical_lines(text):
        i, n = 0, len(line)
        while i < n and line[i] not in "=: \t\f":
            i += 2 if line[i] == "\\" else 1
        key = line[:i]
        while i < n and line[i] in " \t\f":
            i += 1
        if i < n and line[i] in "=:":
            i += 1
        while i < n and line[i] in " \t\f":
            i += 1
        out.append([unescape(key), unescape(line[i:])])
    return out


READERS = {"ini": read_ini, "editorconfig": read_editorconfig, "properties": read_properties}


def language(path):
    if path.endswith(".editorconfig"):
        return "editorconfig"
    return "properties" if path.endswith(".properties") else "ini"


def data(lang, text):
    try:
        return json.dumps(READERS[lang](text))
    except (configparser.Error, ValueError):
        return None


ENTRY = re.compile(r"^(\s*)([^\s=:#;!\[][^=:]*?)(\s*)([=:])(\s*)(.*?)(\s*)$")


def relayouts(text):
    lines = text.split("\n")
    out = {}
    out["blank_lines"] = "\n\n".join(lines)
    out["crlf"] = "\r\n".join(lines)
    out["around_delimiters"] = "\n".join(ENTRY.sub(r"\1\2  \4\t\6", l) if ENTRY.match(l) else l for l in lines)
    out["tight_delimiters"] = "\n".join(ENTRY.sub(r"\1\2\4\6", l) if ENTRY.match(l) else l for l in lines)
    out["trailing_blanks"] = "\n".join(l + "  " if l.strip() else l for l in lines)
    out["indent_more"] = "\n".join("  " + l if l.strip() else l for l in lines)
    out["comments_added"] = "\n".join(("# note\n" + l) if l.startswith("[") else l for l in lines)
    return out


def token_mutants(text):
    lines = text.split("\n")
    out = {}
    entries = [i for i, l in enumerate(lines) if ENTRY.match(l)]
    if entries:
        i = entries[len(entries) // 2]
        m = ENTRY.match(lines[i])
        change = lambda new: "\n".join(lines[:i] + [new] + lines[i + 1:])
        out["value_changed"] = change(lines[i] + "x")
        out["key_changed"] = change(m.group(1) + m.group(2) + "x" + lines[i][m.end(2):])
        out["blank_in_value"] = change(m.group(1) + m.group(2) + " = " + m.group(6)[:1] + " " + m.group(6)[1:] + "z")
        out["joined"] = "\n".join(lines[:i] + [lines[i] + " " + lines[i + 1].strip()] + lines[i + 2:]) if i + 1 < len(lines) else None
        out["delimiter_dropped"] = change(m.group(1) + m.group(2) + " " + m.group(6))
        out["unindented"] = "\n".join(l.lstrip() for l in lines)
    heads = [i for i, l in enumerate(lines) if l.startswith("[")]
    if heads:
        i = heads[-1]
        out["section_changed"] = "\n".join(lines[:i] + [lines[i].replace("]", "x]", 1)] + lines[i + 1:])
    return {k: v for k, v in out.items() if v is not None}


def main():
    out_dir, prettier, sources = sys.argv[2], sys.argv[3], sys.argv[4:]
    for n, source in enumerate(sources):
        with open(source, encoding="utf-8", errors="surrogateescape") as f:
            text = f.read()
        lang = language(source)
        base = data(lang, text)
        if base is None:
            continue
        name = os.path.basename(source)
        folder = os.path.join(out_dir, str(n))
        os.makedirs(folder, exist_ok=True)
        original = os.path.join(folder, name)
        with open(original, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write(text)
        pairs = []
        if prettier:
            for setting, flags in (("prettier", []), ("prettier-spaced", ["--ini-space-around-equals"])):
                r = subprocess.run([prettier, "--plugin=prettier-plugin-ini", "--parser=ini"] + flags + [original],
                                   capture_output=True, text=True, errors="surrogateescape",
                                   cwd=os.path.dirname(os.path.dirname(os.path.dirname(prettier))))
                if r.returncode == 0:
                    pairs.append((setting, r.stdout))
        pairs += [("relayout", t) for t in relayouts(text).values()]
        pairs += [("mutant", t) for t in token_mutants(text).values()]
        for k, (kind, mutated) in enumerate(pairs):
            other = data(lang, mutated)
            if other is None:
                continue
            path = os.path.join(folder, "%d-%s" % (k, name))
            with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
                f.write(mutated)
            print(kind, lang, "same" if other == base else "different", original, path)


if __name__ == "__main__" and sys.argv[1] == "make":
    main()
