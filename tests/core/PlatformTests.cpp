#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include "core/Platform.h"

// Where the shell cannot name a special folder, its record in the user's
// "Shell Folders" key stands in: the same folder the shell names.
TEST(GetSpecialFolder, TheShellFoldersRecordNamesTheSameFolderAsTheShell)
{
    for (int csidl : {CSIDL_COOKIES, CSIDL_HISTORY, CSIDL_APPDATA, CSIDL_DESKTOPDIRECTORY,
                      CSIDL_COMMON_DESKTOPDIRECTORY}) {
        const std::string shell = GetSpecialFolder(csidl);
        ASSERT_FALSE(shell.empty()) << csidl;
        EXPECT_EQ(lstrcmpiA(SpecialFolderFromRegistry(csidl).c_str(), shell.c_str()), 0) << csidl;
    }
    EXPECT_EQ(SpecialFolderFromRegistry(CSIDL_PRINTERS), "");
}
