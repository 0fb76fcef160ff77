#include "WellFormedCorpus.h"

#include <random>

namespace xml {

namespace well_formed_corpus {

std::vector<std::string> handWritten() {
  return {
      "<a/>",
      "<invoke name=\"flashSetting\" returntype=\"xml\"><arguments><string>display</string>"
      "</arguments></invoke>",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root a='1' b=\"two\">text</root>\n",
      "<r x = 'single \"inner\"' y= \"double 'inner'\" z ='&lt;&amp;&gt;&quot;&apos;'/>",
      "<r>a &lt; b &amp;&amp; c &gt; d &#65;&#x42; &#x1F600; &#128512; &#x10FFFF;</r>",
      "<r><![CDATA[<not> &amp; markup]]></r>",
      "<r>before<![CDATA[ in ]]>after</r>",
      "<r>x<!-- comment -->y<?pi data?>z</r>",
      "<r> <!-- c --> spaced <![CDATA[ cdata ]]> \n </r>",
      "<!DOCTYPE r [\n  <!ELEMENT r (#PCDATA|e)*>\n  <!ATTLIST r a CDATA #IMPLIED>\n"
      "  <!ENTITY nbsp \"&#160;\">\n  <!ENTITY euro '&#x20AC;'>\n  <!-- a > comment -->\n"
      "  <?subset pi > ?>\n]>\n<r a=\"&euro;&nbsp;\">price&nbsp;10&euro;<e/></r>",
      "<!DOCTYPE r SYSTEM \"r.dtd\"><r/>",
      "<!DOCTYPE r PUBLIC \"-//Tessary//Call//EN\" \"call.dtd\"><r/>",
      "<\xc3\xa9l\xc3\xa9ment attribut\xc3\xa9=\"caf\xc3\xa9\">"
      "\xe4\xb8\xad\xe6\x96\x87\xe6\x96\x87\xe6\x9c\xac</\xc3\xa9l\xc3\xa9ment>",
      "<\xe5\x90\x8d\xe5\x89\x8d><\xd0\xb8\xd0\xbc\xd1\x8f>\xf0\x9f\x98\x80 emoji</\xd0\xb8\xd0\xbc\xd1\x8f>"
      "</\xe5\x90\x8d\xe5\x89\x8d>",
      "<r>a>b>c</r>",
      "<r a='x>y'>t</r >",
      "<r><a><b><c><d><e><f><g><h/></g></f></e></d></c></b></a></r>",
      "<r><a/><a></a><a> </a><a>t</a></r>",
      "<!-- lead --><?lead pi?><r/><!-- trail --><?trail?>\n",
      "<r\n  a=\"1\"\n  b='2'\n></r\n>",
      "<_r-x.y z_1.2-3=\"v\"><R/><_/></_r-x.y>",
  };
}

namespace {

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  std::string document() {
    std::string out;
    if (chance(50)) out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (chance(40)) out += doctype();
    out += misc();
    element(out, 0);
    out += misc();
    return out;
  }

 private:
  int below(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  bool chance(int percent) { return below(100) < percent; }

  std::string name() {
    static const char* const starts[] = {
        "a", "b", "item", "Node", "_x", "r", "\xc3\xa9t\xc3\xa9", "\xe4\xb8\xad", "\xd0\xb4", "long-name.with_parts"};
    static const char* const rest[] = {"", "", "1", "-2", ".3", "_z", "\xc3\xb1", "\xe6\x96\x87"};
    return std::string(starts[below(10)]) + rest[below(8)];
  }

  // Text without markup: references, non-ASCII, literal '>' and quotes. No reference
  // stands for whitespace or '>', so the raw and the decoded text split alike.
  std::string text() {
    static const char* const pieces[] = {
        "plain",
        " ",
        "words here",
        "&amp;",
        "&lt;",
        "&quot;",
        "&apos;",
        "&#65;",
        "&#x263A;",
        "&#x1F600;",
        "&#233;",
        ">",
        "'",
        "\"",
        "\xc3\xa9",
        "\xe4\xb8\xad\xe6\x96\x87",
        "\xf0\x9f\x8e\xae",
        "\n",
        "\t",
        "a]b",
        "x=y",
        "50%",
        "?!",
        "/",
    };
    std::string out;
    const int count = 1 + below(6);
    for (int i = 0; i < count; ++i) out += pieces[below(sizeof pieces / sizeof pieces[0])];
    return out;
  }

  std::string attributeValue(char quote) {
    static const char* const pieces[] = {"v",       "1", "two words",        "&amp;", "&lt;", "&gt;", "&#x41;",
                                         "&#8364;", ">", "\xc3\xa9\xc3\xa8", "/",     "?",    "=",    "&#x1F3AE;"};
    std::string out;
    const int count = below(4);
    for (int i = 0; i < count; ++i) out += pieces[below(sizeof pieces / sizeof pieces[0])];
    if (chance(20)) out += quote == '"' ? "'" : "\"";
    return out;
  }

  std::string attributes() {
    std::string out;
    const int count = below(4);
    for (int i = 0; i < count; ++i) {
      const char quote = chance(50) ? '"' : '\'';
      out += chance(80) ? " " : "\n  ";
      out += "at" + std::to_string(i) + (chance(20) ? "-\xc3\xa9" : "");
      out += chance(80) ? "=" : " = ";
      out += quote + attributeValue(quote) + quote;
    }
    if (chance(10)) out += " ";
    return out;
  }

  std::string comment() { return "<!--" + std::string(chance(50) ? " note > " : "x-y") + "-->"; }
  std::string instruction() { return chance(50) ? "<?pi data > more?>" : "<?target?>"; }
  std::string cdata() { return "<![CDATA[" + std::string(chance(50) ? "<raw> &amp; ]] >" : "") + "]]>"; }

  std::string misc() {
    std::string out;
    const int count = below(3);
    for (int i = 0; i < count; ++i) {
      const int pick = below(3);
      out += pick == 0 ? comment() : pick == 1 ? instruction() : "\n";
    }
    return out;
  }

  std::string doctype() {
    std::string out = "<!DOCTYPE root";
    if (chance(50)) out += " SYSTEM \"root.dtd\"";
    if (chance(70)) {
      out += " [\n";
      out += "  <!ELEMENT root ANY>\n";
      out += "  <!ATTLIST root at0 CDATA #IMPLIED at1 CDATA #IMPLIED>\n";
      out += "  <!ENTITY nbsp \"&#160;\">\n  <!ENTITY hellip '&#8230;'>\n";
      if (chance(50)) out += "  <!-- inside <the> subset -->\n  <?subset pi?>\n";
      if (chance(30)) out += "  <!NOTATION gif SYSTEM \"image>gif\">\n";
      out += "]";
    }
    return out + ">\n";
  }

  void element(std::string& out, int depth) {
    const std::string tag = name();
    out += "<" + tag + attributes();
    if (chance(15)) {
      out += chance(50) ? "/>" : " />";
      return;
    }
    out += ">";
    const bool leaf = depth >= 8 || chance(35);
    const int items = below(leaf ? 4 : 6);
    for (int i = 0; i < items; ++i) {
      const int pick = below(leaf ? 7 : 9);
      switch (pick) {
        case 0:
        case 1:
        case 2: out += text(); break;
        case 3: out += comment(); break;
        case 4: out += instruction(); break;
        case 5: out += cdata(); break;
        case 6: out += chance(30) ? "&nbsp;&hellip;" : "&#x20AC;"; break;
        default: element(out, depth + 1); break;
      }
    }
    out += "</" + tag + (chance(15) ? " " : "") + ">";
  }

  std::mt19937 random_;
};

}  // namespace

std::string generated(unsigned seed) {
  Generator generator(seed);
  std::string document = generator.document();
  // Named entities other than the five of XML need the declarations of the doctype.
  if (document.find("<!ENTITY nbsp") == std::string::npos) {
    for (const std::string entity : {"&nbsp;", "&hellip;"}) {
      for (size_t at = document.find(entity); at != std::string::npos; at = document.find(entity))
        document.replace(at, entity.size(), "&#160;");
    }
  }
  return document;
}

std::string deeplyNested(int depth) {
  std::string out;
  for (int i = 0; i < depth; ++i)
    out += "<n" + std::to_string(i % 7) + " level=\"" + std::to_string(i) + "\">t" + std::to_string(i);
  out += "<leaf>deep &amp; down</leaf>";
  for (int i = depth - 1; i >= 0; --i) out += "</n" + std::to_string(i % 7) + ">";
  return out;
}

}  // namespace well_formed_corpus

}  // namespace xml
