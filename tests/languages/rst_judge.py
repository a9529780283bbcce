"""The judge of RstLexerTools: docutils reads pairs of documents and says
whether they hold the same doctree.

make OUT_DIR SOURCES...: writes, under OUT_DIR, for each source its relayout
mutants (paragraphs re-wrapped, underlines lengthened, blank lines doubled, grid
tables' cells re-padded)
and its token mutants (a line's indentation taken off, a "::" made ":", a
word changed, a title's underline character changed to another title's),
and prints one line per pair (but those that differ only in the blanks of
code a code directive names the language of), "KIND rst VERDICT A B" (KIND the relayout's name, or "mutant"), VERDICT "same" or
"different" as docutils reads A and B.

Two documents are the same when their doctrees, printed by pformat without
source lines, are equal once the text outside literal blocks has each run
of whitespace made one blank (inside an inline literal, a single blank or
line break), once the notes below warnings that no writer shows are taken
out, once comments are emptied (a comment's words are layout)
and the blocks a warning quotes have no blank lines at their end.
"""
import io
import os
import re
import sys
import textwrap

from docutils import nodes
from docutils.core import publish_doctree

SETTINGS = {
    "halt_level": 5,
    "report_level": 2,
    "file_insertion_enabled": False,
    "raw_enabled": True,
    "input_encoding": "utf-8",
}

VERBATIM = (nodes.literal_block, nodes.doctest_block, nodes.raw, nodes.comment, nodes.math_block)


def verbatim(node):
    while node is not None:
        if isinstance(node, VERBATIM):
            return True
        node = node.parent
    return False


def inside(node, kind):
    while node is not None:
        if isinstance(node, kind):
            return True
        node = node.parent
    return False


def doctree(text, code_words=False):
    """The doctree as compared; with code_words, the code of a code
    directive that names a language as its words alone."""
    doc = publish_doctree(text, settings_overrides=dict(SETTINGS, warning_stream=io.StringIO()))
    for block in list(doc.findall(nodes.literal_block)):
        if code_words and "code" in block["classes"] and len(block["classes"]) > 1:
            words = " ".join(block.astext().split())
            block.clear()
            block += nodes.Text(words)
    # The notes below warnings, which no writer shows.
    for message in list(doc.findall(nodes.system_message)):
        if message["level"] < 2:
            message.parent.remove(message)
    for comment in list(doc.findall(nodes.comment)):
        comment.clear()
    for t in list(doc.findall(nodes.Text)):
        if verbatim(t.parent):
            # The text a warning quotes ends with the blank lines after it.
            if inside(t.parent, nodes.system_message) and inside(t.parent, nodes.literal_block):
                t.parent.replace(t, nodes.Text(str(t).rstrip("\n")))
            continue
        if inside(t.parent, nodes.literal):
            new = re.sub(r"[ \n]+", lambda m: " " if len(m.group()) == 1 else m.group(), str(t))
        else:
            new = re.sub(r"[ \t\n\r\f\v]+", " ", str(t))
        t.parent.replace(t, nodes.Text(new))
    out = doc.pformat()
    return re.sub(r' (line|source)="[^"]*"', "", out)


def read(path):
    with open(path, encoding="utf-8", errors="replace", newline="") as f:
        return f.read()


ADORNMENT = re.compile(r"^([!-/:-@\[-`{-~])\1* *$")


def is_adornment(line):
    return bool(ADORNMENT.match(line))


def paragraphs(lines):
    """Top-level and indented paragraphs: runs of two or more lines of one
    indentation after a blank line, starting with a letter, followed by a
    blank line, none an adornment; (start, end) pairs."""
    out, i = [], 0
    while i < len(lines):
        if (i == 0 or not lines[i - 1].strip()) and lines[i][:1] != "\t":
            indent = len(lines[i]) - len(lines[i].lstrip(" "))
            j = i
            while (j < len(lines) and lines[j].strip() and len(lines[j]) - len(lines[j].lstrip(" ")) == indent
                   and not is_adornment(lines[j].strip()) and "\t" not in lines[j]):
                j += 1
            if (j - i >= 2 and lines[i].strip()[:1].isalpha() and (j == len(lines) or not lines[j].strip())
                    and not lines[i - 1 if i else 0].rstrip().endswith("::")):
                out.append((i, j))
            i = max(j, i + 1)
        else:
            i += 1
    return out


def rewrap(text, width):
    lines = text.split("\n")
    for start, end in reversed(paragraphs(lines)):
        indent = lines[start][: len(lines[start]) - len(lines[start].lstrip(" "))]
        words = " ".join(l.strip() for l in lines[start:end])
        new = textwrap.wrap(words, width, break_long_words=False, break_on_hyphens=False)
        lines[start:end] = [indent + w for w in new]
    return "\n".join(lines)


def titles(lines):
    """Underlined titles: (title line, underline line, overline line or None)."""
    out = []
    for i in range(1, len(lines)):
        u, t = lines[i].rstrip(), lines[i - 1].rstrip()
        if (t.strip() and not lines[i - 1][:1].isspace() and is_adornment(u) and len(u) >= max(len(t), 4)
                and not is_adornment(t) and (i < 2 or not lines[i - 2].strip() or is_adornment(lines[i - 2]))):
            over = i - 2 if i >= 2 and lines[i - 2].rstrip() == u else None
            out.append((i - 1, i, over))
    return out


def longer_underlines(text):
    lines = text.split("\n")
    for t, u, over in titles(lines):
        new = lines[u].rstrip()[0] * (len(lines[u].rstrip()) + 3)
        lines[u] = new
        if over is not None:
            lines[over] = new
    return "\n".join(lines)


def repadded_grids(text):
    """Each cell of a regular grid table whose lines all end in two blanks
    or more shifted one column right: the cell's padding."""
    lines, i = text.split("\n"), 0
    while i < len(lines):
        if not re.match(r"\+-[-+]*\+ *$", lines[i]):
            i += 1
            continue
        j = i
        while j < len(lines) and lines[j][:1] != "" and lines[j][:1] in "+|":
            j += 1
        block = [l.rstrip() for l in lines[i:j]]
        cols = [k for k, c in enumerate(block[0]) if c == "+"]
        if all(len(l) == len(block[0]) and all(l[k] in "+|" for k in cols) for l in block) and block[-1][0] == "+":
            top = 0
            for n in range(1, len(block)):
                if block[n][0] != "+":
                    continue
                for a, b in zip(cols, cols[1:]):
                    cells = [block[m][a + 1:b] for m in range(top + 1, n)]
                    if cells and all(c.endswith("  ") or not c.strip() for c in cells):
                        for m in range(top + 1, n):
                            if block[m][a + 1:b].strip():
                                block[m] = block[m][:a + 1] + " " + block[m][a + 1:b - 1] + block[m][b:]
                top = n
            lines[i:j] = block
        i = j
    return "\n".join(lines)


def doubled_blanks(text):
    return re.sub(r"\n([ \t]*\n)", r"\n\1\n", text)


def indentation_out(text):
    lines = text.split("\n")
    for i in range(1, len(lines)):
        if lines[i].startswith("  ") and lines[i].strip() and lines[i - 1].strip():
            lines[i] = lines[i].lstrip()
            return "\n".join(lines)
    return None


def literal_mark_out(text):
    m = re.search(r"(?m)[A-Za-z]::$", text)
    return text[: m.end() - 1] + text[m.end():] if m else None


def word_changed(text):
    for start, end in paragraphs(text.split("\n")):
        lines = text.split("\n")
        m = re.search(r"\b([a-z])([a-z])([a-z]{2,})\b", lines[start])
        if m and m.group(1) != m.group(2):
            lines[start] = lines[start][: m.start()] + m.group(2) + m.group(1) + m.group(3) + lines[start][m.end():]
            return "\n".join(lines)
    return None


def underline_changed(text):
    lines = text.split("\n")
    found = titles(lines)
    chars = [lines[u].strip()[0] for _, u, _ in found]
    for t, u, over in found:
        c = lines[u].strip()[0]
        other = [d for d in chars if d != c]
        if other and over is None:
            lines[u] = other[0] * len(lines[u].rstrip())
            return "\n".join(lines)
    return None


RELAYOUTS = [
    ("rewrap-40", lambda t: rewrap(t, 40)),
    ("rewrap-100", lambda t: rewrap(t, 100)),
    ("underlines", longer_underlines),
    ("blanks", doubled_blanks),
    ("grids", repadded_grids),
]
MUTANTS = [
    ("indent", indentation_out),
    ("literal", literal_mark_out),
    ("word", word_changed),
    ("adornment", underline_changed),
]


def main():
    out, sources = sys.argv[2], sys.argv[3:]
    os.makedirs(out, exist_ok=True)
    for n, source in enumerate(sources):
        text = read(source)
        try:
            base = doctree(text)
        except Exception:  # a document docutils cannot read at all is no sample
            continue
        original = os.path.join(out, "%03d-orig.rst" % n)
        with open(original, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        for relayout, table in ((True, RELAYOUTS), (False, MUTANTS)):
            for name, make in table:
                kind = name if relayout else "mutant"
                made = make(text)
                if made is None or made == text:
                    continue
                path = os.path.join(out, "%03d-%s.rst" % (n, name))
                with open(path, "w", encoding="utf-8", newline="") as f:
                    f.write(made)
                try:
                    verdict = "same" if doctree(made) == base else "different"
                    # A pair that differs only in the layout of code in a
                    # language is judged by that language's reader: left out.
                    if verdict == "different" and doctree(made, True) == doctree(text, True):
                        continue
                except Exception:
                    verdict = "different"
                print(kind, "rst", verdict, original, path)


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] != "make":
        sys.exit(__doc__)
    main()
