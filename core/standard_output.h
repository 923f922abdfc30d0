#pragma once
#include <string_view>

namespace pellam {

// Whether `fd` is an open descriptor. A program started with its standard output closed
// (`>&-`) can print nothing, and the next file it opened would take that number.
bool isOpenDescriptor(int fd);

// Writes all of `bytes` to `fd`, going on after short writes and interruptions. False when a
// write fails (the rest is then not written).
bool writeAll(int fd, std::string_view bytes);

// Writes all of `bytes` to `fd`, then closes it, so that an error the system reports only at
// close (some network file systems) is seen too. False when any write or the close fails: a
// full disk, a closed or read-only descriptor, a reader that left while SIGPIPE is ignored.
// Under the default SIGPIPE a reader that left ends the process instead, which is not success either.
bool writeAllAndClose(int fd, std::string_view bytes);

}  // namespace pellam
