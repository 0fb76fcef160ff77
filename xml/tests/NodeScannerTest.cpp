#include "xml/NodeScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace xml {

namespace {

using namespace node_kind;

struct Node {
  int32_t kind;
  int32_t offset;
  int32_t length;
  uint32_t flags = 0;
  bool operator==(const Node&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Node& node) {
  return out << "{" << node.kind << ", " << node.offset << ", " << node.length << ", 0x" << std::hex << node.flags
             << std::dec << "}";
}

struct Scan {
  std::vector<Node> nodes;
  std::u16string log;
};

// Every node up to and including the end, with the scanner's records.
Scan scanAll(std::u16string_view text) {
  NodeScanner scanner(text.data(), static_cast<int32_t>(text.size()));
  Scan scan;
  for (;;) {
    const NodeReport report = scanner.next();
    scan.nodes.push_back(Node{report.kind, report.offset, report.length, report.flags});
    if (report.kind == kEnd) break;
  }
  scan.log = scanner.log();
  return scan;
}

std::vector<Node> nodesOf(std::u16string_view text) { return scanAll(text).nodes; }

TEST(NodeScanner, ElementTextAndEnd) {
  EXPECT_EQ(nodesOf(u"<a>text</a>"),
            (std::vector<Node>{{kStartTag, 0, 3}, {kText, 3, 4}, {kEndTag, 7, 4}, {kEnd, 11, 0}}));
  EXPECT_EQ(nodesOf(u""), (std::vector<Node>{{kEnd, 0, 0}}));
}

TEST(NodeScanner, WhitespaceOnlyRunsEndAtAngleBracketOrEnd) {
  EXPECT_EQ(nodesOf(u" \t\r\n<a/>  "),
            (std::vector<Node>{
                {kWhitespace, 0, 4}, {kStartTag, 4, 4, kEmptyElementTag}, {kWhitespace, 8, 2}, {kEnd, 10, 0}}));
  // Whitespace followed by other characters is one text node.
  EXPECT_EQ(nodesOf(u"  x <b/>"),
            (std::vector<Node>{{kText, 0, 4}, {kStartTag, 4, 4, kEmptyElementTag}, {kEnd, 8, 0}}));
}

TEST(NodeScanner, TextEndsRightAfterAGreaterThanSign) {
  EXPECT_EQ(nodesOf(u"a>b"), (std::vector<Node>{{kText, 0, 2}, {kText, 2, 1}, {kEnd, 3, 0}}));
  // A '>' as the first character does not end the text; after whitespace it does.
  EXPECT_EQ(nodesOf(u">x>y"), (std::vector<Node>{{kText, 0, 3}, {kText, 3, 1}, {kEnd, 4, 0}}));
  EXPECT_EQ(nodesOf(u" >x"), (std::vector<Node>{{kText, 0, 2}, {kText, 2, 1}, {kEnd, 3, 0}}));
}

TEST(NodeScanner, ProcessingInstructionsEndAtQuestionMarkGreaterThan) {
  EXPECT_EQ(nodesOf(u"<?xml version='1.0'?>"), (std::vector<Node>{{kProcessingInstruction, 0, 21}, {kEnd, 21, 0}}));
  EXPECT_EQ(nodesOf(u"<?a>b?>"), (std::vector<Node>{{kProcessingInstruction, 0, 7}, {kEnd, 7, 0}}));
  // The opener's '?' already completes the terminator.
  EXPECT_EQ(nodesOf(u"<?>"), (std::vector<Node>{{kProcessingInstruction, 0, 3}, {kEnd, 3, 0}}));
}

TEST(NodeScanner, NamesOfTagsAndProcessingInstructions) {
  std::u16string text = u"<abc d='1'></xy z><?tgt x?>";
  NodeScanner scanner(text.data(), static_cast<int32_t>(text.size()));
  scanner.next();
  EXPECT_EQ(scanner.nameFirst(), 1);
  EXPECT_EQ(scanner.nameLast(), 3);
  scanner.next();
  EXPECT_EQ(scanner.nameFirst(), 13);
  EXPECT_EQ(scanner.nameLength(), 2);
  scanner.next();
  EXPECT_EQ(scanner.nameFirst(), 20);
  EXPECT_EQ(scanner.nameLength(), 3);

  std::u16string empty = u"</>";
  NodeScanner emptyName(empty.data(), 3);
  EXPECT_EQ(emptyName.next().kind, kEndTag);
  EXPECT_EQ(emptyName.nameLength(), 0);
}

TEST(NodeScanner, CommentsIncludingTheOpenerSharingItsDashes) {
  EXPECT_EQ(nodesOf(u"<!---->"), (std::vector<Node>{{kComment, 0, 7}, {kEnd, 7, 0}}));
  EXPECT_EQ(nodesOf(u"<!-->x"), (std::vector<Node>{{kComment, 0, 5}, {kText, 5, 1}, {kEnd, 6, 0}}));
  EXPECT_EQ(nodesOf(u"<!--->"), (std::vector<Node>{{kComment, 0, 6}, {kEnd, 6, 0}}));
  EXPECT_EQ(nodesOf(u"<!-- a -- b > c -->"), (std::vector<Node>{{kComment, 0, 19}, {kEnd, 19, 0}}));
}

TEST(NodeScanner, CdataSectionsEndAtTheFirstDoubleBracketGreaterThan) {
  EXPECT_EQ(nodesOf(u"<![CDATA[ <a> ]]>"), (std::vector<Node>{{kCdata, 0, 17}, {kEnd, 17, 0}}));
  EXPECT_EQ(nodesOf(u"<![CDATA[a]]>b]]>"), (std::vector<Node>{{kCdata, 0, 13}, {kText, 13, 4}, {kEnd, 17, 0}}));
  // Only the 'C' is looked at.
  EXPECT_EQ(nodesOf(u"<![Cxyz]]>"), (std::vector<Node>{{kCdata, 0, 10}, {kEnd, 10, 0}}));
}

TEST(NodeScanner, DocumentTypeWithAnInternalSubsetIsOneNode) {
  const std::u16string doctype =
      u"<!DOCTYPE a [<!ELEMENT a (#PCDATA)><!ATTLIST a b CDATA 'x>y'>"
      u"<!ENTITY e \"v>\"><!NOTATION n SYSTEM 'n'><!-- c > --><?p > ?><x y>]>";
  const int32_t n = static_cast<int32_t>(doctype.size());
  EXPECT_EQ(nodesOf(doctype + u"<a/>"),
            (std::vector<Node>{{kDocumentType, 0, n}, {kStartTag, n, 4, kEmptyElementTag}, {kEnd, n + 4, 0}}));
  EXPECT_EQ(nodesOf(u"<!Dx>"), (std::vector<Node>{{kDocumentType, 0, 5}, {kEnd, 5, 0}}));
  // A '<' that opens nothing is an ordinary character of the declaration.
  EXPECT_EQ(nodesOf(u"<!DOCTYPE a <1 >"), (std::vector<Node>{{kDocumentType, 0, 16}, {kEnd, 16, 0}}));
}

TEST(NodeScanner, StartTagQuotedValuesMayHoldGreaterThan) {
  EXPECT_EQ(nodesOf(u"<a b='>' c=\"x>y\">"), (std::vector<Node>{{kStartTag, 0, 17}, {kEnd, 17, 0}}));
  EXPECT_EQ(nodesOf(u"<a b = '>'>"), (std::vector<Node>{{kStartTag, 0, 11}, {kEnd, 11, 0}}));
  // A quote that does not follow '=' opens nothing.
  EXPECT_EQ(nodesOf(u"<a 'x>y'>"), (std::vector<Node>{{kStartTag, 0, 6}, {kText, 6, 3}, {kEnd, 9, 0}}));
  // A '=' inside the name still makes the following quote a value.
  EXPECT_EQ(nodesOf(u"<a='>'>"), (std::vector<Node>{{kStartTag, 0, 7}, {kEnd, 7, 0}}));
}

TEST(NodeScanner, EmptyElementTagsUnlessTheSlashEndsAnUnquotedValue) {
  EXPECT_EQ(nodesOf(u"<a/>")[0].flags, kEmptyElementTag);
  EXPECT_EQ(nodesOf(u"<a b=\">\"/>")[0].flags, kEmptyElementTag);
  EXPECT_EQ(nodesOf(u"<a b=c />")[0].flags, kEmptyElementTag);
  EXPECT_EQ(nodesOf(u"<a b=c/>")[0], (Node{kStartTag, 0, 8, 0}));
  EXPECT_EQ(nodesOf(u"<a b=/>")[0], (Node{kStartTag, 0, 7, 0}));
  EXPECT_EQ(nodesOf(u"<a/ >")[0].flags, 0u);
  EXPECT_EQ(nodesOf(u"<a/b>")[0].flags, 0u);
}

TEST(NodeScanner, StartTagsOpenWithNameCharactersOnly) {
  for (std::u16string text : {u"<:a>", u"<_a>", u"<Za>", u"<{a>", u"<~>", u"<\u00e9>", u"<\u4e2d>"})
    EXPECT_EQ(nodesOf(text)[0].kind, kStartTag) << text.size();
  for (std::u16string text : {u"<1>", u"< a>", u"<[a>", u"<\\a>", u"<]>", u"<^>", u"<`>", u"<@>", u"<->"})
    EXPECT_EQ(nodesOf(text)[0].kind, kFaulty);
}

TEST(NodeScanner, FaultyNodesRunToGreaterThanOrUpToLessThan) {
  Scan scan = scanAll(u"x<1a>y");
  EXPECT_EQ(scan.nodes, (std::vector<Node>{{kText, 0, 1}, {kFaulty, 1, 4}, {kText, 5, 1}, {kEnd, 6, 0}}));
  EXPECT_EQ(scan.log, u"<first_tag_syntax offset=\"1\"/>");

  scan = scanAll(u"<<b/>");
  EXPECT_EQ(scan.nodes, (std::vector<Node>{{kFaulty, 0, 1}, {kStartTag, 1, 4, kEmptyElementTag}, {kEnd, 5, 0}}));

  scan = scanAll(u"<!x<a/>");
  EXPECT_EQ(scan.nodes[0], (Node{kFaulty, 0, 3}));
  EXPECT_EQ(scan.log, u"<exclamation_tag_syntax offset=\"0\"/>");

  scan = scanAll(u"<!-x>");
  EXPECT_EQ(scan.nodes[0], (Node{kFaulty, 0, 5}));
  EXPECT_EQ(scan.log, u"<comment_tag_syntax offset=\"0\"/>");

  scan = scanAll(u"<![x>");
  EXPECT_EQ(scan.nodes[0], (Node{kFaulty, 0, 5}));
  EXPECT_EQ(scan.log, u"<cdata_section_syntax offset=\"0\"/>");
}

// A faulty nested node does not cut the declaration short: it goes on to its own '>', the
// whole declaration is the faulty node, and every record names the declaration's offset.
TEST(NodeScanner, AFaultInsideTheDoctypeLeavesTheDeclarationWhole) {
  struct Case {
    const char16_t* text;
    std::vector<Node> nodes;
    const char16_t* log;
  };
  const Case cases[] = {
      {u"ab<!DOCTYPE a [<!x>]>",
       {{kText, 0, 2}, {kFaulty, 2, 19}, {kEnd, 21, 0}},
       u"<doctype_tag_syntax offset=\"2\"/>"},
      // Declarations after the fault stay inside; a '>' in a literal still does not end them.
      {u"<!DOCTYPE a [<!-x><!ENTITY e '>'><!x <!ATTLIST r>]><r/>",
       {{kFaulty, 0, 51}, {kStartTag, 51, 4, kEmptyElementTag}, {kEnd, 55, 0}},
       u"<doctype_tag_syntax offset=\"0\"/><doctype_tag_syntax offset=\"0\"/>"},
      {u"<!DOCTYPE a [<![INCLUDE[]]>]>", {{kFaulty, 0, 29}, {kEnd, 29, 0}}, u"<doctype_tag_syntax offset=\"0\"/>"},
      // The end of the text inside the faulty node or after it is inside the declaration.
      {u"<!DOCTYPE a [<!x",
       {{kFaulty, 0, 16}, {kEnd, 16, 0}},
       u"<doctype_tag_syntax offset=\"0\"/>"
       u"<unterminated_tag_syntax type=\"document_type\" offset=\"0\"/>"},
      {u"<!DOCTYPE a [<!x> <!ELEMENT a ANY>",
       {{kFaulty, 0, 34}, {kEnd, 34, 0}},
       u"<doctype_tag_syntax offset=\"0\"/>"
       u"<unterminated_tag_syntax type=\"document_type\" offset=\"0\"/>"},
  };
  for (const Case& c : cases) {
    const Scan scan = scanAll(c.text);
    EXPECT_EQ(scan.nodes, c.nodes) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    EXPECT_EQ(scan.log, c.log);
  }
}

struct Unterminated {
  const char16_t* text;
  const char16_t* type;
};

class UnterminatedNodes : public testing::TestWithParam<Unterminated> {};

TEST_P(UnterminatedNodes, RunToTheEndWithTheirTypeWord) {
  const std::u16string text = std::u16string(u"ab") + GetParam().text;
  const Scan scan = scanAll(text);
  ASSERT_EQ(scan.nodes.size(), 3u);
  EXPECT_EQ(scan.nodes[1], (Node{kFaulty, 2, static_cast<int32_t>(text.size()) - 2}));
  EXPECT_EQ(scan.log, std::u16string(u"<unterminated_tag_syntax type=\"") + GetParam().type + u"\" offset=\"2\"/>");
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, UnterminatedNodes,
    testing::Values(Unterminated{u"<a b='>", u"start_tag"}, Unterminated{u"<a", u"start_tag"},
                    Unterminated{u"</a", u"end_tag"}, Unterminated{u"<?x ?", u"processing_instruction"},
                    Unterminated{u"<!--", u"comment"}, Unterminated{u"<!-- -- >", u"comment"},
                    Unterminated{u"<![CDATA[", u"cdata_section"}, Unterminated{u"<![CDATA[]>", u"cdata_section"},
                    Unterminated{u"<!DOCTYPE", u"document_type"},
                    Unterminated{u"<!DOCTYPE a [<!ENTITY e 'x>", u"document_type"},
                    Unterminated{u"<!DOCTYPE a [<!-- x", u"document_type"},
                    Unterminated{u"<!DOCTYPE a [<?p", u"document_type"},
                    Unterminated{u"<!DOCTYPE a [<", u"document_type"}, Unterminated{u"<", u"tag"},
                    Unterminated{u"<!", u"tag"}, Unterminated{u"<!-", u"tag"}, Unterminated{u"<![", u"tag"}));

TEST(NodeScanner, AFaultyNodeReachingTheEndWritesBothRecords) {
  const Scan scan = scanAll(u"<1");
  EXPECT_EQ(scan.nodes[0], (Node{kFaulty, 0, 2}));
  EXPECT_EQ(scan.log, u"<first_tag_syntax offset=\"0\"/><unterminated_tag_syntax type=\"tag\" offset=\"0\"/>");
}

TEST(NodeScanner, ScansOnlyUpToTheGivenLength) {
  const std::u16string text = u"<a>xy</a>";
  NodeScanner scanner(text.data(), 5, 3);
  NodeReport report = scanner.next();
  EXPECT_EQ(report.kind, kText);
  EXPECT_EQ(report.offset, 3);
  EXPECT_EQ(report.length, 2);
  EXPECT_EQ(scanner.next().kind, kEnd);
}

// The searches read several units per step: every position of the first stop, next to
// units that share a byte with '<' or a name's stop characters, must still be found.
TEST(NodeScanner, WordAtATimeSearchesFindTheFirstStopAtEveryPosition) {
  const std::u16string fillers = u"a\u8000\u013C\u3C00\uFFFF>=\u0020";
  for (char16_t filler : fillers) {
    for (int k = 0; k < 21; ++k) {
      const std::u16string text = std::u16string(static_cast<size_t>(k), filler) + u"<a/>";
      NodeScanner scanner(text.data(), static_cast<int32_t>(text.size()));
      const NodeReport report = scanner.nextMarkup();
      EXPECT_EQ(Node(report.kind, report.offset, report.length, report.flags), Node(kStartTag, k, 4, kEmptyElementTag))
          << "filler " << static_cast<int>(filler) << " at " << k;
    }
  }
  // Names of every length from units above and below 64.
  const std::u16string nameUnits = u"b\u00E9\u8000\uFFFF<!";
  const std::u16string ends[] = {u" x='1'/>", u"/>", u">", u"\t>"};
  for (char16_t unit : nameUnits) {
    for (int n = 1; n < 10; ++n) {
      for (const std::u16string& end : ends) {
        const std::u16string text = u"<a" + std::u16string(static_cast<size_t>(n - 1), unit) + end + u"x";
        NodeScanner scanner(text.data(), static_cast<int32_t>(text.size()));
        const NodeReport report = scanner.next();
        const bool empty = end.size() > 1 && end[end.size() - 2] == u'/';
        EXPECT_EQ(Node(report.kind, report.offset, report.length, report.flags),
                  Node(kStartTag, 0, static_cast<int32_t>(text.size()) - 1, empty ? kEmptyElementTag : 0u))
            << "unit " << static_cast<int>(unit) << " length " << n;
        EXPECT_EQ(scanner.nameLength(), n) << "unit " << static_cast<int>(unit) << " length " << n;
      }
    }
  }
  // A '=' after the first four units of a name: the name still runs to the space.
  for (std::u16string_view text : {u"<abcde=f g>", u"<abcdefgh=ij k>"}) {
    NodeScanner scanner(text.data(), static_cast<int32_t>(text.size()));
    const NodeReport report = scanner.next();
    EXPECT_EQ(Node(report.kind, report.offset, report.length, report.flags),
              Node(kStartTag, 0, static_cast<int32_t>(text.size())));
    EXPECT_EQ(scanner.nameLength(), static_cast<int32_t>(text.find(u' ')) - 1);
  }
  // An end tag written exactly as the expected one is taken whole and flagged; any other
  // form is scanned as usual, and one cut by the end of the text stays unterminated.
  const struct {
    std::u16string_view text;
    Node node;
    int32_t nameLength;
  } endTags[] = {
      {u"</ab>", {kEndTag, 0, 5, kExpectedEndTag}, 2},
      {u"</ab >", {kEndTag, 0, 6}, 2},
      {u"</abc>", {kEndTag, 0, 6}, 3},
      {u"</a>", {kEndTag, 0, 4}, 1},
      {u"</AB>", {kEndTag, 0, 5}, 2},
      {u"</ab", {kFaulty, 0, 4}, 2},
  };
  for (const auto& c : endTags) {
    NodeScanner scanner(c.text.data(), static_cast<int32_t>(c.text.size()));
    scanner.expectEndTag(u"ab", 2);
    const NodeReport report = scanner.nextMarkup();
    EXPECT_EQ(Node(report.kind, report.offset, report.length, report.flags), c.node)
        << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(scanner.nameLength(), c.nameLength) << std::string(c.text.begin(), c.text.end());
  }
}

// A refill source that hands out the text in pieces, as read-file mode does.
class PieceRefill : public ScannerRefill {
 public:
  explicit PieceRefill(std::u16string whole, size_t piece) : whole_(std::move(whole)), piece_(piece) {
    loaded_ = whole_.substr(0, piece_);
    given_ = loaded_.size();
  }
  bool refill(const char16_t*& text, int32_t& length, int32_t keepFrom, int32_t& dropped) override {
    if (given_ >= whole_.size()) return false;
    loaded_.erase(0, static_cast<size_t>(keepFrom));
    dropped = keepFrom;
    loaded_ += whole_.substr(given_, piece_);
    given_ += piece_;
    text = loaded_.data();
    length = static_cast<int32_t>(loaded_.size());
    return true;
  }
  std::u16string loaded_;

 private:
  std::u16string whole_;
  size_t piece_;
  size_t given_;
};

TEST(NodeScanner, RefillsAndScansTheCutNodeAgain) {
  PieceRefill refill(u"<root attr='a long value'>some text<!-- note --></root>", 5);
  NodeScanner scanner(refill.loaded_.data(), static_cast<int32_t>(refill.loaded_.size()));
  scanner.setRefill(&refill);
  std::vector<int32_t> kinds;
  for (NodeReport report = scanner.next(); report.kind != kEnd; report = scanner.next()) kinds.push_back(report.kind);
  EXPECT_EQ(kinds, (std::vector<int32_t>{kStartTag, kText, kComment, kEndTag}));
  EXPECT_TRUE(scanner.log().empty());
}

}  // namespace

}  // namespace xml
