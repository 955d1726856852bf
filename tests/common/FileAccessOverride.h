#pragma once
// Root reads any file; without these two capabilities it reads only what the effective user may,
// so a file found readable in a user-only folder proves that the access happened as that user.
// Drops them for the rest of the process: use it in a test that runs in a child of its own
// (RCP_WITH_TEST_USER).
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace testing_support {

inline void dropFileAccessOverride() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
  for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
    const auto bit = 1u << (capability % 32);
    data[capability / 32].effective &= ~bit;
    data[capability / 32].permitted &= ~bit;
    data[capability / 32].inheritable &= ~bit;
  }
  ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
}

}  // namespace testing_support
