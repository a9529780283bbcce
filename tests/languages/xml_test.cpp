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
#include "../tree_judge.h"
#include "languages/languages.h"

namespace {

const Language Xml = Language::Xml;

TEST(XmlNearMiss, Pairs)
{
    BUILT_PAIRS(Xml, "XML (no libxml2 headers)", (std::vector<PairCase>{
        // Tags.
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
        // Text.
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
        // Markup.
        {"comments are layout", "<a><!-- one --><b/></a>", "<a><b/><!-- two --></a>", true},
        {"a comment does not divide text", "<a>x<!-- c -->y</a>", "<a>xy</a>", true},
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
        {"a first #! line is a token", "#!/usr/bin/env run\n<a/>", "\n<a/>", false},
        {"another #! line", "#!/usr/bin/env run\n<a/>", "#!/usr/bin/env walk\n<a/>", false},
        {"a #! line's blanks", "#!/usr/bin/env run\n<a/>", "#!  /usr/bin/env run \n<a/>", true},
    }));
    std::vector<PairCase> comments = {
        {"a comment's words with --comments", "<a><!-- one --></a>", "<a><!-- two --></a>", false},
        {"a comment's blanks with --comments", "<a><!-- one  two --></a>", "<a><!--one\ntwo--></a>", true},
        {"a comment outside the root with --comments", "<!-- one --><a/>", "<a/>", false},
        {"a comment divides text with --comments", "<a>x<!-- c -->y</a>", "<a>xy<!-- c --></a>", false},
    };
    for (PairCase &c : comments)
        c.options.comments = true;
    BUILT_PAIRS(Xml, "XML (no libxml2 headers)", comments);
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
    if (languageBuilt(Xml)) {  // the content test is the module's
        EXPECT_FALSE(nameConfirmed("Info.plist", "bplist00", 8));
    }
}

TEST(XmlLexer, TokensAndPlaces)
{
    SKIP_UNLESS_BUILT(Xml, "XML (no libxml2 headers)");
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
    SKIP_UNLESS_BUILT(Xml, "XML (no libxml2 headers)");
    const char *const undeclared = "an entity not declared in the file cannot be compared as XML";
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "<a>";
    checkRefusals(Xml, {
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
        {deep, "nested too deeply to compare as XML"},
        // An external entity is never read: a reference to one refuses the
        // document, a declaration alone does not.
        {"<!DOCTYPE a [<!ENTITY e SYSTEM \"/etc/hostname\">]><a>&e;</a>",
         "an external entity, which is not read, cannot be compared as XML"},
        {"<!DOCTYPE a [<!ENTITY e SYSTEM \"/etc/hostname\">]><a/>", ""},
        // Nor is a DTD outside the file: an entity it may declare is unknown.
        {"<!DOCTYPE a SYSTEM \"a.dtd\"><a>&e;</a>", undeclared},
        {"<!DOCTYPE a SYSTEM \"a.dtd\"><a v=\"&e;\"/>", undeclared},
    });
    EXPECT_NE(refusalOf("<!DOCTYPE a [<!ENTITY % p SYSTEM \"p.ent\">%p;]><a>&e;</a>", Xml), "");
}

} // namespace

// The samples of tests/languages/xml and real XML files of this machine
// through xmllint --format and prettier's XML plugin, each pair judged by
// lxml's canonical form with the blanks that are layout taken out
// (xml_judge.py): a pair the judge calls different must never be
// equivalent; of those it calls the same, at most 2% may be flagged, for
// each formatter setting. Near misses and relayouts of the same files
// (xml_judge.py mutate) are judged so too.
namespace {

class XmlFormatterTools : public ::testing::Test {
protected:
    static std::string judgeScript() { return std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/xml_judge.py"; }

    static std::string npm() { return std::string(MATCHLING_NPM_TOOLS) + "/../.."; }

    // A Python that has lxml; empty when none.
    static std::string python()
    {
        for (const char *p : {"/usr/bin/python3", "python3"})
            if (std::system((std::string(p) + " -c 'import lxml.etree' >/dev/null 2>&1").c_str()) == 0)
                return p;
        return std::string();
    }

    // Judges the pairs of directories a and b under root; a pair lxml does
    // not read is left out.
    static TreeTally judge(const std::string &root, const std::string &a, const std::string &b)
    {
        const TreeTally t = judgeTrees(python() + " '" + judgeScript() + "' judge", root, a, b);
        EXPECT_EQ(t.misses, 0) << b;
        EXPECT_LE(t.falseAlarms * 50, t.same) << b;
        return t;
    }
};

TEST_F(XmlFormatterTools, JudgedByCanonicalForm)
{
    SKIP_UNLESS_BUILT(Xml, "XML (no libxml2 headers)");
    if (python().empty() || !haveTool("xmllint"))
        GTEST_SKIP() << "python3 with lxml and xmllint are needed";
    const std::string prettier = npmTool("prettier");
    const bool withPrettier = haveTool("node") && !prettier.empty() && exists(npm() + "/node_modules/@prettier/plugin-xml");
    // The samples, then a deterministic sample of the files that lxml
    // reads: the first of each directory in path order, 100 at most.
    const std::string samples = std::string(MATCHLING_SOURCE_DIR) + "/tests/languages/xml";
    const std::vector<std::string> found = commandLines(
        "{ ls -d '" + samples + "'/*; find /usr /etc \\( -name '*.xml' -o -name '*.svg' -o -name '*.xsd' -o -name "
        "'*.xsl' -o -name '*.xslt' -o -name '*.plist' -o -name '*.csproj' -o -name '*.props' -o -name '*.targets' "
        "-o -name '*.resx' -o -name '*.xaml' \\) -type f -size -64k -size +0 -print 2>/dev/null | LC_ALL=C sort | "
        "awk '{d = $0; sub(/\\/[^\\/]*$/, \"\", d); if (!(d in seen)) { seen[d] = 1; print } }'; } | "
        "xargs -d '\\n' " + python() + " '" + judgeScript() + "' parses | head -100");
    if (found.size() < 30)
        GTEST_SKIP() << "too few XML files found on this machine";
    ScratchDir dir;
    ASSERT_EQ(std::system(("mkdir '" + dir.file("orig") + "'").c_str()), 0);
    int count = 0;
    for (const std::string &f : found)
        writeFile(dir.file("orig/" + std::to_string(count++) + "_" + f.substr(f.rfind('/') + 1)), readFile(f));
    // Each setting's copy of the files, formatted where the formatter could.
    struct Setting {
        const char *name;
        std::string command;  // run in the copy's directory
    };
    std::vector<Setting> settings = {
        {"xmllint", "for f in *; do xmllint --format \"$f\" >../tmp 2>/dev/null && mv ../tmp \"$f\"; done"},
        {"xmllint-tab",
         "for f in *; do XMLLINT_INDENT='\t' xmllint --format \"$f\" >../tmp 2>/dev/null && mv ../tmp \"$f\"; done"},
    };
    const std::string run = "'" + prettier + "' --no-config --no-editorconfig --log-level silent --plugin='" + npm() +
                            "/node_modules/@prettier/plugin-xml/src/plugin.js' --write";
    if (withPrettier) {
        settings.push_back({"prettier", run + " . >/dev/null 2>&1"});
        settings.push_back({"prettier-ignore", run + " --xml-whitespace-sensitivity ignore . >/dev/null 2>&1"});
        settings.push_back({"prettier-narrow", run + " --print-width 40 --tab-width 4 --xml-self-closing-space false "
                                                     ". >/dev/null 2>&1"});
    } else {
        std::printf("prettier's XML plugin not found (npm ci in tests/npm): xmllint alone\n");
    }
    for (const Setting &s : settings)
        ASSERT_EQ(std::system(("cd '" + dir.path() + "' && cp -r orig " + s.name + " && cd " + s.name + " && { " +
                               s.command + "; true; }")
                                  .c_str()),
                  0);
    for (const Setting &s : settings) {
        const TreeTally t = judge(dir.path(), "orig", s.name);
        EXPECT_GT(t.same, 50) << s.name;
    }

    // Near misses and relayouts of the same files.
    ASSERT_EQ(std::system((python() + " '" + judgeScript() + "' mutate '" + dir.file("orig") + "' '" +
                           dir.file("mutants") + "'")
                              .c_str()),
              0);
    for (const char *kind : {"reorder", "indent", "text", "blank", "between", "leaf", "value", "rename"}) {
        const TreeTally t = judge(dir.file("mutants"), std::string(kind) + "-orig", kind);
        EXPECT_GT(t.pairs, 5) << kind;
    }
}

} // namespace
