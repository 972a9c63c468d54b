#pragma once
// The registry tweaks the program recommends. ScanTweaks (declared with the
// other scanners) offers each one not yet set; ApplyTweak sets one.

#include "core/ProblemRecord.h"
#include "scan/Scanners.h"

// Writes the recommended value of the tweak whose value name is the record's
// `item`. Silent: a key that does not open is not created, a failed write
// leaves the old value, and an unknown name changes nothing.
void ApplyTweak(const ProblemRecord& record);
