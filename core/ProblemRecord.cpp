#include "core/ProblemRecord.h"

ProblemPtr NewProblemRecord()
{
    return std::make_unique<ProblemRecord>();
}
