#include <gtest/gtest.h>

#include "platform/PropertyListFile.h"

namespace {

using namespace platform;

TEST(OldStylePlistParserTest, ParsesTheTextForm) {
  const struct {
    const char* text;
    PlistValue expected;
  } cases[] = {
      {"{}", PlistDictionary{}},
      {"()", PlistArray{}},
      {"( a, b, )", PlistArray{"a", "b"}},
      {"{ a = b; a = c; }", PlistDictionary{{"a", "c"}}},
      {"{ path = /Applications/Norq.app; id = com.norq-rcp_1.$x+y:z; }",
       PlistDictionary{{"path", "/Applications/Norq.app"}, {"id", "com.norq-rcp_1.$x+y:z"}}},
      {"{ \"key with spaces\" = 'single quoted'; }",
       PlistDictionary{{"key with spaces", "single quoted"}}},
      {R"(( "\n\t\r\\\"\'\a\b\f\v", "\U00e9\U20AC\Ue000", "\101\060\351", "\Ud83d\Ude00", "\q" ))",
       PlistArray{"\n\t\r\\\"'\a\b\f\v", "\xC3\xA9\xE2\x82\xAC\xEE\x80\x80", "A0\xC3\xA9", "\xF0\x9F\x98\x80", "q"}},
      {"( < 0a FF\n 10 >, <> )", PlistArray{PlistData{0x0A, 0xFF, 0x10}, PlistData{}}},
      {"/* a */ { // b\n x /* c */ = // d\n ( y /**/ ) ; } // end", PlistDictionary{{"x", PlistArray{"y"}}}},
      {"{ url = http://host/a//b; }", PlistDictionary{{"url", "http://host/a//b"}}},
      {"{ outer = { inner = ( { deep = 1; } ); }; }",
       PlistDictionary{{"outer", PlistDictionary{{"inner", PlistArray{PlistDictionary{{"deep", "1"}}}}}}}},
      {"{ \"\xC3\xA9t\xC3\xA9\" = \"caf\xC3\xA9\"; }", PlistDictionary{{"\xC3\xA9t\xC3\xA9", "caf\xC3\xA9"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.expected, OldStylePlistParser::parse(c.text));
    EXPECT_EQ(c.expected, PropertyListFile::parse(c.text));
  }
}

TEST(OldStylePlistParserTest, RefusesBrokenText) {
  const std::string deep = std::string(100000, '(') + std::string(100000, ')');
  const std::string inputs[] = {
      "",
      "// only a comment",
      "plain",
      "\"a string root\"",
      "{",
      "{ a = b }",
      "{ a b; }",
      "{ = b; }",
      "{ a = ; }",
      "{ a = b; } junk",
      "{ a = b; } }",
      "( a b )",
      "( a, , b )",
      "( a,",
      "{ a = \"unterminated; }",
      "{ a = \"bad escape \\",
      "( \"\\U\" )",
      "( \"\\Udc00\" )",
      "( \"\\Ud83d alone\" )",
      "( \"\\Ud83d\\U0041\" )",
      "( \"\\Udfff\" )",
      "( \"\\777\" )",
      "( <0g> )",
      "( <abc> )",
      "( <ab",
      "{ a = b; /* unterminated }",
      "{ a = b&c; }",
      "{ \xC3\xA9t\xC3\xA9 = unquoted; }",
      "( a ) ( b )",
      deep,
  };
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input.substr(0, 80));
    EXPECT_EQ(std::nullopt, OldStylePlistParser::parse(input));
  }
}

}  // namespace
