#include <gtest/gtest.h>
#include <windows.h>

#include "core/Platform.h"

int main(int argc, char** argv)
{
    // No error dialog may wait for a click during a test run.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ComApartment com;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
