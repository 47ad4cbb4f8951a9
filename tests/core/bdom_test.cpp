#include "engine/bdom.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/util.h"
#include "tests/support/paths.h"

namespace ordavo {
namespace {

TEST(BDOM, FindChildCountsTextNodes) {
    BDOM dom;
    ASSERT_EQ(dom.LoadMemory("<a>\n<b/><b></b>\n</a>"), 0);
    BNodeList a = dom.SelectNodes("//a");
    ASSERT_EQ(a.size(), 1u);
    BNodeList children = BDOM::ChildNodes(a[0]);
    ASSERT_EQ(BDOM::Length(children), 4);
    EXPECT_EQ(BDOM::NodeName(BDOM::Item(children, 0)), "#text");
    EXPECT_EQ(BDOM::FindChild(children, "b", 0), 1);
    EXPECT_EQ(BDOM::FindChild(children, "b", 1), 2);
    EXPECT_EQ(BDOM::FindChild(children, "b", 2), -1);
    EXPECT_EQ(BDOM::FindChild(children, "B", 0), -1);
    EXPECT_EQ(BDOM::FindChild(children, "#text", 1), 3);
    EXPECT_EQ(BDOM::Item(children, 4), nullptr);
    EXPECT_EQ(BDOM::Item(children, -1), nullptr);

    ASSERT_EQ(dom.LoadMemory("<a><b/><b/></a>"), 0);
    children = BDOM::ChildNodes(dom.SelectNodes("//a")[0]);
    EXPECT_EQ(BDOM::FindChild(children, "b", 0), 0);
    EXPECT_EQ(BDOM::FindChild(children, "b", 1), 1);
}

TEST(BDOM, SelectsAtAnyDepthInDocumentOrder) {
    BDOM dom;
    ASSERT_EQ(dom.LoadMemory("<r><cmd><titulo>1</titulo></cmd><g><h><cmd><titulo>2</titulo></cmd></h></g>"
                             "<cmd><titulo>3</titulo><cmd><titulo>4</titulo></cmd></cmd></r>"),
              0);
    BNodeList cmds = dom.SelectNodes("//cmd");
    ASSERT_EQ(cmds.size(), 4u);
    std::string order;
    for (BNode c : cmds) order += BDOM::Text(BDOM::Item(BDOM::ChildNodes(c), 0));
    EXPECT_EQ(order, "1234");
}

TEST(BDOM, LoadFailuresAndEncodings) {
    test::TempDir dir;
    BDOM dom;
    EXPECT_EQ(dom.Load(dir.File("missing.xml")), -1);
    EXPECT_TRUE(dom.SelectNodes("//cmd").empty());

    ASSERT_TRUE(WriteFileAtomically(dir.File("bad.xml"), "<a>\n<b>\n</a>"));
    EXPECT_EQ(dom.Load(dir.File("bad.xml")), -1);
    EXPECT_NE(dom.LastError().find("bad.xml:"), std::string::npos) << dom.LastError();
    EXPECT_TRUE(dom.SelectNodes("//a").empty());  // no usable document is left

    // Declared Windows-1252: texts come back as the same bytes.
    ASSERT_TRUE(WriteFileAtomically(dir.File("w.xml"),
                                    "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n<t>A\xF1o \xE9</t>"));
    ASSERT_EQ(dom.Load(dir.File("w.xml")), 0);
    EXPECT_EQ(BDOM::Text(dom.DocumentElement()), "A\xF1o \xE9");

    // UTF-8 files are converted to Windows-1252 as well.
    ASSERT_TRUE(WriteFileAtomically(dir.File("u.xml"), "<t>A\xC3\xB1o \xE2\x82\xAC</t>"));
    ASSERT_EQ(dom.Load(dir.File("u.xml")), 0);
    EXPECT_EQ(BDOM::Text(dom.DocumentElement()), "A\xF1o \x80");

    // Undeclared Windows-1252 bytes, as an old editor writes them, are still read.
    ASSERT_TRUE(WriteFileAtomically(dir.File("n.xml"), "<t>Par\xE1metro</t>"));
    ASSERT_EQ(dom.Load(dir.File("n.xml")), 0);
    EXPECT_EQ(BDOM::Text(dom.DocumentElement()), "Par\xE1metro");

    // An external entity is never fetched or read.
    ASSERT_TRUE(WriteFileAtomically(dir.File("secret.txt"), "SECRET"));
    std::string xxe = "<?xml version=\"1.0\"?><!DOCTYPE t [<!ENTITY x SYSTEM \"" + dir.File("secret.txt") +
                      "\">]><t>&x;</t>";
    ASSERT_TRUE(WriteFileAtomically(dir.File("x.xml"), xxe));
    if (dom.Load(dir.File("x.xml")) == 0) {
        EXPECT_EQ(BDOM::Text(dom.DocumentElement()).find("SECRET"), std::string::npos);
    }
}

TEST(BDOM, BuildSaveAndReadBack) {
    test::TempDir dir;
    BDOM dom;
    dom.NewDocument();
    dom.CreateProcessingInstruction("xml", "version='1.0' encoding='Windows-1252'");
    dom.AppendChild(nullptr, dom.CreateProcessingInstruction("xml-stylesheet", "type='text/xml' href='style.xsl'"));
    BNode root = dom.CreateElement("sequencias");
    dom.SetAttribute(root, "xml:space", "preserve");
    dom.AppendChild(nullptr, root);
    dom.AppendChild(root, dom.CreateTextNode("\n"));
    BNode t = dom.CreateElement("titulo");
    dom.SetText(t, "Caf\xE9 <&> \"x\"\r\nfin");
    dom.AppendChild(root, t);
    dom.AppendChild(root, dom.CreateTextNode("\n"));

    std::string bytes = dom.Serialize();
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"Windows-1252\"?>", 0), 0u) << bytes;
    EXPECT_NE(bytes.find("<?xml-stylesheet type='text/xml' href='style.xsl'?>"), std::string::npos);
    EXPECT_NE(bytes.find("Caf\xE9"), std::string::npos);  // stored as one Windows-1252 byte

    ASSERT_EQ(dom.Save(dir.File("s.xml")), 0);
    BDOM back;
    ASSERT_EQ(back.Load(dir.File("s.xml")), 0);
    BNodeList titles = back.SelectNodes("//titulo");
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(BDOM::Text(titles[0]), "Caf\xE9 <&> \"x\"\r\nfin");
    BNodeList children = BDOM::ChildNodes(back.DocumentElement());
    EXPECT_EQ(BDOM::FindChild(children, "titulo", 0), 1);

    // A save that cannot be written leaves the old file whole and no stray files.
    ASSERT_EQ(back.Save(dir.File("nodir/s.xml")), -1);
    std::string old;
    ASSERT_TRUE(ReadWholeFile(dir.File("s.xml"), old));
    EXPECT_EQ(old, bytes);
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace ordavo
