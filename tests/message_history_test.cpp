// The status line and the three-line message history, on real controls.
#include "Scratch.h"
#include "ui/MessageHistory.h"

#include <gtest/gtest.h>

TEST(MessageHistory, ShowsTemplateTextUntilTheFirstReport) {
    MessageWindow w;
    EXPECT_EQ(w.History(), "...");
    ReportMessage("r1");
    EXPECT_EQ(w.History(), "r1\n...\n...");
}

TEST(MessageHistory, KeepsTheThreeNewestNewestOnTop) {
    MessageWindow w;
    for (const char* r : {"r1", "r2", "r3", "r4"}) ReportMessage(r);
    EXPECT_EQ(w.History(), "r4\nr3\nr2");
    ReportMessage("r4");  // nothing is merged
    EXPECT_EQ(w.History(), "r4\nr4\nr3");
}

TEST(MessageHistory, EmptyReportIsAnEmptyTopLine) {
    MessageWindow w;
    ReportMessage("r1");
    ReportMessage("");
    EXPECT_EQ(w.History(), "\nr1\n...");
    EXPECT_STREQ(g_szHistory[0], "");
}

TEST(MessageHistory, LongReportIsCutTo511Characters) {
    MessageWindow w;
    const std::string longText(2000, 'x');
    ReportMessage(longText.c_str());
    ReportMessage("next");
    EXPECT_EQ(std::string(g_szHistory[1]), std::string(511, 'x'));
    EXPECT_EQ(w.History(), "next\n" + std::string(511, 'x') + "\n...");
}

TEST(MessageHistory, StatusLineIsSeparateFromTheHistory) {
    MessageWindow w;
    SetStatusText("Started");
    ReportMessage("a report");
    EXPECT_EQ(w.Status(), "Started");
    EXPECT_EQ(w.History(), "a report\n...\n...");
    SetStatusText("Stopped...");
    EXPECT_EQ(w.Status(), "Stopped...");
}

TEST(MessageHistory, WithoutControlsReportsAreStillKept) {
    ReportMessage("before the dialog");
    EXPECT_STREQ(g_szHistory[0], "before the dialog");
    SetStatusText("nowhere to show it");  // no control yet: nothing happens
    MessageWindow w;
    ReportMessage("after");
    EXPECT_EQ(w.History(), "after\nbefore the dialog\n...");
}
