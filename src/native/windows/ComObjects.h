#pragma once
// COM on the calling thread and the interface pointers it hands out, released when they go.

#include <objbase.h>

namespace lw {

// Every successful initialisation, S_FALSE included, is balanced; a thread already in the other
// mode keeps its own set-up.
class ComScope {
public:
  explicit ComScope(DWORD mode = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)
      : result(CoInitializeEx(nullptr, mode)) {}
  ~ComScope() {
    if (SUCCEEDED(result))
      CoUninitialize();
  }
  ComScope(const ComScope &) = delete;
  ComScope &operator=(const ComScope &) = delete;

private:
  HRESULT result;
};

template <class Interface> class ComPointer {
public:
  ComPointer() = default;
  ComPointer(const ComPointer &) = delete;
  ComPointer &operator=(const ComPointer &) = delete;
  ~ComPointer() {
    if (pointer)
      pointer->Release();
  }
  Interface *operator->() const { return pointer; }
  Interface &operator*() const { return *pointer; }
  explicit operator bool() const { return pointer != nullptr; }
  Interface **out() { return &pointer; }
  void **outVoid() { return reinterpret_cast<void **>(&pointer); }

private:
  Interface *pointer = nullptr;
};

} // namespace lw
