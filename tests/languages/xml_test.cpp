// XML's in-process tests: its near misses first, then the lexer's tests,
// then the tests that run xmllint and prettier on real files of this machine
// and judge the pairs by lxml's canonical form.
//
// Near misses of the XML module: for each decision, a pair that must differ
// if it went wrong and, where it can go the other way, a pair that must stay
// equal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"
#include "languages/languages.h"

namespace {

const Language Xml = Language::Xml;

// The pairs of cases as XML, skipped where this build does not read XML.
#define XML_PAIRS(cases)                                                     \
    do {                                                                     \
        if (!languageBuilt(Xml))                                             \
            GTEST_SKIP() << "this build reads no XML (no libxml2 headers)";  \
        checkPairs(Xml, cases);                                              \
    } while (0)

TEST(XmlNearMiss, Tags)
{
    XML_PAIRS((std::vector<PairCase>{
        {"attribute order is layout", "<a x=\"1\" y=\"2\"/>", "<a y=\"2\" x=\"1\"/>", true},
        {"quote style is layout", "<a x=\"1\"/>", "<a x='1'/>", true},
        {"an empty element's spelling is layout", "<a><b/></a>", "<a><b></b></a>", true},
        {"blanks inside a tag are layout", "<a  x = \"1\"\n/>", "<a x=\"1\"/>", true},
        {"an attribute's value counts", "<a x=\"1\"/>", "<a x=\"2\"/>", false},
        {"an attribute's name counts", "<a x=\"1\"/>", "<a y=\"1\"/>", false},
        {"an attribute against none", "<a x=\"\"/>", "<a/>", false},
        {"an element's name counts", "<a><b/></a>", "<a><c/></a>", false},
        {"a child against a sibling", "<r><a><b/></a></r>", "<r><a/><b/></r>", false},
        {"element order counts", "<r><a/><b/></r>", "<r><b/><a/></r>", false},
        {"an attribute against text of the same spelling", "<a x=\"1\"/>", "<a>x=\"1\"</a>", false},
        {"text against an end tag's spelling", "<r><x>&lt;/x></x></r>", "<r><x></x>&lt;/x></r>", false},
        {"a line end in a value is a blank", "<a x=\"1\n2\"/>", "<a x=\"1 2\"/>", true},
        {"a blank in a value counts", "<a x=\"1 2\"/>", "<a x=\"1  2\"/>", false},
        {"a character reference in a value", "<a x=\"&#10;\"/>", "<a x=\" \"/>", false},
        {"references in a value by value", "<a x=\"&lt;&#65;\"/>", "<a x='&#60;A'/>", true},
        {"a namespace's prefix counts", "<p:a xmlns:p=\"u\"/>", "<q:a xmlns:q=\"u\"/>", false},
        {"a namespace's name counts", "<p:a xmlns:p=\"u\"/>", "<p:a xmlns:p=\"v\"/>", false},
        {"a namespace declaration among attributes", "<a xmlns=\"u\" x=\"1\"/>", "<a x=\"1\" xmlns=\"u\"/>", true},
        {"the XML declaration is layout", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a/>", "<a/>\n", true},
        {"the encoding is read", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>",
         "<a>\xC3\xA9</a>", true},
    }));
}

TEST(XmlNearMiss, Text)
{
    XML_PAIRS((std::vector<PairCase>{
        {"indentation between elements is layout", "<r>\n  <a/>\n  <b/>\n</r>", "<r><a/><b/></r>", true},
        {"text counts", "<a>x</a>", "<a>y</a>", false},
        {"a blank inside text counts", "<a>x y</a>", "<a>x  y</a>", false},
        {"blanks around text count", "<a>x</a>", "<a> x </a>", false},
        {"a text-only element's blank is its value", "<a> </a>", "<a/>", false},
        {"blanks in mixed content count", "<p>x <b>y</b> <i>z</i></p>", "<p>x <b>y</b><i>z</i></p>", false},
        {"a line end in mixed content counts", "<p>x<b>y</b></p>", "<p>x\n<b>y</b></p>", false},
        {"xml:space preserve keeps blanks", "<r xml:space=\"preserve\"> <a/></r>", "<r xml:space=\"preserve\"><a/></r>",
         false},
        {"xml:space preserve is inherited", "<r xml:space=\"preserve\"><s> <a/></s></r>",
         "<r xml:space=\"preserve\"><s><a/></s></r>", false},
        {"xml:space default ends it", "<r xml:space=\"preserve\"><s xml:space=\"default\"> <a/></s></r>",
         "<r xml:space=\"preserve\"><s xml:space=\"default\"><a/></s></r>", true},
        {"XHTML's blanks are kept", "<p xmlns=\"http://www.w3.org/1999/xhtml\"><b>x</b> <i>y</i></p>",
         "<p xmlns=\"http://www.w3.org/1999/xhtml\"><b>x</b><i>y</i></p>", false},
        {"SVG's text keeps blanks", "<svg xmlns=\"http://www.w3.org/2000/svg\"><text><tspan>a</tspan> <tspan>b</tspan></text></svg>",
         "<svg xmlns=\"http://www.w3.org/2000/svg\"><text><tspan>a</tspan><tspan>b</tspan></text></svg>", false},
        {"SVG's groups do not", "<svg xmlns=\"http://www.w3.org/2000/svg\">\n <g>\n  <path/>\n </g>\n</svg>",
         "<svg xmlns=\"http://www.w3.org/2000/svg\"><g><path/></g></svg>", true},
        {"CDATA by value", "<a><![CDATA[x<y]]></a>", "<a>x&lt;y</a>", true},
        {"CDATA joins the text around it", "<a>x<![CDATA[y]]>z</a>", "<a>xyz</a>", true},
        {"CDATA's value counts", "<a><![CDATA[x]]></a>", "<a><![CDATA[ x]]></a>", false},
        {"blank CDATA among elements is layout", "<a><![CDATA[ ]]><b/></a>", "<a><b/></a>", true},
        {"character references by value", "<a>&#65;&#x42;</a>", "<a>AB</a>", true},
        {"an entity by its text", "<!DOCTYPE a [<!ENTITY e \"xy\">]><a>&e;</a>",
         "<!DOCTYPE a [<!ENTITY e \"xy\">]><a>xy</a>", true},
        {"an entity's text counts", "<!DOCTYPE a [<!ENTITY e \"xy\">]><a>&e;</a>",
         "<!DOCTYPE a [<!ENTITY e \"xy\">]><a>xz</a>", false},
        {"an entity with markup by its text", "<!DOCTYPE a [<!ENTITY e \"<b>x</b>\">]><a>&e;</a>",
         "<!DOCTYPE a [<!ENTITY e \"<b>x</b>\">]><a><b>x</b></a>", true},
        {"an entity in a value by its text", "<!DOCTYPE a [<!ENTITY e \"xy\">]><a><b>&e;</b><c v=\"&e;\"/></a>",
         "<!DOCTYPE a [<!ENTITY e \"xy\">]><a><b>&e;</b><c v=\"xy\"/></a>", true},
        {"an entity only in a value", "<!DOCTYPE a [<!ENTITY e \"xy\">]><a v=\"&e;\"/>",
         "<!DOCTYPE a [<!ENTITY e \"xy\">]><a v=\"xz\"/>", false},
        {"a text run split by an element", "<a>xy</a>", "<a>x<b/>y</a>", false},
    }));
}

TEST(XmlNearMiss, Markup)
{
    LexOptions comments;
    comments.comments = true;
    XML_PAIRS((std::vector<PairCase>{
        {"comments are layout", "<a><!-- one --><b/></a>", "<a><b/><!-- two --></a>", true},
        {"a comment does not divide text", "<a>x<!-- c -->y</a>", "<a>xy</a>", true},
        {"a comment's words with --comments", "<a><!-- one --></a>", "<a><!-- two --></a>", false, 0, 0, 0, 0, Xml,
         comments},
        {"a comment's blanks with --comments", "<a><!-- one  two --></a>", "<a><!--one\ntwo--></a>", true, 0, 0, 0,
         0, Xml, comments},
        {"a comment outside the root with --comments", "<!-- one --><a/>", "<a/>", false, 0, 0, 0, 0, Xml, comments},
        {"a comment divides text with --comments", "<a>x<!-- c -->y</a>", "<a>xy<!-- c --></a>", false, 0, 0,
         0, 0, Xml, comments},
        {"a processing instruction counts", "<?pi x?><a/>", "<a/>", false},
        {"a processing instruction's data", "<a><?pi x?></a>", "<a><?pi y?></a>", false},
        {"a processing instruction's target", "<a><?p x?></a>", "<a><?q x?></a>", false},
        {"a processing instruction divides text", "<a>x<?p?>y</a>", "<a>xy<?p?></a>", false},
        {"the DOCTYPE counts", "<!DOCTYPE a><a/>", "<a/>", false},
        {"the DOCTYPE's system name", "<!DOCTYPE a SYSTEM \"a.dtd\"><a/>", "<!DOCTYPE a SYSTEM \"b.dtd\"><a/>", false},
        {"the DOCTYPE's quotes are layout", "<!DOCTYPE a SYSTEM \"a.dtd\"><a/>", "<!DOCTYPE  a  SYSTEM 'a.dtd'><a/>",
         true},
        {"the internal subset's blanks", "<!DOCTYPE a [\n  <!ELEMENT a ANY>\n]><a/>", "<!DOCTYPE a [<!ELEMENT a ANY>]><a/>",
         true},
        {"the internal subset counts", "<!DOCTYPE a [<!ELEMENT a ANY>]><a/>", "<!DOCTYPE a [<!ELEMENT a EMPTY>]><a/>",
         false},
        {"an attribute list by its attributes", "<!DOCTYPE a [<!ATTLIST a x CDATA #IMPLIED y CDATA #IMPLIED>]><a/>",
         "<!DOCTYPE a [<!ATTLIST a x CDATA #IMPLIED>\n<!ATTLIST a y CDATA #IMPLIED>]><a/>", true},
        {"an attribute's default counts", "<!DOCTYPE a [<!ATTLIST a x CDATA \"1\">]><a/>",
         "<!DOCTYPE a [<!ATTLIST a x CDATA \"2\">]><a/>", false},
        {"a comment in the internal subset is layout", "<!DOCTYPE a [<!-- c -->]><a/>", "<!DOCTYPE a><a/>", true},
        {"a notation counts", "<!DOCTYPE a [<!NOTATION n SYSTEM \"x\">]><a/>",
         "<!DOCTYPE a [<!NOTATION n SYSTEM \"y\">]><a/>", false},
        {"blanks in an entity's literal count", "<!DOCTYPE a [<!ENTITY e \"x y\">]><a/>",
         "<!DOCTYPE a [<!ENTITY e \"x  y\">]><a/>", false},
        {"blanks around the root are layout", "\n<a/>\n\n", "<a/>", true},
    }));
}

TEST(XmlLexer, NamesAndBuild)
{
    EXPECT_EQ(languageNamed("svg"), Xml);
    EXPECT_EQ(languageOfName("res/values/strings.xml"), Xml);
    for (const char *name : {"a.svg", "a.XSD", "b.xsl", "Info.plist", "p.csproj", "Directory.Build.props",
                             "x.targets", "R.resx", "App.xaml"})
        EXPECT_EQ(languageOfName(name), Xml) << name;
    // A .ts file stays TypeScript's: its content test tells Qt's XML apart.
    EXPECT_EQ(languageOfName("app_de.ts"), Language::TypeScript);
    EXPECT_TRUE(nameTested("Info.plist"));
    EXPECT_TRUE(nameConfirmed("Info.plist", "<?xml", 5));
    EXPECT_FALSE(nameConfirmed("Info.plist", "bplist00", 8));
}

TEST(XmlLexer, TokensAndPlaces)
{
    if (!languageBuilt(Xml))
        GTEST_SKIP() << "this build reads no XML (no libxml2 headers)";
    const std::vector<Tok> t = lexText("<?xml version=\"1.0\"?>\n<a y='2' x=\"1\">\n  <b>t&amp;</b>\n</a>\n", Xml);
    const char *const keys[] = {"<a", "x=\"1\"", "y=\"2\"", "<b", "\"t&\"", "</b>", "</a>", ""};
    ASSERT_EQ(t.size(), sizeof keys / sizeof keys[0]);
    for (std::size_t i = 0; i < t.size(); ++i)
        EXPECT_EQ(t[i].key, keys[i]) << i;
    EXPECT_EQ(t[0].line, 2);
    EXPECT_EQ(t[3].line, 3);
    EXPECT_EQ(t.back().kind, TokenKind::End);
}

TEST(XmlLexer, BadInputIsRefused)
{
    if (!languageBuilt(Xml))
        GTEST_SKIP() << "this build reads no XML (no libxml2 headers)";
    const struct {
        const char *text;
        const char *reason;
    } rows[] = {
        {"<a>", "not valid XML at line 1, column 4"},
        {"<a>\n</b>", "not valid XML at line 2, column 5"},
        {"<a x='1' x='2'/>", "not valid XML at line 1, column 15"},
        {"<a/><b/>", "not valid XML at line 1, column 5"},
        {"", "not valid XML at line 1, column 1"},
        {"<a>&e;</a>", "not valid XML at line 1, column 7"},
        {"<a>\xC3\x28</a>", "not valid XML at line 1, column 4"},
        // Entities that expand a billion times, and an external one.
        {"<!DOCTYPE a [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
         "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
         "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
         "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">"
         "<!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]><a>&i;</a>",
         "entities that expand too far to compare as XML"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(refusalOf(row.text, Xml), row.reason) << row.text;
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "<a>";
    EXPECT_EQ(refusalOf(deep, Xml), "nested too deeply to compare as XML");
    // An external entity is never read: its reference stays as written.
    const std::string external = "<!DOCTYPE a [<!ENTITY e SYSTEM \"/etc/hostname\">]><a>&e;</a>";
    EXPECT_EQ(refusalOf(external, Xml), "");
    EXPECT_EQ(lexText(external, Xml)[3].key, "\"\xFF&e;\"");
}

} // namespace
