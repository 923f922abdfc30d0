#pragma once
// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications) on the user's session bus, by libsystemd's sd-bus.
//
// The bus is spoken to from a thread of its own, never from the request loop: connecting
// and the Notify call may each stall (a bus that is not there yet, a notification server
// that hangs or is being started by the bus), and a request must not wait for that. The
// call also has a time limit, so that stopping the host waits at most that long for it.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace pellam::host {

struct DesktopNotice {
  std::string summary;
  std::string body;
};

class DesktopNotifications {
 public:
  using Log = std::function<void(const std::string&)>;

  // What the log says, once, when there is no session bus to show notifications on.
  static constexpr const char* kNoBus = "vantry-host: reminders cannot be shown: no session bus";

  // Connects to the session bus at once, from its own thread, so that a missing bus is
  // reported when the host starts (once: not again until a connection has succeeded).
  explicit DesktopNotifications(Log log);
  ~DesktopNotifications();
  DesktopNotifications(const DesktopNotifications&) = delete;
  DesktopNotifications& operator=(const DesktopNotifications&) = delete;

  // Hands the notice to the bus thread and returns at once. A notice still waiting when a
  // newer one comes is replaced by it. Whether it could be shown goes to the log.
  void show(DesktopNotice notice);

 private:
  void run();

  Log log_;
  std::mutex state_;
  std::condition_variable wake_;
  std::optional<DesktopNotice> pending_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace pellam::host
