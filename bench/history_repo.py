#!/usr/bin/env python3
"""Writes, on standard output, a git fast-import stream of a history made
from real C++ sources: a first commit that imports every regular file under
SOURCE (default /usr/include/c++/12, libstdc++'s headers), then COMMITS
(default 300) commits along first parents, as a C++ project's history has
them: code changes to a few files, re-indentations of a few files, now and
then a reformatting of a whole directory, renames, additions and deletions,
edits to files that have no token rules (libstdc++'s headers without an
ending, and a text file), and merges of a two-commit branch. The stream is
the same on every run for the same sources: the choices come from a seeded
generator and the dates are fixed.

    bench/history_repo.py [SOURCE [COMMITS]] | git fast-import --quiet

The first commit is tagged bench-root, so the range is bench-root..main."""
import os
import random
import sys

source = sys.argv[1] if len(sys.argv) > 1 else "/usr/include/c++/12"
count = int(sys.argv[2]) if len(sys.argv) > 2 else 300
rng = random.Random(20240611)
out = sys.stdout.buffer
files = {}
for top, dirs, names in os.walk(source):
    dirs.sort()
    for name in sorted(names):
        path = os.path.join(top, name)
        if os.path.isfile(path) and not os.path.islink(path):
            with open(path, "rb") as f:
                files[os.path.relpath(path, source)] = f.read()
files["NOTES.txt"] = b"Notes on this tree.\n"
marks = 0
when = 1700000000


def data(payload):
    out.write(b"data %d\n" % len(payload))
    out.write(payload)
    out.write(b"\n")


def commit(branch, subject, ops, parent=None, merge=None):
    """One commit on branch: ops are ("M", path) with files[path] as its
    content, ("D", path) and ("R", old, new). Returns its mark."""
    global marks, when
    marks += 1
    when += 3600
    out.write(b"commit refs/heads/%s\nmark :%d\n" % (branch.encode(), marks))
    for who in (b"author", b"committer"):
        out.write(b"%s Bench <bench@example.com> %d +0000\n" % (who, when))
    data(subject.encode())
    if parent:
        out.write(b"from :%d\n" % parent)
    if merge:
        out.write(b"merge :%d\n" % merge)
    for op in ops:
        if op[0] == "M":
            out.write(b"M 100644 inline %s\n" % op[1].encode())
            data(files[op[1]])
        elif op[0] == "D":
            out.write(b"D %s\n" % op[1].encode())
        else:
            out.write(b"R %s %s\n" % (op[1].encode(), op[2].encode()))
    return marks


def code_edit(path):
    """A statement added after a line that ends one, outside comments as far
    as a line tells: a change of code."""
    lines = files[path].split(b"\n")
    ends = [i for i, l in enumerate(lines)
            if l.rstrip().endswith(b";") and not l.lstrip().startswith((b"//", b"*", b"/*", b"#"))]
    i = rng.choice(ends) if ends else len(lines) - 1
    indent = lines[i][: len(lines[i]) - len(lines[i].lstrip())]
    lines.insert(i + 1, indent + b"__bench_count += %d;" % rng.randrange(1000))
    files[path] = b"\n".join(lines)


def relayout(path):
    """Indentation doubled and blanks at line ends dropped: layout only,
    but for the rare line inside a raw string."""
    lines = []
    for l in files[path].split(b"\n"):
        body = l.lstrip(b" ")
        lines.append((b" " * (2 * (len(l) - len(body))) + body).rstrip(b" \t"))
    files[path] = b"\n".join(lines)


def pick(k, kind=None):
    names = sorted(p for p in files if p != "NOTES.txt" and (kind is None or kind(p)))
    return rng.sample(names, k)


root = commit("main", "Import the sources", [("M", p) for p in sorted(files)])
out.write(b"reset refs/tags/bench-root\nfrom :%d\n\n" % root)
head = root
for n in range(1, count + 1):
    r = rng.random()
    if r < 0.45:
        chosen = pick(rng.randint(1, 3), lambda p: p.endswith(".h"))
        for p in chosen:
            code_edit(p)
        head = commit("main", "Change %s" % chosen[0], [("M", p) for p in chosen])
    elif r < 0.68:
        chosen = pick(rng.randint(1, 3), lambda p: p.endswith(".h"))
        for p in chosen:
            relayout(p)
        head = commit("main", "Re-indent %s" % chosen[0], [("M", p) for p in chosen])
    elif r < 0.73:
        folder = rng.choice(["bits", "ext", "tr1", "experimental", "parallel", "debug"])
        chosen = sorted(p for p in files if p.startswith(folder + "/") and p.endswith(".h"))[:40]
        for p in chosen:
            relayout(p)
        head = commit("main", "Reformat %s" % folder, [("M", p) for p in chosen])
    elif r < 0.79:
        old = pick(1)[0]
        new = os.path.join(os.path.dirname(old), "moved_%d_%s" % (n, os.path.basename(old)))
        files[new] = files.pop(old)
        head = commit("main", "Move %s" % old, [("R", old, new)])
    elif r < 0.84:
        if rng.random() < 0.5:
            base = pick(1, lambda p: p.endswith(".h"))[0]
            new = os.path.join(os.path.dirname(base), "added_%d.h" % n)
            files[new] = files[base]
            code_edit(new)
            head = commit("main", "Add %s" % new, [("M", new)])
        else:
            gone = pick(1)[0]
            del files[gone]
            head = commit("main", "Remove %s" % gone, [("D", gone)])
    elif r < 0.92:
        chosen = pick(1, lambda p: "." not in os.path.basename(p)) + ["NOTES.txt"]
        for p in chosen:
            code_edit(p) if p != "NOTES.txt" else files.__setitem__(p, files[p] + b"Note %d.\n" % n)
        head = commit("main", "Edit %s" % chosen[0], [("M", p) for p in chosen])
    else:
        first = pick(1, lambda p: p.endswith(".h"))[0]
        relayout(first)
        side = commit("side", "Re-indent %s" % first, [("M", first)], parent=head)
        second = pick(1, lambda p: p.endswith(".h"))[0]
        code_edit(second)
        side = commit("side", "Change %s" % second, [("M", second)], parent=side)
        head = commit("main", "Merge the side branch", [("M", first), ("M", second)], parent=head, merge=side)
out.write(b"reset refs/heads/side\nfrom 0000000000000000000000000000000000000000\n\n")
