#include "app/HeldScanProgress.h"

namespace {

class Locked {
public:
    explicit Locked(CRITICAL_SECTION& lock) : lock(lock) { EnterCriticalSection(&lock); }
    ~Locked() { LeaveCriticalSection(&lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION& lock;
};

} // namespace

// Called under the lock.
bool HeldScanProgress::Watched()
{
    bool was = watched;
    watched = true;
    return was;
}

bool HeldScanProgress::HoldItem(const std::string& text)
{
    Locked held(lock);
    item = text;
    itemChanged = true;
    return !Watched();
}

bool HeldScanProgress::HoldStep()
{
    Locked held(lock);
    ++steps;
    return !Watched();
}

bool HeldScanProgress::Take(std::string& takenItem, bool& takenChanged, int& takenSteps,
                            bool keepLooking)
{
    Locked held(lock);
    if (!itemChanged && steps == 0) {
        watched = keepLooking && watched;
        return false;
    }
    if (itemChanged) {
        takenItem.swap(item);
        takenChanged = true;
        itemChanged = false;
    }
    takenSteps += steps;
    steps = 0;
    return true;
}

void HeldScanProgress::Forget()
{
    Locked held(lock);
    item.clear();
    itemChanged = false;
    steps = 0;
    watched = false;
}
