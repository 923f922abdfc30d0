// UUIDs, instants, SHA-256 and Base64, checked against Python where it has a module for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "core/base64.h"
#include "core/instant.h"
#include "core/sha256.h"
#include "core/text/text_trim.h"
#include "core/utf8.h"
#include "core/uuid.h"
#include "support/python_oracle.h"

namespace pellam {
namespace {

TEST(UuidTest, ReadsEitherCaseAndWritesUpperCase) {
  auto lower = Uuid::parse("0f8fad5b-d9cb-469f-a165-70867728950e");
  auto upper = Uuid::parse("0F8FAD5B-D9CB-469F-A165-70867728950E");
  ASSERT_TRUE(lower && upper);
  EXPECT_EQ(*lower, *upper);
  EXPECT_EQ(lower->text(), "0F8FAD5B-D9CB-469F-A165-70867728950E");
}

TEST(UuidTest, RefusesEverythingButTheCanonicalForm) {
  for (const char* text : {"", "0f8fad5b-d9cb-469f-a165-70867728950", "0f8fad5b-d9cb-469f-a165-70867728950e0",
                           "{0f8fad5b-d9cb-469f-a165-70867728950e}", "0f8fad5bd9cb469fa16570867728950e",
                           "0f8fad5b-d9cb-469f-a165-70867728950g", "0f8fad5b_d9cb-469f-a165-70867728950e",
                           " 0f8fad5b-d9cb-469f-a165-70867728950e", "0f8fad5b-d9cb-469f-a165-70867728950e "}) {
    EXPECT_FALSE(Uuid::parse(text)) << text;
  }
}

TEST(UuidTest, RandomOnesAreVersionFourAndDistinct) {
  Uuid a = Uuid::random(), b = Uuid::random();
  EXPECT_NE(a, b);
  EXPECT_EQ(Uuid::parse(a.text()), a);
  // Version 4 and the RFC 4122 variant on every draw, whatever the random bits were.
  for (int i = 0; i < 64; ++i) {
    const std::string text = Uuid::random().text();
    EXPECT_EQ(text[14], '4') << text;
    EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;
  }
}

struct DateCase {
  const char* text;
  FractionalSeconds fraction;
  std::optional<double> seconds;  // since 2001-01-01T00:00:00Z; absent when refused
};

TEST(InstantTest, ParsesInternetDateTime) {
  const std::vector<DateCase> cases = {
      {"2001-01-01T00:00:00Z", FractionalSeconds::Refused, 0},
      {"2026-10-22T13:00:00Z", FractionalSeconds::Refused, 814366800},
      {"2026-10-22T09:00:00-04:00", FractionalSeconds::Refused, 814366800},
      {"2026-10-22T18:30:00+05:30", FractionalSeconds::Refused, 814366800},
      {"2026-10-22T13:00:00.5Z", FractionalSeconds::Allowed, 814366800.5},
      {"2026-10-22T13:00:00.5Z", FractionalSeconds::Refused, std::nullopt},
      {"2000-12-31T23:59:59Z", FractionalSeconds::Refused, -1},
      {"2024-02-29T00:00:00Z", FractionalSeconds::Refused, 730857600},
      {"2023-02-29T00:00:00Z", FractionalSeconds::Refused, std::nullopt},
      {"2026-10-22T24:00:00Z", FractionalSeconds::Refused, std::nullopt},
      {"2026-10-22T13:00:00", FractionalSeconds::Allowed, std::nullopt},
      {"2026-10-22 13:00:00Z", FractionalSeconds::Refused, std::nullopt},
      {"2026-10-22T13:00Z", FractionalSeconds::Refused, std::nullopt},
      {"2026-10-22T13:00:00.Z", FractionalSeconds::Allowed, std::nullopt},
      {"2026-10-22T13:00:00+0400", FractionalSeconds::Refused, std::nullopt},
      {"2026-10-22", FractionalSeconds::Refused, std::nullopt},
      {"2026-10-22T13:00:00Zjunk", FractionalSeconds::Refused, std::nullopt},
  };
  for (const auto& c : cases) {
    auto parsed = parseInternetDateTime(c.text, c.fraction);
    ASSERT_EQ(parsed.has_value(), c.seconds.has_value()) << c.text;
    if (parsed) {
      EXPECT_DOUBLE_EQ(parsed->seconds, *c.seconds) << c.text;
    }
  }
}

TEST(InstantTest, FormatsInUtcWithWholeSeconds) {
  EXPECT_EQ(formatInternetDateTime(Instant{814366800}), "2026-10-22T13:00:00Z");
  EXPECT_EQ(formatInternetDateTime(Instant{814366800.9}), "2026-10-22T13:00:00Z");
  EXPECT_EQ(formatInternetDateTime(Instant{-0.5}), "2000-12-31T23:59:59Z");
  EXPECT_EQ(formatInternetDateTime(Instant{0}), "2001-01-01T00:00:00Z");
  // The four-digit years and beyond them.
  EXPECT_EQ(formatInternetDateTime(Instant::fromUnix(-62167219191.0)), "0000-01-01T00:00:09Z");
  EXPECT_EQ(formatInternetDateTime(Instant::fromUnix(253402300799.0)), "9999-12-31T23:59:59Z");
  EXPECT_EQ(formatInternetDateTime(Instant::fromUnix(253402300800.0)), "10000-01-01T00:00:00Z");
  EXPECT_EQ(formatInternetDateTime(Instant::fromUnix(-62167219201.0)), "-001-12-31T23:59:59Z");
}

TEST(DigestTest, Sha256AndBase64AgreeWithPython) {
  const std::vector<std::string> inputs = {"", "abc", "a/b\\c\"d", "straße 日本 😀", std::string("\0\x01\xff", 3),
                                           std::string(1000, 'x'), "12345", "1234", "123", [] {
                                             std::string every;  // every byte value at every position of a group
                                             for (int round = 0; round < 3; ++round) {
                                               for (int byte = 0; byte < 256; ++byte) every += char(byte);
                                               every += 'x';
                                             }
                                             return every;
                                           }()};
  std::string request, ours;
  for (const auto& input : inputs) {
    request += base64Encode(input) + "\n";  // carry arbitrary bytes through the pipe
    ours += sha256Hex(input) + " " + base64Encode(input) + "\n";
  }
  std::string python = testing::runPython(
      "import sys, base64, hashlib\n"
      "for line in sys.stdin.read().splitlines():\n"
      "    data = base64.b64decode(line)\n"
      "    print(hashlib.sha256(data).hexdigest(), base64.b64encode(data).decode())\n",
      request);
  EXPECT_EQ(ours, python);
  for (const auto& input : inputs) EXPECT_EQ(base64Decode(base64Encode(input)), input);
}

TEST(Base64Test, DecoderIsStrict) {
  for (const char* text : {"QQ", "QQ=", "QQ==\n", " QQ==", "Q Q==", "QQ==QQ==", "Q===", "QR==", "QUI=QUI=", "QUJ=",
                           "QU*D", "QUJD\r\n", "-_8="}) {
    EXPECT_FALSE(base64Decode(text)) << text;
  }
  EXPECT_EQ(base64Decode(""), "");
  EXPECT_EQ(base64Decode("QQ=="), "A");
  EXPECT_EQ(base64Decode("QUI="), "AB");
  EXPECT_EQ(base64Decode("+/8="), "\xfb\xff");
}

// Decoding in parts gives the whole decoding's bytes, whatever the sizes of the text and of
// the parts, including texts that end just before, on and just after a part's end.
TEST(Base64Test, PartsJoinToTheWholeDecoding) {
  std::string bytes;
  for (int i = 0; i < 64; ++i) bytes += char((i * 151 + 7) & 0xFF);
  for (std::size_t partBytes : {1, 3, 4, 6, 12}) {
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
      const std::string text = base64Encode(bytes.substr(0, size));
      std::string joined;
      std::size_t calls = 0;
      ASSERT_TRUE(base64DecodeInParts(text, partBytes, [&](std::string_view part) {
        EXPECT_LE(part.size(), std::max<std::size_t>(3, partBytes / 3 * 3));
        joined.append(part);
        ++calls;
      }));
      EXPECT_EQ(joined, bytes.substr(0, size)) << partBytes << " " << size;
      EXPECT_EQ(calls, (text.size() / 4 + std::max<std::size_t>(1, partBytes / 3) - 1) / std::max<std::size_t>(1, partBytes / 3));
      EXPECT_TRUE(isBase64(text));
    }
  }
}

// The same rules as the whole decoding; a fault after the first parts is found, and only
// checked parts were handed over before it.
TEST(Base64Test, PartsAreAsStrictAndCheckedBeforeTheyAreHandedOver) {
  const std::string good = base64Encode(std::string(30, 'v'));  // 40 characters, 10 groups
  std::vector<std::string> bad = {"QQ", "QQ=", "QQ==\n", " QQ==", "Q Q==", "QQ==QQ==", "Q===", "QR==", "QUI=QUI=",
                                  "QUJ=", "QU*D", "QUJD\r\n", "-_8="};
  bad.push_back(good.substr(0, 24) + "*" + good.substr(25));  // in the seventh group
  bad.push_back(good + "QR==");                                // padding bits set, at the very end
  for (const std::string& text : bad) {
    ASSERT_FALSE(base64Decode(text)) << text;
    std::string handed;
    EXPECT_FALSE(base64DecodeInParts(text, 6, [&](std::string_view part) { handed.append(part); })) << text;
    EXPECT_FALSE(isBase64(text)) << text;
    if (text.size() > 40) {
      // Parts of two groups: those before the faulty group's part, and nothing of that one.
      EXPECT_EQ(handed, std::string(text[24] == '*' ? 18 : 30, 'v')) << text;
    }
  }
}

// Long texts go sixteen characters at a time where the processor allows: every byte value at
// every place of the first blocks is judged and decoded as a group at a time judges it (parts
// of one group never take the wide path).
TEST(Base64Test, WideBlocksJudgeEveryByteAsOneGroupAtATimeDoes) {
  const std::string good = base64Encode(std::string("\x00\xff\x10\x80\x7f", 5) + std::string(43, 'k'));  // 64 characters
  for (int byte = 0; byte < 256; ++byte) {
    for (std::size_t at = 0; at < 48; ++at) {
      std::string text = good;
      text[at] = char(byte);
      std::string narrow;
      const bool narrowOk = base64DecodeInParts(text, 3, [&](std::string_view part) { narrow.append(part); });
      const std::optional<std::string> wide = base64Decode(text);
      ASSERT_EQ(wide.has_value(), narrowOk) << byte << " at " << at;
      if (wide) {
        EXPECT_EQ(*wide, narrow) << byte << " at " << at;
      }
    }
  }
}

// The wide encoder against Python, for every length up to a few blocks past the first.
TEST(Base64Test, EveryLengthEncodesAsPythonDoes) {
  std::string request, ours;
  for (std::size_t size = 0; size <= 80; ++size) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) bytes += char((i * 167 + size * 13) & 0xFF);
    std::string hex;
    for (unsigned char c : bytes) {
      static constexpr char digits[] = "0123456789abcdef";
      hex += digits[c >> 4];
      hex += digits[c & 15];
    }
    request += hex + "\n";
    ours += base64Encode(bytes) + "\n";
    EXPECT_EQ(base64Decode(base64Encode(bytes)), bytes) << size;
  }
  EXPECT_EQ(ours, testing::runPython("import sys, base64\n"
                                     "for line in sys.stdin.read().split('\\n')[:-1]:\n"
                                     "    print(base64.b64encode(bytes.fromhex(line)).decode())\n",
                                     request));
}

TEST(Utf8Test, RepairsInvalidSequences) {
  EXPECT_TRUE(isValidUtf8("straße 😀"));
  EXPECT_FALSE(isValidUtf8("\xed\xa0\x80"));  // a surrogate
  EXPECT_EQ(repairedUtf8("a\xff" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(repairedUtf8("\xe2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf8Test, DecodesOneScalarOrNothing) {
  struct Case {
    std::string_view bytes;
    char32_t scalar;
    std::size_t length;
  };
  const Case cases[] = {
      {"A", U'A', 1},
      {"\xc3\xa9x", 0xE9, 2},
      {"\xc2\x85", 0x85, 2},
      {"\xe2\x80\xa8", 0x2028, 3},
      {"\xef\xbf\xbf", 0xFFFF, 3},
      {"\xf0\x9f\x98\x80", 0x1F600, 4},
      {"\xf4\x8f\xbf\xbf", 0x10FFFF, 4},
      {"\x80", 0, 0},              // a stray continuation byte
      {"\xc0\x80", 0, 0},          // overlong
      {"\xe0\x80\xa0", 0, 0},      // overlong
      {"\xed\xa0\x80", 0, 0},      // a surrogate
      {"\xf4\x90\x80\x80", 0, 0},  // past U+10FFFF
      {"\xe2\x80", 0, 0},          // cut short
  };
  for (const Case& c : cases) {
    const Utf8Scalar decoded = utf8ScalarAt(c.bytes, 0);
    EXPECT_EQ(decoded.scalar, c.scalar) << ::testing::PrintToString(std::string(c.bytes));
    EXPECT_EQ(decoded.length, c.length) << ::testing::PrintToString(std::string(c.bytes));
  }
}

TEST(Utf8Test, TrimmingStopsAtContentAndAtInvalidBytes) {
  EXPECT_EQ(trimmedWhitespaceAndNewlines("\xe3\x80\x80 \t a b\xc2\xa0\xe2\x80\xa9\r\n"), "a b");
  EXPECT_EQ(trimmedWhitespaceAndNewlines(" \xff "), "\xff");
  EXPECT_EQ(trimmedWhitespaceAndNewlines(" \xed\xa0\x80 "), "\xed\xa0\x80");  // a surrogate is content
  EXPECT_EQ(trimmedWhitespaceAndNewlines("\xf0\x9f\x98\x80 "), "\xf0\x9f\x98\x80");
  EXPECT_EQ(trimmedWhitespaceAndNewlines(" \xa0 "), "\xa0");  // a lone continuation byte is content
  EXPECT_EQ(trimmedWhitespaceAndNewlines("\r\n\xc2\x85"), "");
}

}  // namespace
}  // namespace pellam
