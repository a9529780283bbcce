"""The judge of DockerfileLexerTools: a Dockerfile reader written on
Python's shlex reads pairs of Dockerfiles and says whether they hold the
same instructions (keywords as written, arguments as shlex splits them or
as the exec form's JSON, here-document bodies as written, the parser
directives).

make OUT_DIR SOURCES...: writes, under OUT_DIR, the relayout mutants and
the token mutants of each source, and prints one line per pair, "KIND
dockerfile VERDICT A B", VERDICT "same" or "different" as the reader reads
A and B; pairs it cannot read are left out.
"""
import json
import os
import re
import shlex
import sys

EXEC = {"run", "cmd", "entrypoint", "shell", "volume", "copy", "add"}
DIRECTIVE = re.compile(r"^#\s*([a-zA-Z][a-zA-Z0-9]*)\s*=\s*(.+?)\s*$")


def read(text):
    lines = [l[:-1] if l.endswith("\r") else l for l in text.split("\n")]
    escape, out, i, n = "\\", [], 0, len(lines)
    while i < n:
        m = DIRECTIVE.match(lines[i].strip())
        if not m or m.group(1).lower() not in ("syntax", "escape", "check"):
            break
        out.append(("directive", m.group(1), m.group(2)))
        if m.group(1).lower() == "escape":
            escape = m.group(2)
        i += 1
    joins = re.compile(re.escape(escape) + r"[ \t]*$")
    while i < n:
        line = lines[i].lstrip(" \t")
        i += 1
        if not line or line.startswith("#"):
            continue
        while joins.search(line):
            line = joins.sub("", line)
            while i < n and (not lines[i].strip() or lines[i].strip().startswith("#")):
                i += 1
            if i >= n:
                break
            line += lines[i]
            i += 1
        parts = line.split(None, 1)
        keyword, rest = parts[0], (parts[1].strip() if len(parts) > 1 else "")
        args = None
        if keyword.lower() in EXEC and rest.startswith("["):
            try:
                value = json.loads(rest)
                if isinstance(value, list) and all(isinstance(v, str) for v in value):
                    args = ("exec", value)
            except ValueError:
                pass
        if args is None:
            args = ("shell", shlex.split(rest, posix=True))
        out.append((keyword, args))
        if args[0] == "shell" and keyword.lower() in ("run", "copy", "add"):
            for word in args[1]:
                m = re.match(r"^\d*<<(-?)([^<]+)$", word)
                if not m:
                    continue
                body = []
                while True:
                    if i >= n:
                        raise ValueError("unterminated here-document")
                    line = lines[i].lstrip("\t") if m.group(1) else lines[i]
                    i += 1
                    if line == m.group(2):
                        break
                    body.append(line)
                out.append(("body", body))
    return out


def data(text):
    try:
        return json.dumps(read(text))
    except ValueError:
        return None


WORDS = re.compile(r"^(\s*)([A-Za-z]+)(\s+)(.*)$")


def relayouts(text):
    lines = text.split("\n")
    out = {}
    out["crlf"] = "\r\n".join(lines)
    out["blank_lines"] = "\n".join(l + "\n" if WORDS.match(l) else l for l in lines)
    out["reindent"] = "\n".join("\t  " + l.lstrip(" \t") if k > 0 and lines[k - 1].rstrip().endswith(("\\", "`"))
                                else l for k, l in enumerate(lines))
    out["indent"] = "\n".join("  " + l if WORDS.match(l) else l for l in lines)
    out["blanks_between"] = "\n".join(re.sub(r"(?<=\S) (?=\S)", "   ", l, count=2) if WORDS.match(l) else l
                                      for l in lines)
    out["join_continuations"] = re.sub(r" *[\\`]\n[ \t]*", " ", text)
    out["split_line"] = "\n".join(WORDS.sub(r"\1\2\3\\\n    \4", l, count=1) if WORDS.match(l) else l
                                  for l in lines)
    out["comments_added"] = "\n".join("# a note\n" + l if WORDS.match(l) and k > 3 else l for k, l in enumerate(lines))
    out["trailing_blanks"] = "\n".join(l + "  " if WORDS.match(l) else l for l in lines)
    return out


def token_mutants(text):
    lines = text.split("\n")
    out = {}
    found = [k for k, l in enumerate(lines) if WORDS.match(l)]
    if not found:
        return out
    k = found[len(found) // 2]
    change = lambda new: "\n".join(lines[:k] + [new] + lines[k + 1:])
    m = WORDS.match(lines[k])
    out["keyword_case"] = change(m.group(1) + m.group(2).swapcase() + m.group(3) + m.group(4))
    out["word_changed"] = change(lines[k].rstrip() + "x")
    out["words_joined"] = change(m.group(1) + m.group(2) + m.group(3) + re.sub(r"(?<=\S) +(?=\S)", "", m.group(4), 1))
    out["word_split"] = change(re.sub(r"([A-Za-z0-9])([A-Za-z0-9])", r"\1 \2", lines[k], 1))
    quoted = [j for j, l in enumerate(lines) if '"' in l]
    if quoted:
        j = quoted[0]
        out["in_quotes"] = "\n".join(lines[:j] + [lines[j].replace('"', '" ', 1)] + lines[j + 1:])
    out["lines_joined"] = change(lines[k] + " " + lines[k + 1]) if k + 1 < len(lines) else None
    return {name: t for name, t in out.items() if t is not None}


def main():
    out_dir, sources = sys.argv[2], sys.argv[3:]
    for n, source in enumerate(sources):
        with open(source, encoding="utf-8", errors="surrogateescape") as f:
            text = f.read()
        base = data(text)
        if base is None:
            continue
        name = os.path.basename(source)
        folder = os.path.join(out_dir, str(n))
        os.makedirs(folder, exist_ok=True)
        original = os.path.join(folder, name)
        with open(original, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write(text)
        pairs = [("relayout", t) for t in relayouts(text).values()]
        pairs += [("mutant", t) for t in token_mutants(text).values()]
        for k, (kind, mutated) in enumerate(pairs):
            other = data(mutated)
            if other is None:
                continue
            path = os.path.join(folder, "%d-%s" % (k, name))
            with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
                f.write(mutated)
            print(kind, "dockerfile", "same" if other == base else "different", original, path)


if __name__ == "__main__" and sys.argv[1] == "make":
    main()
