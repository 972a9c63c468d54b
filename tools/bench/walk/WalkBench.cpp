// How much the whole-registry walk costs beyond the registry itself: a
// synthetic branch of 20,000 keys and 100,000 values is walked once with the
// bare platform calls and one file test per path-like value (the floor), and
// once by WalkRegistryValues with a context that drops everything.

#include <algorithm>

#include "../SyntheticBranch.h"
#include "scan/HistoryScanners.h"
#include "scan/ScanContext.h"

namespace {

using namespace bench;

class DroppingContext : public ScanContext {
public:
    void Report(ProblemPtr) override {}
    void ShowItem(const std::string&) override {}
    void Step() override {}
    void Pump() override {}
    void ShowFailure(const std::string&) override {}
};

double TimeScanner(const std::string& branch)
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, branch.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    DroppingContext context;
    WalkRegistryValues(context, key, "HKEY_CURRENT_USER\\" + branch, 13);
    RegCloseKey(key);
    return Seconds(start);
}

} // namespace

int main()
{
    const std::string branch = BranchName();
    FillMruKeys();
    keepScanning = 1;
    if (!PlantBranch(branch)) {
        fprintf(stderr, "bench: could not plant the branch\n");
        RemoveBranch(branch);
        return 1;
    }
    // Three rounds, alternating, best of each: the first round also warms the
    // server's and the file system's caches, and one round in three is often
    // slowed by something else on the machine.
    double bare = 1e9, scanner = 1e9;
    for (int round = 0; round < 3; ++round) {
        bare = std::min(bare, TimeBare(branch));
        scanner = std::min(scanner, TimeScanner(branch));
    }
    RemoveBranch(branch);
    printf("bench: walk_bare %.2f s\n", bare);
    printf("bench: walk_scanner %.2f s\n", scanner);
    printf("bench: walk_ratio %.2f x\n", scanner / bare);
    fflush(stdout);
    return 0;
}
