// write_archive ENTRIES PATH [SEED]: writes a generated archive as the data file would
// hold it, for comparisons with other tools (bench/compare_python.py).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

#include "bench/archive_generator.h"
#include "core/storage/archive_io.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: write_archive ENTRIES PATH [SEED]\n");
    return 2;
  }
  try {
    pellam::bench::ArchiveShape shape;
    shape.entries = std::stoul(argv[1]);
    if (argc == 4) shape.seed = std::stoull(argv[3]);
    std::string bytes = pellam::ArchiveIO::encode(pellam::bench::generateArchive(shape));
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      std::fprintf(stderr, "could not write %s\n", argv[2]);
      return 1;
    }
    std::printf("%zu\n", bytes.size());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
