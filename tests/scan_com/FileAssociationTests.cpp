#include <gtest/gtest.h>

#include <windows.h>

#include <list>

#include "ClassesTestSupport.h"
#include "scan/ScanContext.h"
#include "scan/Scanners.h"
#include "support/Planted.h"

namespace {

using Records = std::vector<std::string>;

class FileAssociationScan : public testing::Test {
protected:
    void SetUp() override { keepScanning = 1; }
    void TearDown() override { keepScanning = 0; }

    // An extension key of this test below HKEY_CLASSES_ROOT, with one value.
    std::string Extension(const std::string& stem, const std::string& subkey = "",
                          const std::string& name = "", const std::string& data = "")
    {
        const std::string extension = "." + UniqueName(stem);
        planted.emplace_back(HKEY_CLASSES_ROOT, extension);
        WriteClassesValue(extension + subkey, name, data);
        return extension;
    }

    RecordingContext context;
    std::list<PlantedKey> planted;
};

TEST_F(FileAssociationScan, ExtensionsThatLeadNowhereAreReportedAndTheOthersAreNot)
{
    const std::string progId = UniqueName("QmDocument") + ".Document";
    const std::string classId = "{" + UniqueName("QmHandlerClass") + "}";
    PlantedKey plants[] = {{HKEY_CLASSES_ROOT, progId}, {HKEY_CLASSES_ROOT, "CLSID\\" + classId}};

    const std::string goneProgId = Extension("qmgoneprogid", "", "", "QmNoSuch.Document");
    const std::string goneHandler =
        Extension("qmgonehandler", "\\PersistentHandler", "", "{QmNoSuchHandler}");
    const std::string bare = Extension("qmbare");

    // Each of these does something, or says what it is.
    const std::string contentType = Extension("qmtype", "", "", "QmNoSuch.Document");
    WriteClassesValue(contentType, "Content Type", "text/x-quillmoor");
    const std::string perceived = Extension("qmperceived", "", "PerceivedType", "text");
    WriteClassesValue(perceived + "\\PersistentHandler", "", "{QmNoSuchHandler}");
    const std::string shellEx = Extension("qmshellex", "", "", "QmNoSuch.Document");
    WriteClassesValue(shellEx + "\\ShellEx", "Other", "");
    const std::vector<std::string> fine = {
        contentType,
        perceived,
        shellEx,
        Extension("qmversioned", "", "", progId + ".1"),
        Extension("qmhandler", "\\PersistentHandler", "", classId),
        Extension("qmshell", "\\Shell\\open\\command", "", "notepad.exe"),
        Extension("qmicon", "\\DefaultIcon", "", "notepad.exe,0"),
        Extension("qmshellnew", "\\QmDocument.1\\ShellNew", "NullFile", ""),
    };

    ScanFileAssociations(context);

    EXPECT_EQ(RecordsUnder(context, Hkcr(goneProgId)),
              (Records{Fields(11, goneProgId, Hkcr(goneProgId), "(Default)", "QmNoSuch.Document",
                              appIdInvalidText)}));
    EXPECT_EQ(RecordsUnder(context, Hkcr(goneHandler)),
              (Records{Fields(11, goneHandler, Hkcr(goneHandler), "PersistentHandler",
                              "{QmNoSuchHandler}", appIdInvalidText)}));
    EXPECT_EQ(RecordsUnder(context, Hkcr(bare)),
              (Records{Fields(11, bare, Hkcr(bare), "ShellEx", "", appIdInvalidText)}));
    for (const std::string& extension : fine)
        EXPECT_EQ(RecordsUnder(context, Hkcr(extension)), Records{}) << extension;

    // Only extension keys are looked at, but every key moves the progress bar.
    EXPECT_TRUE(Shown(context, Hkcr(fine.back())));
    EXPECT_EQ(context.CallsStartingWith("ShowItem ").size(),
              context.CallsStartingWith("ShowItem HKEY_CLASSES_ROOT\\.").size());
    EXPECT_EQ(context.steps, static_cast<int>(ClassesSubkeyCount("")));
}

TEST_F(FileAssociationScan, AbortStopsBeforeTheNextExtension)
{
    // Two broken extensions that sort before every real one.
    const std::string first = Extension("!qmabort", "", "", "QmNoSuch.Document");
    const std::string second = Extension("!qmabort", "", "", "QmNoSuch.Document");
    size_t abortedAt = 0;
    context.onItem = [&](const std::string& text) {
        if (!abortedAt && (text == Hkcr(first) || text == Hkcr(second))) {
            abortedAt = context.calls.size();
            keepScanning = 0;
        }
    };

    ScanFileAssociations(context);

    ASSERT_NE(abortedAt, 0u);
    EXPECT_EQ(RecordsUnder(context, Hkcr(first)).size() + RecordsUnder(context, Hkcr(second)).size(),
              1u);
    EXPECT_EQ(context.calls.back(), "Step");
    EXPECT_EQ(StepsFrom(context, abortedAt), 1u);
}

TEST_F(FileAssociationScan, RootThatDoesNotOpenIsToldAndEndsTheSection)
{
    FailClassesOpen failure("");
    ScanFileAssociations(context);
    EXPECT_EQ(context.calls, std::vector<std::string>{"ShowFailure RegOpenKeyEx FAILED"});
}

} // namespace
