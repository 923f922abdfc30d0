#include "host/desktop_notifications.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

namespace pellam::host {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kAppName = "Vantry";
constexpr const char* kIcon = "appointment-soon";  // a standard icon name every theme carries
constexpr std::uint8_t kUrgencyNormal = 1;           // low = 0, normal = 1, critical = 2
// Long enough to be seen by someone back at the desk, short of piling up; servers that keep
// a history keep it there afterwards.
constexpr std::int32_t kExpireMilliseconds = 10 * 60 * 1000;
// A server that answers at all answers in milliseconds; one the bus must start first takes
// a second or two.
constexpr std::uint64_t kCallMicroseconds = 5'000'000;

struct BusUnref {
  // No flush: a bus daemon that stopped reading would hold the host up at its exit.
  void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusUnref>;

struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

std::string errnoText(int negativeErrno) { return std::strerror(-negativeErrno); }

// The user's session bus: DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus.
Bus connect(std::string& error) {
  sd_bus* bus = nullptr;
  int result = sd_bus_open_user(&bus);
  if (result == -ENOMEDIUM) {
    error = "DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR are not set";
  } else if (result < 0) {
    error = errnoText(result);
  }
  return result < 0 ? nullptr : Bus(bus);
}

// Sends Notify and waits for its answer; the notification's id, or the reason it failed.
std::optional<std::uint32_t> notify(sd_bus* bus, const DesktopNotice& notice, std::uint32_t replaces,
                                    std::string& error) {
  sd_bus_message* raw = nullptr;
  int result = sd_bus_message_new_method_call(bus, &raw, kService, kPath, kService, "Notify");
  Message call(raw);
  if (result >= 0) {
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout
    result = sd_bus_message_append(call.get(), "susssasa{sv}i", kAppName, replaces, kIcon, notice.summary.c_str(),
                                   notice.body.c_str(), 0, 1, "urgency", "y", kUrgencyNormal, kExpireMilliseconds);
  }
  if (result < 0) {
    error = errnoText(result);
    return std::nullopt;
  }
  sd_bus_error failure = SD_BUS_ERROR_NULL;
  sd_bus_message* rawReply = nullptr;
  result = sd_bus_call(bus, call.get(), kCallMicroseconds, &failure, &rawReply);
  Message reply(rawReply);
  if (result < 0) {
    error = sd_bus_error_is_set(&failure) && failure.message ? failure.message : errnoText(result);
    sd_bus_error_free(&failure);
    return std::nullopt;
  }
  std::uint32_t id = 0;
  if (sd_bus_message_read(reply.get(), "u", &id) < 0) id = 0;  // shown; only the id is unusable
  return id;
}

}  // namespace

DesktopNotifications::DesktopNotifications(Log log) : log_(std::move(log)), thread_([this] { run(); }) {}

DesktopNotifications::~DesktopNotifications() {
  {
    std::lock_guard<std::mutex> hold(state_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void DesktopNotifications::show(DesktopNotice notice) {
  {
    std::lock_guard<std::mutex> hold(state_);
    pending_ = std::move(notice);
  }
  wake_.notify_all();
}

void DesktopNotifications::run() {
  // sd-bus objects belong to one thread: this one.
  Bus bus;
  bool reportedNoBus = false;
  std::uint32_t shown = 0;  // the last notification, replaced by the next rather than piled on it
  auto connected = [&] {
    if (bus) return true;
    std::string error;
    bus = connect(error);
    if (!bus && !reportedNoBus) {
      log_(std::string(kNoBus) + " (" + error + "); serving without them");
      reportedNoBus = true;
    }
    if (bus) reportedNoBus = false;
    return bool(bus);
  };
  connected();
  while (true) {
    DesktopNotice notice;
    {
      std::unique_lock<std::mutex> hold(state_);
      wake_.wait(hold, [this] { return stopping_ || pending_; });
      if (stopping_) return;
      notice = std::move(*pending_);
      pending_.reset();
    }
    if (!connected()) continue;
    std::string error;
    if (std::optional<std::uint32_t> id = notify(bus.get(), notice, shown, error)) {
      shown = *id;
      log_("vantry-host: reminder shown");
    } else {
      log_("vantry-host: a reminder could not be shown: " + error);
      bus.reset();  // a bus that went away is connected to again for the next one
    }
  }
}

}  // namespace pellam::host
