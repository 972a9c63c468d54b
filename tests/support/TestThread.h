#pragma once
// Runs a function on a thread of its own, on the system's own threads (the
// runtime has no std::thread); the destructor waits for it to end.

#include <windows.h>

#include <functional>

class TestThread {
public:
    explicit TestThread(std::function<void()> work)
        : work(std::move(work)), thread(CreateThread(nullptr, 0, Run, this, 0, nullptr))
    {
    }
    ~TestThread() { Join(); }
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    void Join()
    {
        if (thread)
            WaitForSingleObject(thread, INFINITE), CloseHandle(thread), thread = nullptr;
    }

private:
    static DWORD WINAPI Run(void* self) { return static_cast<TestThread*>(self)->work(), 0; }

    std::function<void()> work;
    HANDLE thread;
};
