// COM for the calling thread, for the length of one native call.
#pragma once

#include <objbase.h>

namespace vondra {

// Enters a single-threaded apartment and leaves it again. When the thread already lives in
// another apartment kind the entry fails; COM stays usable and is then not left, so the
// caller's own initialisation is kept.
class ComApartment {
 public:
  ComApartment() : _entered(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (_entered) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool _entered;
};

}  // namespace vondra
