#include "core/exchange/zip_writer.h"

#include <limits>
#include <stdexcept>

#include <zlib.h>

#include "core/data_error.h"

namespace pellam {

namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t kDirectoryRecordSignature = 0x02014b50;
constexpr std::uint32_t kEndRecordSignature = 0x06054b50;
constexpr std::uint16_t kVersion = 20;   // 2.0: stored entries and folders
constexpr std::uint16_t kStored = 0;     // no compression
constexpr std::uint16_t kTime = 0;       // 00:00:00
constexpr std::uint16_t kDate = 0x0021;  // 1980-01-01: day 1, month 1, year 1980 + 0
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCrcField = 14;  // offset of the CRC-32 in the local header; both sizes follow
constexpr std::size_t kDirectoryRecordSize = 46;
constexpr std::size_t kEndRecordSize = 22;

void put16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void put32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void set32(std::string& out, std::size_t at, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out[at++] = static_cast<char>((value >> shift) & 0xFF);
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

std::uint32_t crc32(std::string_view bytes) {
  return static_cast<std::uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<z_size_t>(bytes.size())));
}

ZipWriter::ZipWriter(std::size_t expectedSize) { out_.reserve(expectedSize); }

std::string& ZipWriter::beginEntry(std::string_view name) {
  if (inEntry_) throw std::logic_error("ZipWriter: an entry is still open.");
  fit16(++count_);
  headerOffset_ = out_.size();
  fit32(headerOffset_);
  put32(out_, kLocalHeaderSignature);
  putCommonFields(out_, 0, 0, fit16(name.size()));  // CRC and sizes are filled in by endEntry
  out_.append(name);
  bodyOffset_ = out_.size();
  inEntry_ = true;
  return out_;
}

void ZipWriter::endEntry() {
  if (!inEntry_) throw std::logic_error("ZipWriter: no entry is open.");
  inEntry_ = false;
  const std::string_view body = std::string_view(out_).substr(bodyOffset_);
  const std::uint32_t size = fit32(body.size());
  const std::uint32_t crc = crc32(body);
  set32(out_, headerOffset_ + kCrcField, crc);
  set32(out_, headerOffset_ + kCrcField + 4, size);
  set32(out_, headerOffset_ + kCrcField + 8, size);

  const std::string_view name =
      std::string_view(out_).substr(headerOffset_ + kLocalHeaderSize, bodyOffset_ - headerOffset_ - kLocalHeaderSize);
  put32(directory_, kDirectoryRecordSignature);
  put16(directory_, kVersion);  // version made by
  putCommonFields(directory_, crc, size, static_cast<std::uint16_t>(name.size()));
  put16(directory_, 0);  // comment length
  put16(directory_, 0);  // disk number start
  put16(directory_, 0);  // internal attributes
  put32(directory_, 0);  // external attributes
  put32(directory_, static_cast<std::uint32_t>(headerOffset_));
  directory_.append(name);
}

void ZipWriter::add(std::string_view name, std::string_view bytes) {
  beginEntry(name).append(bytes);
  endEntry();
}

std::string ZipWriter::finish() && {
  if (inEntry_) throw std::logic_error("ZipWriter: an entry is still open.");
  const std::uint32_t directoryOffset = fit32(out_.size());
  const std::uint32_t directoryLength = fit32(directory_.size());
  out_.append(directory_);
  put32(out_, kEndRecordSignature);
  put16(out_, 0);  // this disk
  put16(out_, 0);  // disk where the directory starts
  put16(out_, static_cast<std::uint16_t>(count_));
  put16(out_, static_cast<std::uint16_t>(count_));
  put32(out_, directoryLength);
  put32(out_, directoryOffset);
  put16(out_, 0);  // comment length
  return std::move(out_);
}

std::string zipStored(std::span<const ZipEntry> entries) {
  std::size_t size = kEndRecordSize;
  for (const ZipEntry& entry : entries) {
    size += kLocalHeaderSize + kDirectoryRecordSize + 2 * entry.name.size() + entry.bytes.size();
  }
  ZipWriter zip(size);
  for (const ZipEntry& entry : entries) zip.add(entry.name, entry.bytes);
  return std::move(zip).finish();
}

}  // namespace pellam
