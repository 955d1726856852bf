#pragma once
// Runs a check in a child process in which the kernel answers ENOSYS for some system calls, as
// an older kernel does, so that the fallbacks written for such kernels are tested here.
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <initializer_list>
#include <vector>

namespace testing_support {

inline bool denySyscalls(std::initializer_list<int> numbers) {
  std::vector<sock_filter> filter = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
  for (int number : numbers) {
    // Jump over the rest of the comparisons and the "allow" to the "ENOSYS" at the end.
    const auto skip = static_cast<unsigned char>(numbers.size() - (filter.size() - 1));
    filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(number), skip, 0));
  }
  filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
  filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS));
  sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// The check's exit status: 0 when every step was right, else the step that failed; 10 when
// the calls could not be taken away, -1 when the child did not exit.
inline int runWithoutSyscalls(std::initializer_list<int> numbers, const std::function<int()>& check) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) ::_exit(denySyscalls(numbers) ? check() : 10);
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace testing_support
