// The edge between the natives and their Java caller.
#pragma once

namespace vondra {

// Runs a native's body so that no C++ exception reaches the JVM: a failure inside (in practice an
// allocation that failed) gives the native's failure value.
template <class Result, class Body>
Result guarded(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

template <class Body>
void guarded(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace vondra
