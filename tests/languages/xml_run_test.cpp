// XML through the built utility: a tree run that judges XML files by their
// endings, a document that is not well-formed and a binary property list,
// none of which is compared, and a single run that stops on the first.
#include <gtest/gtest.h>

#include <string>

#include "../lex_support.h"
#include "../support.h"
#include "languages/languages.h"

namespace {

TEST(XmlRun, TreeJudgesXmlFiles)
{
    SKIP_UNLESS_BUILT(Language::Xml, "XML (no libxml2 headers)");
    ScratchDir dir;
    writeTrees(dir, {
        {"p.csproj", "<Project><PropertyGroup><A>1</A></PropertyGroup></Project>\n",
         "<Project>\n  <PropertyGroup>\n    <A>1</A>\n  </PropertyGroup>\n</Project>\n"},
        {"i.svg", "<svg x='1' y='2'/>", "<svg y=\"2\" x=\"1\"></svg>"},
        {"bad.xml", "<a/>\n", "<a>\n</b>\n"},
        {"s.xml", "<a>x y</a>\n", "<a>x  y</a>\n"},
        {"Info.plist", "bplist00\x01", "bplist00\x02"},
    });
    const RunResult r = runMatchling({"a", "b", "--tokens", "--exit-status"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Not compared: Info.plist (no token rules: .plist is read as XML only when it is no "
                     "binary property list) \n"
                     "Matchling==> Unable to compare: bad.xml (not valid XML at line 2, column 5) \n"
                     "Matchling==> Not equivalent: s.xml \n"
                     "Matchling==> Token mismatch at line 1, column 1 of a/s.xml \n"
                     "Matchling==> Token from a/s.xml '\"x y\"' \n"
                     "<a>x y</a> \n"
                     "^ \n"
                     "Matchling==> Token mismatch at line 1, column 1 of b/s.xml \n"
                     "Matchling==> Token from b/s.xml '\"x  y\"' \n"
                     "<a>x  y</a> \n"
                     "^ \n"
                     "Matchling==> Pairs by language: xml 4, other 1 \n"
                     "Matchling==> 5 pairs compared: 2 equivalent, 1 not equivalent, 2 failed, 0 only on one side \n" +
                         kNotEquivalent);
    EXPECT_EQ(r.status, 1);
}

TEST(XmlRun, SingleRunStopsOnXmlNotWellFormed)
{
    SKIP_UNLESS_BUILT(Language::Xml, "XML (no libxml2 headers)");
    Scenario s;
    s.name = "an XML file that is not well-formed";
    s.files = {{"a.xml", "<a/>\n"}, {"b.xml", "<a>\n"}};
    s.args = {"a.xml", "b.xml", "--tokens", "--exit-status"};
    s.out = "Matchling==>  Unable to compare: b.xml (not valid XML at line 2, column 1) \n"
            "Matchling==>  Program will abort \n" + kPrompt + "\n";
    s.status = 2;
    s.temps = {"Matchlinga.tmp", "Matchlingb.tmp"};
    play(s);
}

} // namespace
