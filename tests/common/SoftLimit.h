#pragma once
// Lowers a soft resource limit for one scope and then restores it. For the file size limit
// SIGXFSZ is ignored meanwhile, so a write past the limit fails with EFBIG instead of ending
// the test.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

namespace testing_support {

class SoftLimit {
 public:
  SoftLimit(int resource, rlim_t soft) : resource_(resource) {
    EXPECT_EQ(::getrlimit(resource_, &saved_), 0);
    if (resource_ == RLIMIT_FSIZE) previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit low = saved_;
    low.rlim_cur = soft;
    EXPECT_EQ(::setrlimit(resource_, &low), 0) << soft;
  }
  ~SoftLimit() {
    ::setrlimit(resource_, &saved_);
    if (resource_ == RLIMIT_FSIZE) ::signal(SIGXFSZ, previousHandler_);
  }
  SoftLimit(const SoftLimit&) = delete;
  SoftLimit& operator=(const SoftLimit&) = delete;

 private:
  int resource_;
  rlimit saved_{};
  sighandler_t previousHandler_ = SIG_DFL;
};

}  // namespace testing_support
