#include <gtest/gtest.h>

#include "core/AppInfo.h"
#include "core/Steps.h"
#include "support/ScriptedDialogs.h"

namespace {

TEST(ErrorReport, HasTheExactTextWithItsLocationAndLine) {
    EXPECT_EQ(ReportText("Permission denied", Location::of("Form2", "PushButton1_Click"), 108),
              "Permission denied\r\nin Tarnwick2021/08/31.Form2.PushButton1_Click at line "
              "108\r\rPlease email screenshot of this message to support@kestrom.example");
    EXPECT_EQ(ReportText("Path not found",
                         Location::folderScan("AddFolder", "GetSubDirectories2016"), 150),
              "Path not found\r\nin Corvalin2021/08/31.AddFolder.GetSubDirectories2016 at line "
              "150\r\rPlease email screenshot of this message to support@kestrom.example");
}

TEST(Steps, AFailingStepIsReportedAndTheNextStepRuns) {
    ScriptedDialogs dialogs;
    Steps steps(dialogs, Location::of("Form1", "Form_Load"));
    std::vector<int> ran;
    steps.run(100, [&] { ran.push_back(100); });
    steps.run(102, [&] { throw Failure::fileNotFound(); });
    steps.run(104, [&] { throw std::runtime_error("boom"); });
    steps.run(106, [&] { ran.push_back(106); });
    EXPECT_EQ(ran, (std::vector<int>{100, 106}));
    ASSERT_EQ(dialogs.reports().size(), 2);
    EXPECT_TRUE(
        dialogs.reports()[0].startsWith("File not found\r\nin Tarnwick2021/08/31.Form1."
                                        "Form_Load at line 102\r\r"));
    EXPECT_TRUE(dialogs.reports()[1].startsWith("boom\r\n"));
    EXPECT_EQ(dialogs.calls[0].title, "Application Error");
    EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Warning);
}

TEST(Steps, AFailedTestLetsTheGuardedStepsRunAndRunOrStopSaysStop) {
    ScriptedDialogs dialogs;
    Steps steps(dialogs, Location::of("M", "P"));
    EXPECT_TRUE(steps.passes(140, [] { return true; }));
    EXPECT_FALSE(steps.passes(140, [] { return false; }));
    EXPECT_TRUE(steps.passes(140, []() -> bool { throw Failure::permissionDenied(); }));
    EXPECT_TRUE(steps.runOrStop(150, [] {}));
    EXPECT_FALSE(steps.runOrStop(152, [] { throw Failure(2003, "Can't connect"); }));
    ASSERT_EQ(dialogs.reports().size(), 2);
    EXPECT_TRUE(dialogs.reports()[1].contains("at line 152\r\r"));
}

TEST(AppTitle, CutsLongNamesAtWordBoundaries) {
    struct Case {
        const char* name;
        const char* want;
    };
    const Case cases[] = {
        {"Vantrelle", "Vantrelle"},
        {"A name of exactly forty characters long.", "A name of exactly forty characters long."},
        {"A name of exactly forty-one characters lo", "A name of exactly forty-one characters"},
        {"Word word word word word word word word word word",
         "Word word word word word word word word"},
        {"Nospacesatallinthisverylongproductnamehere",
         "Nospacesatallinthisverylongproductnamehere"},
    };
    for (const Case& c : cases) EXPECT_EQ(AppTitleFor(c.name), c.want) << c.name;
    SetAppTitle();
    EXPECT_EQ(AppTitle(), "Vantrelle");
}

}  // namespace
