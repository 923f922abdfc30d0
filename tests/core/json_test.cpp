#include "core/json.h"

#include <gtest/gtest.h>

#include "support/python_oracle.h"

namespace pellam {
namespace {

using testing::hexText;

// Python's json module writes the same compact, key-sorted text for these documents.
TEST(JsonTest, CompactWriterAgreesWithPython) {
  const std::vector<std::string> documents = {
      R"({"b":1,"a":[true,false,null],"c":{"z":"x","y":""}})",
      R"(["/path/to/file","back\\slash","quote\"d"])",
      "[\"tab\\tnew\\nline\\r\\b\\f\",\"\\u0001\\u001f\\u007f\"]",
      R"({"é":"straße","日本":"語","😀":"emoji","a/b":"c/d"})",
      R"({"nested":{"deep":{"deeper":[[],{}, [1, -2, 3.5, 1e10, 0.000001]]}}})",
      R"({"Z":1,"a":2,"_":3,"0":4,"ä":5})",
      R"("just a string")",
      R"(12345678901234567890123456789)",
  };
  std::string input;
  std::string ours;
  for (const auto& text : documents) {
    input += text + "\n";
    ours += writeJson(parseJson(text)) + "\n";
  }
  std::string python = testing::runPython(
      "import sys, json\n"
      "for line in sys.stdin.read().splitlines():\n"
      "    v = json.loads(line)\n"
      "    sys.stdout.write(json.dumps(v, sort_keys=True, separators=(',', ':'), ensure_ascii=False) + '\\n')\n",
      input);
  // Python normalises number text (1e10 -> 10000000000.0); our numbers keep their lexeme, so
  // compare the number-free documents byte for byte and the rest by parsed value.
  std::vector<std::string> ourLines, pythonLines;
  for (std::size_t a = 0, b; (b = ours.find('\n', a)) != std::string::npos; a = b + 1) ourLines.push_back(ours.substr(a, b - a));
  for (std::size_t a = 0, b; (b = python.find('\n', a)) != std::string::npos; a = b + 1) pythonLines.push_back(python.substr(a, b - a));
  ASSERT_EQ(ourLines.size(), pythonLines.size());
  for (std::size_t i = 0; i < ourLines.size(); ++i) {
    if (i == 4 || i == 7) {
      EXPECT_EQ(parseJson(ourLines[i]), parseJson(pythonLines[i])) << documents[i];
    } else {
      EXPECT_EQ(ourLines[i], pythonLines[i]) << documents[i];
    }
  }
}

// Strings are scanned several bytes at a time: a byte to escape must be found at any offset
// of a long string, next to text that needs none (multi-byte UTF-8 and DEL included).
TEST(JsonTest, LongStringsEscapeEveryByteThatNeedsItAtAnyOffset) {
  std::vector<std::string> texts;
  for (const char* special : {"\"", "\\", "/", "\x01", "\x1f", "\n", "\x7f", "\xc3\xa9"}) {
    for (std::size_t at = 0; at < 41; ++at) {  // across the first blocks of sixteen
      std::string text = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN\xe6\x97\xa5";
      text.insert(at, special);
      texts.push_back(text);
    }
  }
  std::string input, ours, oursWithSlash;
  for (const std::string& text : texts) {
    input += hexText(text) + "\n";
    ours += writeJson(Json(text)) + "\n";
    oursWithSlash += writeJson(Json(text), {.escapeSlash = true}) + "\n";
  }
  std::string python = testing::runPython(
      "import sys, json\n"
      "for line in sys.stdin.read().splitlines():\n"
      "    print(json.dumps(bytes.fromhex(line).decode(), ensure_ascii=False))\n",
      input);
  EXPECT_EQ(ours, python);
  std::string pythonWithSlash;
  for (char c : python) pythonWithSlash += c == '/' ? std::string("\\/") : std::string(1, c);
  EXPECT_EQ(oursWithSlash, pythonWithSlash);
}

TEST(JsonTest, PrettyWriterIsStableAndReadsBack) {
  Json value = parseJson(R"({"b":[1,{"c":null}],"a":{},"e":[]})");
  std::string pretty = writeJson(value, {.pretty = true});
  EXPECT_EQ(pretty, "{\n  \"a\" : {},\n  \"b\" : [\n    1,\n    {\n      \"c\" : null\n    }\n  ],\n  \"e\" : []\n}");
  EXPECT_EQ(parseJson(pretty), value);
}

TEST(JsonTest, SlashEscapingIsASwitch) {
  Json value("a/b");
  EXPECT_EQ(writeJson(value), "\"a/b\"");
  EXPECT_EQ(writeJson(value, {.escapeSlash = true}), "\"a\\/b\"");
}

TEST(JsonTest, NumbersKeepTheirLexeme) {
  Json value = parseJson("[12.50, -0.0, 1E+2, 123456789012345678901234567890.123]");
  EXPECT_EQ(writeJson(value), "[12.50,-0.0,1E+2,123456789012345678901234567890.123]");
  EXPECT_EQ(value.asArray()[0], Json(12.5));
  EXPECT_EQ(*parseJson("42").asInt64(), 42);
  EXPECT_FALSE(parseJson("4.2").asInt64());
  EXPECT_FALSE(parseJson("99999999999999999999").asInt64());
}

TEST(JsonTest, DoublesWriteTheirShortestRoundTripText) {
  EXPECT_EQ(writeJson(Json(0.1)), "0.1");
  EXPECT_EQ(writeJson(Json(3.0)), "3");
  EXPECT_EQ(writeJson(Json(-0.0)), "0");
  EXPECT_EQ(writeJson(Json(1e21)), "1e21");
  EXPECT_EQ(writeJson(Json(123456789.125)), "123456789.125");
  EXPECT_THROW(static_cast<void>(Json(std::numeric_limits<double>::infinity())), JsonTypeError);
}

struct Refusal {
  const char* name;
  std::string text;
  const char* fragment;  // part of the message that says what broke
};

TEST(JsonTest, RefusesMalformedText) {
  const std::vector<Refusal> cases = {
      {"leading zero", "01", "\"01\" is not a valid number"},
      {"bare point", "[1.]", "\"1.\" is not a valid number"},
      {"lone minus", "{\"a\":-}", "\"-\" is not a valid number"},
      {"trailing array", "[1] x", "unexpected content after the JSON value"},
      {"two objects", "{} {}", "unexpected content after the JSON value"},
      {"two scalars", "12 3", "unexpected content after the JSON value"},
      {"duplicate key", R"({"a":1,"a":2})", "the key \"a\" appears twice"},
      {"nested duplicate", R"({"x":{"k":1,"k":1}})", "the key \"k\" appears twice"},
      {"invalid UTF-8", "\"\xff\"", "UTF-8"},
      {"overlong UTF-8", "\"\xc0\xaf\"", "UTF-8"},
      {"truncated", R"({"a":[1,2)", "byte"},
      {"empty", "", "byte 0"},
      {"misspelled literal", "nul", "is not a JSON value"},
      {"trailing comma", "[1,]", "byte"},
      {"deep nesting", std::string(100000, '[') + std::string(100000, ']'), "nests deeper than 256 levels"},
  };
  for (const auto& c : cases) {
    try {
      parseJson(c.text);
      ADD_FAILURE() << c.name << " was accepted";
    } catch (const JsonParseError& error) {
      EXPECT_NE(std::string(error.what()).find(c.fragment), std::string::npos) << c.name << ": " << error.what();
    }
  }
}

TEST(JsonTest, StringEscapesDecodeToUtf8) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
      {R"("caf\u00e9 \u20AC")", "caf\xc3\xa9 \xe2\x82\xac"},
      {R"("\ud83d\ude00")", "\xf0\x9f\x98\x80"},
      {R"("a\u0000b")", std::string("a\0b", 3)},
      {"\"\xe6\x97\xa5\xe6\x9c\xac\"", "\xe6\x97\xa5\xe6\x9c\xac"},
      {R"("")", ""},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(parseJson(text).asString(), expected) << text;
    EXPECT_EQ(parseJson("{" + text + ":[" + text + "]}").find(expected)->asArray().at(0).asString(), expected)
        << text;
  }
}

TEST(JsonTest, KeysInAnyOrderAreSortedAndDuplicatesRefused) {
  Json value = parseJson(R"({"b":1,"a":{"d":2,"c":3},"é":4,"A":5})");
  EXPECT_EQ(writeJson(value), R"({"A":5,"a":{"c":3,"d":2},"b":1,"é":4})");
  for (const std::string text : {R"({"b":1,"a":2,"b":3})", R"({"a":1,"b":2,"a":3})", R"({"\u0061":1,"a":2})"}) {
    EXPECT_THROW(parseJson(text), JsonParseError) << text;
  }
}

// What breaks and where, for the faults of strings, literals and structure.
TEST(JsonTest, NamesWhatBreaksInStringsLiteralsAndStructure) {
  const std::string kStructure =
      "The JSON document has an improper structure: missing or superfluous commas, braces, missing keys, etc.";
  const struct {
    std::string text;
    std::size_t offset;
    std::string what;
  } cases[] = {
      // A bad escape is named just past its string.
      {R"(["\ud800"])", 9, "Problem while parsing a string"},
      {R"(["\udc00"])", 9, "Problem while parsing a string"},
      {R"(["\ud800\u0041"])", 15, "Problem while parsing a string"},
      {R"(["\u12G4"])", 9, "Problem while parsing a string"},
      {R"(["\u12"])", 7, "Problem while parsing a string"},
      {R"(["\q", 1])", 5, "Problem while parsing a string"},
      {"[\"a\x01\"]", 0, "Within strings, some characters must be escaped, we found unescaped characters"},
      {"[\"\xff\"]", 0, "The input is not valid UTF-8"},
      {"  \t", 0, "Empty: no JSON found"},
      {"[1 2]", 3, kStructure},
      {R"({"a" 1})", 5, kStructure},
      {R"({"a":1,})", 7, kStructure},
      {"[x]", 1, kStructure},
      {"x", 0, kStructure},
      {"[1,2", 4, kStructure},
      {R"({"a":1 )", 7, kStructure},
      {"[tru]", 1, "The JSON element does not have the requested type."},
      {"[nulls]", 1, "expected null."},
      {"[1x]", 1, "\"1x\" is not a valid number."},
      {"tru", 0, "\"tru\" is not a JSON value."},
  };
  for (const auto& c : cases) {
    try {
      parseJson(c.text);
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const JsonParseError& error) {
      EXPECT_EQ(error.what(), "The JSON text is invalid at byte " + std::to_string(c.offset) + ": " + c.what) << c.text;
      EXPECT_EQ(error.offset(), c.offset) << c.text;
    }
  }
}

// A top-level string member without escapes can be left where it is: the tree holds an empty
// string in its place. Anything else under that name, or the name deeper down, is read as usual.
TEST(JsonTest, LeavesAPlainTopLevelStringAside) {
  const struct {
    std::string text;
    std::optional<std::string> aside;
    std::string tree;  // what the tree holds, compactly written
  } cases[] = {
      {R"({"a":1,"d":"QUJD","z":[2]})", "QUJD", R"({"a":1,"d":"","z":[2]})"},
      {R"({ "d" : "a b/c" })", "a b/c", R"({"d":""})"},
      {R"({"d":""})", "", R"({"d":""})"},
      {R"({"d":"A\u0042\"x"})", std::nullopt, R"({"d":"AB\"x"})"},
      {R"({"d":"QQ==\\"})", std::nullopt, R"({"d":"QQ==\\"})"},
      {R"({"x":{"d":"QQ=="}})", std::nullopt, R"({"x":{"d":"QQ=="}})"},
      {R"({"d":5})", std::nullopt, R"({"d":5})"},
      {R"(["d","QQ=="])", std::nullopt, R"(["d","QQ=="])"},
      {R"("d")", std::nullopt, R"("d")"},
  };
  for (const auto& c : cases) {
    JsonStringAside aside{"d", std::string_view("stale")};
    const Json tree = parseJson(c.text, aside);
    EXPECT_EQ(writeJson(tree), c.tree) << c.text;
    ASSERT_EQ(aside.text.has_value(), c.aside.has_value()) << c.text;
    if (aside.text) {
      EXPECT_EQ(*aside.text, *c.aside) << c.text;
      EXPECT_TRUE(aside.text->data() >= c.text.data() && aside.text->data() <= c.text.data() + c.text.size());
    }
  }
}

// Setting a string aside changes nothing in what is refused, nor in the message.
TEST(JsonTest, RefusesTheSameWithAStringAside) {
  for (const std::string text :
       {R"({"d":"QQ==","d":"x"})", R"({"d":"QQ==" "e":1})", R"({"d":"QQ==)", "{\"d\":\"Q\x01Q\"}",
        "{\"d\":\"Q\xffQ\"}", R"({"d":"QQ=="} {})", R"({"d":"QQ==",})", R"({"d":"QQ=="]")"}) {
    std::string plain, aside;
    try {
      parseJson(text);
    } catch (const JsonParseError& error) {
      plain = error.what();
    }
    try {
      JsonStringAside data{"d", std::nullopt};
      parseJson(text, data);
    } catch (const JsonParseError& error) {
      aside = error.what();
    }
    EXPECT_FALSE(plain.empty()) << text;
    EXPECT_EQ(aside, plain) << text;
  }
}

// The reader skips plain runs eight bytes at a time: whatever lands inside or across such a
// run (an escape, a quote escaped behind backslashes, UTF-8, a raw control byte, a bad byte)
// is read or refused as it is anywhere else.
TEST(JsonTest, ReadsAndRefusesTheSameWhereverALongStringHoldsTheByte) {
  // Long enough that the byte lands in every place of the first blocks of sixteen, too.
  const std::string kPlain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const struct {
    std::string raw;     // as written inside the string
    std::string value;   // what it reads as, when it reads
    std::string error;   // the message, when it is refused (at byte 0)
  } cases[] = {
      {"\\\"", "\"", ""},
      {"\\\\", "\\", ""},
      {"\\\\\\\"", "\\\"", ""},
      {"\\n", "\n", ""},
      {"\\/", "/", ""},
      {"\\u00e9", "\xc3\xa9", ""},
      {"\xc3\xa9", "\xc3\xa9", ""},
      {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80", ""},
      {"\x7f", "\x7f", ""},
      {"\x01", "", "Within strings, some characters must be escaped, we found unescaped characters"},
      {"\x1f", "", "Within strings, some characters must be escaped, we found unescaped characters"},
      {"\xff", "", "The input is not valid UTF-8"},
      {"\xc3", "", "The input is not valid UTF-8"},
  };
  for (const auto& c : cases) {
    for (std::size_t at = 0; at <= 40; ++at) {
      const std::string text = "[\"" + kPlain.substr(0, at) + c.raw + kPlain.substr(at) + "\"]";
      const std::string expected = kPlain.substr(0, at) + c.value + kPlain.substr(at);
      try {
        const Json read = parseJson(text);
        EXPECT_EQ(c.error, "") << hexText(text) << " was accepted";
        ASSERT_TRUE(read.isArray() && read.asArray().size() == 1) << hexText(text);
        EXPECT_EQ(read.asArray()[0].asString(), expected) << hexText(text);
      } catch (const JsonParseError& error) {
        EXPECT_EQ(error.what(), "The JSON text is invalid at byte 0: " + c.error) << hexText(text);
      }
    }
  }
}

TEST(JsonTest, ErrorNamesTheByteWhereTheTextBreaks) {
  const std::vector<std::pair<std::string, std::size_t>> cases = {
      {"[1, 2] trailing", 7},
      // A text that stops short breaks at its end, not at its start.
      {R"({"rate":)", 8},
      // A string that never closes breaks where it opened; an escaped quote closes nothing.
      {R"({"name":"Caf)", 8},
      {R"(["a", "b\"])", 6},
      {R"(["a\\", "b)", 8},
      // A CSV line whose last field ends in a backslash.
      {"Job,Comment\r\nAcme,\"C:\\\"\r\n", 18},
  };
  for (const auto& [text, offset] : cases) {
    try {
      parseJson(text);
      ADD_FAILURE() << text << " was accepted";
    } catch (const JsonParseError& error) {
      EXPECT_EQ(error.offset(), offset) << text << ": " << error.what();
      EXPECT_NE(std::string(error.what()).find("byte " + std::to_string(offset)), std::string::npos) << error.what();
    }
  }
}

TEST(JsonTest, AccessorsRefuseTheWrongKind) {
  Json value = parseJson(R"({"a":"text"})");
  EXPECT_THROW(value.asArray(), JsonTypeError);
  EXPECT_THROW(value.find("a")->asBool(), JsonTypeError);
  EXPECT_EQ(value.find("missing"), nullptr);
  EXPECT_THROW(Json::number("1.2.3"), JsonTypeError);
}

}  // namespace
}  // namespace pellam
