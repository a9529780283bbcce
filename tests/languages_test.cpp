// The language table: which names, endings and "#!" lines select which language.
#include <gtest/gtest.h>

#include <cstring>

#include "languages/languages.h"

namespace {

TEST(Languages, ByName)
{
    const struct {
        const char *path;
        Language language;
    } rows[] = {
        {"a.c", Language::CFamily},        {"dir.v2/a.HPP", Language::CFamily}, {"x.ino", Language::CFamily},
        {"Form1.frm", Language::Basic},    {"p.cs", Language::CFamily},         {"m.py", Language::Python},
        {"stubs.pyi", Language::Python},   {"src\\SConstruct", Language::Python}, {"main.go", Language::Go},
        {"lib.rs", Language::Rust},        {"A.java", Language::Java},          {"a.jsonc", Language::Json},
        {"app.mjs", Language::JavaScript}, {"a.d.ts", Language::TypeScript},    {"v.tsx", Language::Tsx},
        {"notes.txt", Language::Unknown},  {"Makefile", Language::Unknown},     {".py", Language::Unknown},
        {"a.py.orig", Language::Unknown},  {"a.cpp/README", Language::Unknown},
        {"src/CMakeLists.txt", Language::CMake}, {"cmake/FindX.CMAKE", Language::CMake},
        {"CMakeLists.txt.in", Language::Unknown},
        {"run.sh", Language::Shell},       {"lib/x.BASH", Language::Shell},     {"rc.zsh", Language::Unknown},
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
}

} // namespace
