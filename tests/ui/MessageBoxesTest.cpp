// File-access failures reach the installed message boxes with their number
// in the title and their description as the text.

#include <gtest/gtest.h>

#include "rom/FailureReporter.h"
#include "tests/ui/support/RecordingMessageBoxes.h"
#include "ui/MessageBoxes.h"

namespace {

TEST(MessageBoxesTest, FailureReporterShowsTitleErrorAndNumber) {
    testing_ui::RecordingMessageBoxes boxes;
    ui::InstallFailureReporter(&boxes);
    rom::ReportFailure({53, "File not found"});
    rom::ReportFailure({7, "Out of memory"});
    ui::InstallFailureReporter(nullptr);
    rom::ReportFailure({75, "Path/File access error"});  // goes to the default reporter now

    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].title, "Error: 53");
    EXPECT_EQ(boxes.shown[0].text, "File not found");
    EXPECT_EQ(boxes.shown[1].title, "Error: 7");
    EXPECT_EQ(boxes.shown[1].text, "Out of memory");
}

}  // namespace
