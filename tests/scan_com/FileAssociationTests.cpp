#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>

#include "ClassesTestSupport.h"
#include "scan/ScanContext.h"
#include "scan/Scanners.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"

namespace {

class FileAssociationScan : public testing::Test {
protected:
    void SetUp() override { keepScanning = 1; }
    void TearDown() override { keepScanning = 0; }

    // An extension key of this test, planted below HKEY_CLASSES_ROOT.
    std::string Extension(const std::string& stem)
    {
        std::string name = "." + UniqueName(stem);
        planted.push_back(std::make_unique<PlantedKey>(HKEY_CLASSES_ROOT, name));
        return name;
    }

    RecordingContext context;
    std::vector<std::unique_ptr<PlantedKey>> planted;
};

TEST_F(FileAssociationScan, ExtensionsThatLeadNowhereAreReportedAndTheOthersAreNot)
{
    const std::string progId = UniqueName("QmDocument") + ".Document";
    const std::string classId = "{" + UniqueName("QmHandlerClass") + "}";
    PlantedKey progIdKey(HKEY_CLASSES_ROOT, progId);
    PlantedKey classKey(HKEY_CLASSES_ROOT, "CLSID\\" + classId);

    const std::string goneProgId = Extension("qmgoneprogid");
    WriteClassesValue(goneProgId, "", "QmNoSuch.Document");
    const std::string goneHandler = Extension("qmgonehandler");
    WriteClassesValue(goneHandler + "\\PersistentHandler", "", "{QmNoSuchHandler}");
    const std::string bare = Extension("qmbare");
    WriteClassesValue(bare, "", "");

    // Each of these does something, or says what it is.
    const std::string contentType = Extension("qmcontenttype");
    WriteClassesValue(contentType, "", "QmNoSuch.Document");
    WriteClassesValue(contentType, "Content Type", "text/x-quillmoor");
    const std::string perceived = Extension("qmperceived");
    WriteClassesValue(perceived + "\\PersistentHandler", "", "{QmNoSuchHandler}");
    WriteClassesValue(perceived, "PerceivedType", "text");
    const std::string versioned = Extension("qmversioned");
    WriteClassesValue(versioned, "", progId + ".1");
    const std::string shellEx = Extension("qmshellex");
    WriteClassesValue(shellEx, "", "QmNoSuch.Document");
    CreateClassesKey(shellEx + "\\ShellEx");
    const std::string handler = Extension("qmhandler");
    WriteClassesValue(handler + "\\PersistentHandler", "", classId);
    const std::string shell = Extension("qmshell");
    CreateClassesKey(shell + "\\Shell\\open\\command");
    const std::string icon = Extension("qmicon");
    CreateClassesKey(icon + "\\DefaultIcon");
    const std::string shellNew = Extension("qmshellnew");
    CreateClassesKey(shellNew + "\\QmDocument.1\\ShellNew");

    ScanFileAssociations(context);

    const std::vector<std::pair<std::string, ExpectedRecord>> expected = {
        {goneProgId,
         {11, goneProgId, Hkcr(goneProgId), "(Default)", "QmNoSuch.Document", appIdInvalidText}},
        {goneHandler,
         {11, goneHandler, Hkcr(goneHandler), "PersistentHandler", "{QmNoSuchHandler}",
          appIdInvalidText}},
        {bare, {11, bare, Hkcr(bare), "ShellEx", "", appIdInvalidText}},
    };
    for (const auto& [extension, record] : expected) {
        std::vector<const ProblemRecord*> found = RecordsUnder(context, Hkcr(extension));
        ASSERT_EQ(found.size(), 1u) << extension;
        ExpectRecord(*found[0], record);
    }
    for (const std::string& fine :
         {contentType, perceived, versioned, shellEx, handler, shell, icon, shellNew})
        EXPECT_TRUE(RecordsUnder(context, Hkcr(fine)).empty()) << fine;

    // Only extension keys are examined, but every key moves the progress bar.
    const std::vector<std::string> shown = ShownItems(context);
    EXPECT_NE(std::find(shown.begin(), shown.end(), Hkcr(shellNew)), shown.end());
    for (const std::string& item : shown)
        EXPECT_EQ(item.rfind("HKEY_CLASSES_ROOT\\.", 0), 0u) << item;
    EXPECT_EQ(context.steps, static_cast<int>(ClassesSubkeyCount("")));
}

TEST_F(FileAssociationScan, AbortStopsBeforeTheNextExtension)
{
    // Two broken extensions that sort before every real one.
    const std::string first = Extension("!qmabort");
    const std::string second = Extension("!qmabort");
    WriteClassesValue(first, "", "QmNoSuch.Document");
    WriteClassesValue(second, "", "QmNoSuch.Document");
    std::string abortedAt;
    context.onItem = [&](const std::string& text) {
        if (abortedAt.empty() && (text == Hkcr(first) || text == Hkcr(second))) {
            abortedAt = text;
            keepScanning = 0;
        }
    };

    ScanFileAssociations(context);

    ASSERT_FALSE(abortedAt.empty());
    EXPECT_EQ(CallsAfterShown(context, abortedAt), (std::vector<std::string>{"Pump", "Step"}));
    EXPECT_EQ(RecordsUnder(context, abortedAt).size(), 1u);
}

TEST_F(FileAssociationScan, RootThatDoesNotOpenIsToldAndEndsTheSection)
{
    FailClassesOpen failure("");
    ScanFileAssociations(context);
    EXPECT_EQ(context.calls, std::vector<std::string>{"ShowFailure RegOpenKeyEx FAILED"});
    EXPECT_TRUE(context.records.empty());
}

} // namespace
