#include "tools/rcplauncher-sim/InstanceFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string_view>

#include "platform/AtomicFile.h"
#include "platform/UniqueFd.h"
#include "tools/rcplauncher-sim/Journal.h"

namespace rcpsim {
namespace {

constexpr std::string_view kRcPrefix = "rc=";

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

std::optional<std::string> readSmallFile(const std::string& path) {
  platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  char buffer[64];
  ssize_t count = -1;
  do {
    count = ::read(fd.get(), buffer, sizeof buffer);
  } while (count < 0 && errno == EINTR);
  if (count < 0) return std::nullopt;
  return std::string(buffer, static_cast<size_t>(count));
}

}  // namespace

bool writeResultCode(const std::string& path, int code) {
  return !platform::replaceFileAtomically(path, std::string(kRcPrefix) + std::to_string(code) + "\n");
}

std::optional<int> readResultCode(const std::string& path) {
  std::optional<std::string> text = readSmallFile(path);
  if (!text || !text->starts_with(kRcPrefix)) return std::nullopt;
  int code = 0;
  const char* begin = text->data() + kRcPrefix.size();
  auto [end, error] = std::from_chars(begin, text->data() + text->size(), code);
  if (error != std::errc() || end == begin) return std::nullopt;
  return code;
}

bool appendJournalLine(const std::string& path, const std::vector<std::string>& arguments) {
  platform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
  return fd.valid() && writeAll(fd.get(), formatJournalLine(arguments));
}

bool appendResultSighting(const std::string& path, bool resultFileWasThere) {
  platform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
  return fd.valid() && writeAll(fd.get(), resultFileWasThere ? "1\n" : "0\n");
}

}  // namespace rcpsim
