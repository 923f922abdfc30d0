// host_start_phases FOLDER [RUNS]: where the host's start goes, phase by phase, for
// FOLDER/pellam.json: the read, the content token (the host takes it on the second core while
// it decodes), the decode (through a copy, and in place), the full validation, and what the
// first answer does not wait for: the index for later changes and the whole encoding, which
// the host builds while idle or for the first change. Medians in milliseconds, one JSON line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/file_system.h"
#include "core/storage/archive_io.h"
#include "core/storage/archive_json.h"
#include "core/storage/content_digest.h"
#include "core/storage/encoded_archive.h"
#include "core/validation/validation.h"
#include "core/validation/validation_index.h"

namespace {

double medianMs(int runs, const std::function<void()>& phase) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    phase();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: host_start_phases FOLDER [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  pellam::ArchiveIO io(argv[1]);
  pellam::RealFileSystem fs;
  std::string bytes;
  pellam::Archive archive;
  const double read = medianMs(runs, [&] { bytes = fs.readFile(io.dataURL()); });
  const double token = medianMs(runs, [&] { (void)pellam::contentDigest(bytes); });
  const double decodeCopy = medianMs(runs, [&] { archive = pellam::decodeArchiveJson(bytes); });
  const double decodeInPlace = medianMs(runs, [&] { archive = pellam::decodeArchiveJsonInPlace(bytes); });
  const double validation = medianMs(runs, [&] { pellam::validate(archive); });
  const double index = medianMs(runs, [&] { pellam::ValidationIndex known(archive); });
  const double encoding = medianMs(runs, [&] { pellam::EncodedArchive encoded(archive); });
  std::printf(
      "{\"entries\": %zu, \"bytes\": %zu, \"read\": %.1f, \"token\": %.1f, \"decode\": %.1f, "
      "\"decode_in_place\": %.1f, \"validation\": %.1f, \"index\": %.1f, \"encoding\": %.1f}\n",
      archive.entries.size(), bytes.size(), read, token, decodeCopy, decodeInPlace, validation, index, encoding);
  return 0;
}
