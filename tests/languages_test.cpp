// The language table: which names, endings and "#!" lines select which language.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "languages/languages.h"

namespace {

TEST(Languages, ByName)
{
    const struct {
        const char *path;
        Language language;
    } rows[] = {
        {"a.c", Language::CFamily},        {"dir.v2/a.HPP", Language::CFamily}, {"x.ino", Language::CFamily},
        {"Form1.frm", Language::Basic},    {"p.cs", Language::CSharp},           {"m.py", Language::Python},
        {"stubs.pyi", Language::Python},   {"src\\SConstruct", Language::Python}, {"main.go", Language::Go},
        {"lib.rs", Language::Rust},        {"A.java", Language::Java},          {"a.jsonc", Language::Json},
        {"app.mjs", Language::JavaScript}, {"a.d.ts", Language::TypeScript},    {"v.tsx", Language::Tsx},
        {"notes.txt", Language::Unknown},  {"Makefile", Language::Unknown},     {".py", Language::Unknown},
        {"a.py.orig", Language::Unknown},  {"a.cpp/README", Language::Unknown},
        {"src/CMakeLists.txt", Language::CMake}, {"cmake/FindX.CMAKE", Language::CMake},
        {"CMakeLists.txt.in", Language::Unknown},
        {"run.sh", Language::Shell},       {"lib/x.BASH", Language::Shell},     {"rc.zsh", Language::Unknown},
        {"py/uv.lock", Language::Toml},    {"uv.lock.bak", Language::Unknown},  {"Uv.lock", Language::Unknown},
        {"__snapshots__/a.test.js.snap", Language::JavaScript}, {"App.xctestplan", Language::Json},
        {"web/tsconfig.json", Language::TsConfig}, {"jsconfig.json", Language::TsConfig},
        {"tsconfig.base.json", Language::Json},
        {"src/init.lua", Language::Lua},   {"pkg-1.0-1.rockspec", Language::Lua},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(languageOfName(r.path), r.language);
    }
    EXPECT_TRUE(hasNoEnding("bin/tool"));
    EXPECT_TRUE(hasNoEnding("a.d/.profile"));
    EXPECT_FALSE(hasNoEnding("bin/tool.sh"));
}

TEST(Languages, ByInterpreter)
{
    const struct {
        const char *line;
        Language language;
    } rows[] = {
        {"#!/usr/bin/python3\n", Language::Python},
        {"#! /usr/bin/env python3.11 -u\n", Language::Python},
        {"#!/usr/bin/env -S node --harmony\r\n", Language::JavaScript},
        {"#!/bin/sh\nexec python3\n", Language::Shell},
        {"#!/usr/bin/env bash\n", Language::Shell},
        {"#! /bin/dash -e\n", Language::Shell},
        {"#!/bin/ksh\n", Language::Shell},
        {"#!/usr/bin/env lua\n", Language::Lua},
        {"#!/usr/bin/lua5.4\n", Language::Lua},
        {"#!/usr/bin/env luajit\n", Language::Lua},
        {"#!/bin/zsh\n", Language::Unknown},
        {"#!/usr/bin/awk -f\n", Language::Unknown},
        {"#!/usr/bin/env\n", Language::Unknown},
        {"# python\n", Language::Unknown},
        {"", Language::Unknown},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.line);
        EXPECT_EQ(languageOfInterpreter(r.line, std::strlen(r.line)), r.language);
    }
}

TEST(Languages, ByOptionAndShownName)
{
    EXPECT_EQ(languageNamed("cpp"), Language::CFamily);
    EXPECT_EQ(languageNamed("python"), Language::Python);
    EXPECT_EQ(languageNamed("tsx"), Language::Tsx);
    EXPECT_EQ(languageNamed("Python"), Language::Unknown);
    EXPECT_STREQ(languageName(Language::Tsx), "typescript");
    EXPECT_EQ(languageIndex(Language::Tsx), languageIndex(Language::TypeScript));
    EXPECT_EQ(languageIndex(Language::Unknown), kLanguageNames);
    EXPECT_EQ(languageIndex(kLanguageRows[kLanguageRowCount - 1].language), kLanguageNames - 1);
    EXPECT_EQ(languageNamed("bash"), Language::Shell);
}

// The content tests of the endings other kinds of file share: each row a
// start that must be of the language its name selects, or must not.
TEST(Languages, ContentTests)
{
    const std::string vbClass = "VERSION 1.0 CLASS\r\nBEGIN\r\n  MultiUse = -1  'True\r\nEND\r\n"
                                "Attribute VB_Name = \"Account\"\r\n";
    const struct {
        const char *name, *path;
        std::string head;
        bool confirmed;
    } rows[] = {
        {"a VB6 class", "Account.cls", vbClass, true},
        {"a VB6 class after a byte order mark and a blank line", "a.cls", "\xEF\xBB\xBF\r\n" + vbClass, true},
        {"a VBA class without its VERSION block", "a.cls", "Attribute VB_Name = \"Sheet1\"\r\nOption Explicit\r\n", true},
        {"a VB6 form", "Form1.frm", "VERSION 5.00\r\nBegin VB.Form Form1\r\n   Caption = \"x\"\r\nEnd\r\n", true},
        {"a LaTeX class", "thesis.cls", "\\NeedsTeXFormat{LaTeX2e}\n\\ProvidesClass{thesis}\n", false},
        {"a LaTeX class, the ending in capitals", "THESIS.CLS", "\\setcounter{secnumdepth}{2}\n", false},
        {"an Apex class", "Greeter.cls", "public with sharing class Greeter {\n    String s = 'Hello';\n}\n", false},
        {"a MySQL table", "t1.frm", std::string("\xFE\x01\x0A\x0C\x03\x00\x00\x10", 8), false},
        {"VERSION without its number", "a.cls", "VERSION CLASS\r\n", false},
        {"VERSION in lower case", "a.cls", "version 1.0 class\r\n", false},
        {"a comment before the header", "a.cls", "' note\r\n" + vbClass, false},
        {"Attribute of something else", "a.cls", "Attribute X = 1\r\n", false},
        {"an empty class", "a.cls", "", false},
        {".bas takes no test", "thesis.bas", "\\setcounter{secnumdepth}{2}\n", true},
        {"a TypeScript module", "a.ts", "import { x } from './x';\nexport const y = x;\n", true},
        {"TypeScript after a comment", "a.ts", "// <?xml is no XML here\n/* <TS> */ let a = 1;\n", true},
        {"TypeScript starting with a type assertion", "a.ts", "<TSConfig>cfg;\n", true},
        {"an empty TypeScript file", "a.ts", "", true},
        {"a Qt translation", "app_de.ts", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
                                         "<TS version=\"2.1\" language=\"de_DE\">\n", false},
        {"a Qt translation without its declaration", "a.ts", "<!DOCTYPE TS><TS version=\"1.1\">\n", false},
        {"a Qt translation, the element first", "a.ts", "\xEF\xBB\xBF  <TS version=\"2.0\">\n", false},
        {"an XML comment first", "a.ts", "<!-- generated -->\n<TS/>\n", false},
        {"an MPEG transport stream", "clip.ts", std::string("G@\x11\x10\x00\x42\xF0\x25", 8), false},
        {".mts takes no test", "a.mts", "<?xml version=\"1.0\"?>\n", true},
        {".tsx takes no test", "a.tsx", "<TS version=\"1\">\n", true},
        {"a Jest snapshot", "a.test.js.snap", "// Jest Snapshot v1, https://goo.gl/fbAQLP\n\nexports[`a 1`] = `\"b\"`;\n", true},
        {"a snap package (SquashFS)", "core_16.snap", std::string("hsqs\x2B\x00\x00\x00\x10\x21", 10), false},
        {"a Rust crate root", "lib.rs", "#![allow(dead_code)]\n#[derive(Debug)]\nstruct S;\n", true},
        {"a Rust doc heading", "lib.rs", "//! # Pragmas\nfn f() {}\n", true},
        {"RenderScript", "mono.rs", "/* license */\n#pragma version(1)\n#pragma rs java_package_name(a.b)\n", false},
        {"RenderScript, blanks around the hash", "mono.rs", "  #  pragma version(1)\n", false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(nameConfirmed(r.path, r.head.data(), r.head.size()), r.confirmed);
    }
}

// What the content tests make of a pair, and the reason each outcome gives.
TEST(Languages, PairKindsAndTheirReasons)
{
    const std::string vb = "VERSION 1.0 CLASS\r\n", tex = "\\ProvidesClass{x}\n", xml = "<?xml version=\"1.0\"?>\n";
    const std::string notVb = ".cls is read as Basic only when it starts as a Visual Basic module";
    const struct {
        const char *name, *paths[2];
        std::string heads[2];
        PairKinds kinds;
        std::string why;
    } rows[] = {
        {"two VB classes", {"a.cls", "b.cls"}, {vb, vb}, PairKinds::Read, ""},
        {"two LaTeX classes", {"a.cls", "b.cls"}, {tex, tex}, PairKinds::NoRules, "no token rules: " + notVb},
        {"a VB class, then LaTeX", {"a.cls", "b.cls"}, {vb, tex}, PairKinds::TwoKinds,
         "of two kinds: " + notVb + ", and only the first side is"},
        {"LaTeX, then a VB class", {"a.CLS", "b.Cls"}, {tex, vb}, PairKinds::TwoKinds,
         "of two kinds: " + notVb + ", and only the second side is"},
        {"a side without an ending takes the other's test", {"a.cls", "/dev/fd/63"}, {vb, tex}, PairKinds::TwoKinds,
         "of two kinds: " + notVb + ", and only the first side is"},
        {"a side of another ending takes its own", {"a.bas", "b.cls"}, {tex, tex}, PairKinds::TwoKinds,
         "of two kinds: " + notVb + ", and only the first side is"},
        {"XML against JavaScript", {"a.ts", "a.js"}, {xml, xml}, PairKinds::TwoKinds,
         "of two kinds: .ts is read as TypeScript only when it starts as neither XML nor binary data, and only the "
         "second side is"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        const char *const heads[2] = {r.heads[0].data(), r.heads[1].data()};
        const std::size_t lengths[2] = {r.heads[0].size(), r.heads[1].size()};
        std::string why;
        EXPECT_EQ(pairKinds(r.paths, heads, lengths, why), r.kinds);
        EXPECT_EQ(why, r.why);
    }
}

// Each row's tested endings are endings of its own, with the words of its
// reason and, where its module is built, the test itself.
TEST(Languages, TestedEndingsAreTheRowsOwn)
{
    for (std::size_t r = 0; r < kLanguageRowCount; ++r) {
        const LanguageRow &row = kLanguageRows[r];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(!*row.tested, !*row.confirmed);
        if (*row.tested && languageBuilt(row.language)) {
            EXPECT_NE(row.lexer->confirms, nullptr);
        }
        for (const char *p = row.tested; *p;) {
            const std::size_t n = std::strcspn(p, " ");
            const std::string file = "x" + std::string(p, n);
            EXPECT_EQ(languageOfName(file.c_str()), row.language) << file;
            EXPECT_TRUE(nameTested(file.c_str())) << file;
            p += n + (p[n] == ' ');
        }
    }
    EXPECT_FALSE(nameTested("a.bas"));
    EXPECT_FALSE(nameTested("CMakeLists.txt"));
}

// A module whose format library the build lacks has no hooks: its language
// is not built, and token mode takes its files as files without token rules.
TEST(Languages, BuiltWithTheirLibraries)
{
    EXPECT_TRUE(languageBuilt(Language::CFamily));
    EXPECT_TRUE(languageBuilt(Language::Unknown));
#if MATCHLING_HAVE_CMARK_GFM
    EXPECT_TRUE(languageBuilt(Language::Markdown));
#else
    EXPECT_FALSE(languageBuilt(Language::Markdown));
#endif
#if MATCHLING_HAVE_LIBXML2
    EXPECT_TRUE(languageBuilt(Language::Xml));
#else
    EXPECT_FALSE(languageBuilt(Language::Xml));
#endif
}

} // namespace
