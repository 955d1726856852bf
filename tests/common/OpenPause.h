#pragma once
// Holds every open of an entry of one folder (a new file's creation too) until the test has let
// it through, and runs an action once, at the first open of an entry whose name passes `when`,
// before that open goes on. A program under test then meets the action exactly between two of
// its own steps, where an attacker racing it would hope to land, with no timing involved.
//
// Uses fanotify permission events (root only; skipped where the kernel has none). The mark is on
// the folder's inode, so it holds whichever mount namespace the program runs in and after the
// folder is renamed. The action runs on the listening thread: it must not open an entry of the
// folder itself (that open would wait for its own answer). Closing the listener lets every
// waiting open go on.
#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace testing_support {

class OpenPause {
 public:
  OpenPause(const std::filesystem::path& folder, std::function<bool(const std::string& name)> when,
            std::function<void()> action)
      : when_(std::move(when)), action_(std::move(action)) {
    group_ = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE);
    if (group_ < 0 || ::pipe2(stop_, O_CLOEXEC) != 0 ||
        ::fanotify_mark(group_, FAN_MARK_ADD, FAN_OPEN_PERM | FAN_EVENT_ON_CHILD, AT_FDCWD, folder.c_str()) != 0) {
      return;
    }
    listener_ = std::thread([this] { listen(); });
  }

  ~OpenPause() {
    if (listener_.joinable()) {
      (void)!::write(stop_[1], "x", 1);
      listener_.join();
    }
    for (int fd : {group_, stop_[0], stop_[1]}) {
      if (fd >= 0) ::close(fd);
    }
  }

  OpenPause(const OpenPause&) = delete;
  OpenPause& operator=(const OpenPause&) = delete;

  // False where the kernel offers no permission events: the test cannot set up its attack.
  bool watching() const { return listener_.joinable(); }
  bool fired() const { return fired_; }

 private:
  void listen() {
    pollfd waits[] = {{group_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    alignas(fanotify_event_metadata) char buffer[4096];
    while (::poll(waits, 2, -1) >= 0 && (waits[1].revents & POLLIN) == 0) {
      const ssize_t length = ::read(group_, buffer, sizeof buffer);
      if (length <= 0) continue;
      auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
      for (ssize_t left = length; FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
        if (event->fd < 0) continue;
        if (!fired_ && when_(nameOf(event->fd))) {
          action_();
          fired_ = true;
        }
        const fanotify_response allow{event->fd, FAN_ALLOW};
        (void)!::write(group_, &allow, sizeof allow);
        ::close(event->fd);
      }
    }
  }

  static std::string nameOf(int fd) {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error).filename().string();
  }

  std::function<bool(const std::string&)> when_;
  std::function<void()> action_;
  int group_ = -1;
  int stop_[2] = {-1, -1};
  std::atomic<bool> fired_{false};
  std::thread listener_;
};

}  // namespace testing_support
