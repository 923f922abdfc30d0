#include "host/reminders.h"

#include <algorithm>

#include "core/file_placement.h"
#include "core/json.h"

namespace pellam::host {

namespace {

constexpr std::size_t kLargestMemory = 4096;
constexpr const char* kLastReminder = "lastReminder";

}  // namespace

std::optional<Instant> rememberedReminder(FileSystem& fs, const std::string& path) {
  try {
    if (!fs.status(path).exists) return std::nullopt;
    std::optional<std::string> bytes = fs.readFileAtMost(path, kLargestMemory);
    if (!bytes) return std::nullopt;
    const Json memory = parseJson(*bytes);
    const Json* last = memory.find(kLastReminder);
    if (last == nullptr || !last->isString()) return std::nullopt;
    return parseInternetDateTime(last->asString(), FractionalSeconds::Refused);
  } catch (const std::exception&) {
    return std::nullopt;  // forgotten: at worst one reminder is shown again
  }
}

Reminders::Reminders(DesktopNotifications::Log log, std::shared_ptr<FileSystem> fs, std::string memoryPath,
                     Clock clock)
    : log_(log),
      fs_(std::move(fs)),
      memoryPath_(std::move(memoryPath)),
      clock_(std::move(clock)),
      schedule_(rememberedReminder(*fs_, memoryPath_)),
      notifications_(std::move(log)) {}

void Reminders::check(ArchiveStore& store, bool locked) {
  const Archive* archive = nullptr;
  try {
    archive = &store.current();
  } catch (const std::exception&) {
    return;  // the requests report it
  }
  auto mayRemind = [&] {
    // Someone clocked in needs no reminder to clock in.
    return !locked && std::none_of(archive->entries.begin(), archive->entries.end(),
                                   [](const Entry& entry) { return entry.isRunning(); });
  };
  const std::optional<Instant> before = schedule_.lastDue();
  const std::optional<Instant> shown = schedule_.due(archive->preferences, clock_(), mayRemind);
  if (shown) notifications_.show({kReminderSummary, kReminderBody});
  if (schedule_.lastDue() != before) remember(*schedule_.lastDue());
}

void Reminders::remember(Instant due) {
  try {
    Json memory = Json::object();
    memory[kLastReminder] = formatInternetDateTime(due);
    writeFileAtomically(*fs_, memoryPath_, writeJson(memory), kPrivateFileMode);
  } catch (const std::exception& error) {
    log_(std::string("vantry-host: remembering the last reminder: ") + error.what());
  }
}

}  // namespace pellam::host
