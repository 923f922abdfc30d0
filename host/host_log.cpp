#include "host/host_log.h"

namespace pellam::host {

void HostLog::line(std::string_view text) {
  std::lock_guard<std::mutex> hold(mutex_);
  out_.clear();  // an earlier line that failed says nothing about this one
  out_ << text << '\n';
  out_.flush();
  out_.clear();  // dropped
}

}  // namespace pellam::host
