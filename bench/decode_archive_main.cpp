// decode_archive FOLDER [--read-only]: loads FOLDER/pellam.json as the host does
// (ArchiveIO::load: read, decode, validate) and prints the heap in use (glibc's mallinfo2)
// as one JSON line. With --read-only it only reads the file, which gives the baseline for
// peak-memory measurements taken from outside (/usr/bin/time -v).
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "core/storage/archive_io.h"
#include "core/file_system.h"

namespace {

std::size_t heapInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace

int main(int argc, char** argv) {
  bool readOnly = argc == 3 && std::strcmp(argv[2], "--read-only") == 0;
  if (argc < 2 || argc > 3 || (argc == 3 && !readOnly)) {
    std::fprintf(stderr, "usage: decode_archive FOLDER [--read-only]\n");
    return 2;
  }
  try {
    pellam::ArchiveIO io(argv[1]);
    std::size_t before = heapInUse();
    if (readOnly) {
      std::string bytes = pellam::RealFileSystem().readFile(io.dataURL());
      std::printf("{\"file_bytes\": %zu, \"heap_after_read\": %zu}\n", bytes.size(), heapInUse() - before);
      return 0;
    }
    pellam::Archive archive = io.load();
    std::printf("{\"entries\": %zu, \"heap_archive\": %zu}\n", archive.entries.size(), heapInUse() - before);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
