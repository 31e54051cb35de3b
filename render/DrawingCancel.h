#pragma once
// A drawing made on a worker thread can be abandoned when a newer one is
// asked for: while a CancelScope lives on a thread, the template engine's
// triangle walks on that thread skip all remaining work once its flag is set.
// What was drawn by then is incomplete and must be thrown away.
#include <atomic>

namespace drawing_cancel {
inline thread_local const std::atomic<bool>* t_flag = nullptr;
}

class CancelScope {
  public:
    explicit CancelScope(const std::atomic<bool>& flag) { drawing_cancel::t_flag = &flag; }
    ~CancelScope() { drawing_cancel::t_flag = nullptr; }
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;
};

inline bool DrawingCancelled() {
    const std::atomic<bool>* flag = drawing_cancel::t_flag;
    return flag && flag->load(std::memory_order_relaxed);
}
