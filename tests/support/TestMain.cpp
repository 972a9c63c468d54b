#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

int main(int argc, char** argv)
{
    // No error dialog may wait for a click during a test run.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    CoInitialize(nullptr);
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
