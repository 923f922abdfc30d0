// decode_archive PATH [--read-only]: reads an archive file and decodes it as load() does,
// then prints the heap in use (glibc's mallinfo2) as one JSON line. With --read-only it
// stops after reading, which gives the baseline for peak-memory measurements taken from
// outside (/usr/bin/time -v).
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>

#include "core/archive_io.h"
#include "core/file_system.h"

namespace {

std::size_t heapInUse() { return mallinfo2().uordblks + mallinfo2().hblkhd; }

}  // namespace

int main(int argc, char** argv) {
  bool readOnly = argc == 3 && std::strcmp(argv[2], "--read-only") == 0;
  if (argc < 2 || argc > 3 || (argc == 3 && !readOnly)) {
    std::fprintf(stderr, "usage: decode_archive PATH [--read-only]\n");
    return 2;
  }
  try {
    std::size_t before = heapInUse();
    std::optional<std::string> bytes = pellam::RealFileSystem().readFile(argv[1]);
    std::size_t fileBytes = bytes->size();
    std::size_t afterRead = heapInUse();
    if (readOnly) {
      std::printf("{\"file_bytes\": %zu, \"heap_after_read\": %zu}\n", fileBytes, afterRead - before);
      return 0;
    }
    pellam::Archive archive = pellam::ArchiveIO::decode(*bytes);
    std::size_t afterDecode = heapInUse();
    bytes.reset();
    std::size_t archiveOnly = heapInUse();
    std::printf(
        "{\"file_bytes\": %zu, \"entries\": %zu, \"heap_after_read\": %zu, \"heap_after_decode\": %zu, "
        "\"heap_archive_only\": %zu}\n",
        fileBytes, archive.entries.size(), afterRead - before, afterDecode - before, archiveOnly - before);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
