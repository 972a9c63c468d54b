#include "scan/ScanContext.h"

std::atomic<int> keepScanning{0};
