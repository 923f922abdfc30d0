#include "core/exchange/zip_writer.h"

#include <cstdint>
#include <limits>

#include "core/data_error.h"
#include "core/exchange/crc32.h"

namespace pellam {

namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t kDirectoryRecordSignature = 0x02014b50;
constexpr std::uint32_t kEndRecordSignature = 0x06054b50;
constexpr std::uint16_t kVersion = 20;       // 2.0: stored entries and folders
constexpr std::uint16_t kStored = 0;         // no compression
constexpr std::uint16_t kTime = 0;           // 00:00:00
constexpr std::uint16_t kDate = 0x0021;      // 1980-01-01: day 1, month 1, year 1980 + 0
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kDirectoryRecordSize = 46;
constexpr std::size_t kEndRecordSize = 22;

void put16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void put32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

[[noreturn]] void tooLarge() { throw DataError("The file is too large for a ZIP archive."); }

std::uint16_t fit16(std::size_t value) {
  if (value > std::numeric_limits<std::uint16_t>::max()) tooLarge();
  return static_cast<std::uint16_t>(value);
}

std::uint32_t fit32(std::size_t value) {
  if (value > std::numeric_limits<std::uint32_t>::max()) tooLarge();
  return static_cast<std::uint32_t>(value);
}

// The fields the local header and the directory record share, from "version needed" on.
void putCommonFields(std::string& out, std::uint32_t crc, std::uint32_t size, std::uint16_t nameLength) {
  put16(out, kVersion);  // version needed to extract
  put16(out, 0);         // flags
  put16(out, kStored);
  put16(out, kTime);
  put16(out, kDate);
  put32(out, crc);
  put32(out, size);  // compressed
  put32(out, size);  // uncompressed
  put16(out, nameLength);
  put16(out, 0);  // extra field length
}

}  // namespace

std::string zipStored(std::span<const ZipEntry> entries) {
  const std::uint16_t count = fit16(entries.size());
  std::size_t archiveSize = kEndRecordSize, directorySize = 0;
  for (const ZipEntry& entry : entries) {
    archiveSize += kLocalHeaderSize + entry.name.size() + entry.bytes.size();
    directorySize += kDirectoryRecordSize + entry.name.size();
  }
  std::string out, directory;
  out.reserve(archiveSize + directorySize);
  directory.reserve(directorySize);

  for (const ZipEntry& entry : entries) {
    const std::uint32_t offset = fit32(out.size());
    const std::uint16_t nameLength = fit16(entry.name.size());
    const std::uint32_t size = fit32(entry.bytes.size());
    const std::uint32_t crc = crc32(entry.bytes);

    put32(out, kLocalHeaderSignature);
    putCommonFields(out, crc, size, nameLength);
    out.append(entry.name);
    out.append(entry.bytes);

    put32(directory, kDirectoryRecordSignature);
    put16(directory, kVersion);  // version made by
    putCommonFields(directory, crc, size, nameLength);
    put16(directory, 0);  // comment length
    put16(directory, 0);  // disk number start
    put16(directory, 0);  // internal attributes
    put32(directory, 0);  // external attributes
    put32(directory, offset);
    directory.append(entry.name);
  }

  const std::uint32_t directoryOffset = fit32(out.size());
  const std::uint32_t directoryLength = fit32(directory.size());
  out.append(directory);
  put32(out, kEndRecordSignature);
  put16(out, 0);  // this disk
  put16(out, 0);  // disk where the directory starts
  put16(out, count);
  put16(out, count);
  put32(out, directoryLength);
  put32(out, directoryOffset);
  put16(out, 0);  // comment length
  return out;
}

}  // namespace pellam
