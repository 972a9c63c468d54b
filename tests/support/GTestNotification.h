#pragma once
// GoogleTest's one use of std::mutex and std::condition_variable, which the
// win32 thread-model runtime lacks, on a Windows event instead. Included
// ahead of every GoogleTest source (see tests/CMakeLists.txt).

#include <windows.h>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event); }
    void WaitForNotification() { WaitForSingleObject(event, INFINITE); }

private:
    HANDLE event;
};

} // namespace internal
} // namespace testing
