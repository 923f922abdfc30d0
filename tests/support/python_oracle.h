#pragma once
// Runs a Python 3 script as an outside oracle: `input` goes to its standard input and its
// standard output comes back. Python's json, hashlib and base64 modules check our own code.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

namespace pellam::testing {

// The interpreter the build found (one that imports openpyxl, where there is one).
#ifdef PELLAM_TEST_PYTHON
inline constexpr const char* kPython = PELLAM_TEST_PYTHON;
#else
inline constexpr const char* kPython = "python3";
#endif

inline std::string runPython(const std::string& script, const std::string& input) {
  char inputPath[] = "/tmp/pellam-oracle-XXXXXX";
  int fd = mkstemp(inputPath);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  ::close(fd);
  std::ofstream(inputPath, std::ios::binary) << input;
  char scriptPath[] = "/tmp/pellam-oracle-script-XXXXXX";
  fd = mkstemp(scriptPath);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  ::close(fd);
  std::ofstream(scriptPath, std::ios::binary) << script;
  std::string command = std::string(kPython) + " " + scriptPath + " < " + inputPath;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("python3 could not be started");
  std::string output;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  int status = pclose(pipe);
  ::unlink(inputPath);
  ::unlink(scriptPath);
  if (status != 0) throw std::runtime_error("python3 failed: " + output);
  return output;
}

// The bytes as lower-case hexadecimal digits, to hand binary data to a script's input.
inline std::string hexText(const std::string& bytes) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    text += hex[c >> 4];
    text += hex[c & 0xF];
  }
  return text;
}

}  // namespace pellam::testing
