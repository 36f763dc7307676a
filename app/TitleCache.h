#pragma once
// The running Kalvix keeps its current clock title in a small file, so `kalvix --print-title`, run every
// second by a bar's command plugin, reads it instead of starting the whole program.
//
// The file ($XDG_RUNTIME_DIR/kalvix/title, private to the user) holds the title, the moment until which
// it stays the title, and the environment it was made in (zone, locale, home). A reader takes it only
// when its own environment is the same and the moment has not passed: a stopped or hung instance, or a
// caller in another zone, gets a title computed afresh. Plain C++ without Qt: the launcher reads it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kalvix::titlecache {

struct Entry {
    std::string title;
    std::int64_t validUntilMs = 0; // milliseconds since the epoch
    std::string environment;       // environmentKey() of the writer
};

// The file's path; empty without an absolute XDG_RUNTIME_DIR (no shared folder is ever used instead).
std::string path();

// The variables a title depends on, as they are in this process.
std::string environmentKey();

// Until when a title made at `nowMs` stays current: the next minute (or second, when the title shows
// seconds) plus the clock tick's lateness.
std::int64_t validUntil(std::int64_t nowMs, bool showsSeconds);

std::string encode(const Entry& entry);
std::optional<Entry> decode(std::string_view text);

// Writes atomically (a new file renamed over the old); false when that fails, and when the runtime
// folder is not the user's own (another user may write in it, it is a link) or the kalvix folder in it
// is not private to the user: such a folder is not used, and titles are made afresh by their readers.
bool write(const std::string& path, const Entry& entry);
// The title, when the file is the user's own, made in `environment`, and still current at `nowMs`.
std::optional<std::string> readCurrent(const std::string& path, const std::string& environment, std::int64_t nowMs);

std::int64_t nowMs();

} // namespace kalvix::titlecache
