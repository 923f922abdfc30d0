#include "core/exchange/zip_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/base64.h"
#include "core/data_error.h"
#include "support/python_oracle.h"

namespace pellam {
namespace {

// The definition itself: one bit at a time.
std::uint32_t bitwiseCrc32(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0xEDB88320u : 0u);
  }
  return ~crc;
}

TEST(Crc32Test, KnownValuesAndTheBitwiseDefinition) {
  EXPECT_EQ(crc32(""), 0u);
  EXPECT_EQ(crc32("a"), 0xE8B7BE43u);
  EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(crc32("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  // Every short length and alignment, over all byte values.
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>((i * 151 + 7) & 0xFF));
  for (std::size_t start = 0; start < 9; ++start) {
    for (std::size_t length = 0; start + length <= bytes.size(); length += (length < 40 ? 1 : 37)) {
      const std::string_view slice = std::string_view(bytes).substr(start, length);
      ASSERT_EQ(crc32(slice), bitwiseCrc32(slice)) << start << "+" << length;
    }
  }
}

TEST(ZipWriterTest, SameBytesAsPythonsZipfileWithFixedMetadata) {
  const std::string binary("\0\xff\x01\x80PK\x03\x04", 8);
  const std::string large(70000, 'x');
  const std::vector<ZipEntry> entries = {
      {"a.txt", "hi"}, {"empty/file.xml", ""}, {"bin", binary}, {"large", large}, {"a.txt", "again"}};
  const std::string ours = zipStored(entries);

  std::string input;
  for (const ZipEntry& entry : entries) input += std::string(entry.name) + " " + base64Encode(entry.bytes) + "\n";
  // Python writes the same entries dated 1980-01-01 from a "version 2.0" maker (system 0);
  // it always sets file permissions (0600) in the external attributes, which are cleared
  // here, so the rest of its bytes must equal ours.
  const std::string python = testing::runPython(
      "import base64, io, struct, sys, warnings, zipfile\n"
      "warnings.simplefilter('ignore')  # the repeated name\n"
      "out = io.BytesIO()\n"
      "with zipfile.ZipFile(out, 'w') as archive:\n"
      "    for line in sys.stdin.read().splitlines():\n"
      "        name, data = line.split(' ')\n"
      "        info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))\n"
      "        info.create_system = 0\n"
      "        archive.writestr(info, base64.b64decode(data))\n"
      "data = bytearray(out.getvalue())\n"
      "count, size, offset = struct.unpack('<HII', data[-12:-2])\n"
      "for _ in range(count):\n"
      "    name, extra, comment = struct.unpack('<HHH', data[offset + 28:offset + 34])\n"
      "    data[offset + 38:offset + 42] = bytes(4)\n"
      "    offset += 46 + name + extra + comment\n"
      "print(base64.b64encode(bytes(data)).decode())\n",
      input);
  EXPECT_EQ(base64Encode(ours) + "\n", python);
}

TEST(ZipWriterTest, NoEntriesIsAnEmptyArchive) {
  EXPECT_EQ(zipStored({}), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

TEST(ZipWriterTest, RefusesWhatDoesNotFitWithoutZip64) {
  const std::string longName(65536, 'n');
  const std::vector<ZipEntry> named = {{longName, "x"}};
  EXPECT_THROW(zipStored(named), DataError);
  const std::vector<ZipEntry> many(65536, ZipEntry{"a", ""});
  EXPECT_THROW(zipStored(many), DataError);
  const std::vector<ZipEntry> most(65535, ZipEntry{"a", ""});
  EXPECT_NO_THROW(zipStored(most));
  const std::vector<ZipEntry> longest = {{std::string_view(longName).substr(1), "x"}};
  EXPECT_NO_THROW(zipStored(longest));
}

}  // namespace
}  // namespace pellam
