#!/usr/bin/env python3
"""The XML tests' judge, by lxml's canonical form (C14N 1.0, no comments).

  xml_judge.py parses FILE...   prints the files lxml reads
  xml_judge.py judge A B        for each file of directory A: "NAME same",
                                "NAME different" or "NAME error", against B's
  xml_judge.py mutate ORIG OUT  near misses and relayouts of ORIG's files:
                                OUT/KIND-orig/NAME against OUT/KIND/NAME

Two documents are the same when their canonical forms and their document
type declarations are, after the text that is only blanks is taken out
where it stands among elements, comments or processing instructions in an
element that holds no other text, not under xml:space="preserve" nor in
XHTML or SVG's text elements (the rule the XML module states).
"""
import copy
import os
import re
import sys

from lxml import etree

XHTML = "{http://www.w3.org/1999/xhtml}"
SVG_TEXT = {"{http://www.w3.org/2000/svg}" + n for n in ("text", "tspan", "textPath")}
SPACE = "{http://www.w3.org/XML/1998/namespace}space"


def parser(resolve):
    return etree.XMLParser(resolve_entities=resolve, no_network=True, load_dtd=False, huge_tree=False,
                           remove_blank_text=False, strip_cdata=True)


def read(path, resolve=True):
    return etree.parse(path, parser(resolve))


def blank(s):
    return s is None or s.strip(" \t\r\n") == ""


def strip(element, preserve=False):
    """Takes out the blanks that are layout under element."""
    if not isinstance(element.tag, str):
        return
    space = element.get(SPACE)
    if space == "preserve":
        preserve = True
    elif space == "default":
        preserve = False
    if element.tag.startswith(XHTML) or element.tag in SVG_TEXT:
        preserve = True
    children = list(element)
    text = not blank(element.text) or any(not blank(c.tail) for c in children)
    if children and not text and not preserve:
        element.text = None
        for c in children:
            c.tail = None
    for c in children:
        strip(c, preserve)


def canonical(path):
    tree = read(path)
    strip(tree.getroot())
    # The document type declaration as libxml2 writes it: the document
    # with its root emptied, its comments left out.
    prolog = copy.deepcopy(tree)
    prolog.getroot().clear()
    prolog = re.sub(rb"<!--.*?-->", b"", etree.tostring(prolog), flags=re.S)
    return (prolog, etree.tostring(tree, method="c14n", with_comments=False))


def parses(files):
    for f in files:
        try:
            read(f)
            print(f)
        except Exception:
            pass


def judge(a, b):
    for name in sorted(os.listdir(a)):
        try:
            verdict = "same" if canonical(os.path.join(a, name)) == canonical(os.path.join(b, name)) else "different"
        except Exception:
            verdict = "error"
        print(name, verdict)


def first_text(root, want_blank):
    """The first element (with which="text") or child (which="tail") whose
    text is non-blank, or blank when want_blank."""
    for e in root.iter():
        if not isinstance(e.tag, str):
            continue
        if e.text is not None and blank(e.text) == want_blank and (want_blank or len(e.text) > 0):
            return e, "text"
        for c in e:
            if c.tail is not None and blank(c.tail) == want_blank:
                return c, "tail"
    return None, None


def mutants(tree):
    """The kinds of near miss and relayout of tree, each a function that
    changes it in place and returns whether it could."""
    root = tree.getroot()
    elements = [e for e in root.iter() if isinstance(e.tag, str)]
    middle = elements[len(elements) // 2]

    def reorder():
        changed = False
        for e in elements:
            items = list(e.attrib.items())
            if len(items) > 1:
                e.attrib.clear()
                for k, v in reversed(items):
                    e.set(k, v)
                changed = True
        return changed

    def indent():
        etree.indent(tree, space="\t")
        return True

    def text():
        e, which = first_text(root, False)
        if e is None:
            return False
        setattr(e, which, getattr(e, which) + "x")
        return True

    def blank_in_text():
        e, which = first_text(root, False)
        if e is None:
            return False
        setattr(e, which, " " + getattr(e, which))
        return True

    def blank_between():
        for e in elements:
            if len(e) > 0 and e.text is None:
                e.text = "\n "
                return True
        return False

    def blank_leaf():
        for e in elements:
            if len(e) == 0 and e.text is None:
                e.text = " "
                return True
        return False

    def value():
        for e in elements:
            for k, v in e.attrib.items():
                e.set(k, v + " ")
                return True
        return False

    def rename():
        middle.tag = middle.tag + "x"
        return True

    return {"reorder": reorder, "indent": indent, "text": text, "blank": blank_in_text, "between": blank_between,
            "leaf": blank_leaf, "value": value, "rename": rename}


def mutate(orig, out):
    for name in sorted(os.listdir(orig)):
        path = os.path.join(orig, name)
        try:
            kinds = mutants(read(path, False)).keys()
        except Exception:
            continue
        for kind in kinds:
            tree = read(path, False)
            try:
                if not mutants(tree)[kind]():
                    continue
            except Exception:
                continue
            for d, t in ((kind + "-orig", read(path, False)), (kind, tree)):
                os.makedirs(os.path.join(out, d), exist_ok=True)
                t.write(os.path.join(out, d, name), xml_declaration=True, encoding="UTF-8")


def main():
    command = sys.argv[1]
    if command == "parses":
        parses(sys.argv[2:])
    elif command == "judge":
        judge(sys.argv[2], sys.argv[3])
    elif command == "mutate":
        mutate(sys.argv[2], sys.argv[3])


main()
