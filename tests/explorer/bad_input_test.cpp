// What the explorer does with input it cannot use: texts that are no number
// or beyond a double, views whose extent overflows, and the window closed
// while a pass, a pause or a file dialog is still on the stack.
#include <gtest/gtest.h>

#include <optional>

#include "explorer_fixture.h"
#include "interaction.h"
#include "support/test_support.h"
#include "toolkit/common_dialog.h"
#include "toolkit/runtime_error.h"

using testing_support::atNextYield;
using testing_support::makeExplorer;
using testing_support::setView;
using testing_support::takeReports;
using testing_support::typeInto;

namespace {

TEST(BadInput, TextThatIsNoNumberGivesZeroWithoutAMessage)
{
    auto form = makeExplorer(8, 6);
    form->KeepRatio = explorer::False;
    typeInto(form->Text1, "abc");
    EXPECT_EQ(form->XMin, 0);
    typeInto(form->Text2, "");
    QTest::keyClick(form->Text2, Qt::Key_Delete);
    EXPECT_EQ(form->Text2->Text(), "");
    EXPECT_EQ(form->XMax, 0);
    EXPECT_TRUE(takeReports().empty());
}

TEST(BadInput, NumberBeyondADoubleIsReportedAndTheBoundKept)
{
    auto form = makeExplorer(8, 6);
    form->KeepRatio = explorer::False;
    typeInto(form->Text1, "1e999");
    const auto reports = takeReports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().number, tk::ErrOverflow);
    EXPECT_TRUE(std::isfinite(form->XMin));
    EXPECT_EQ(form->XMin, 1e99) << "the keystrokes before the last one still counted";
}

TEST(BadInput, ViewWhoseWidthOverflowsIsReportedWhenTheFieldsAreRewritten)
{
    auto form = makeExplorer(8, 6);
    form->KeepRatio = explorer::False;
    form->Command1->click();
    const QImage picture = form->Picture1->image();
    typeInto(form->Text1, "-1e308");
    typeInto(form->Text2, "1e308");
    takeReports();
    testing_support::focusOut(form->Text2);
    const auto reports = takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrOverflow);
    EXPECT_EQ(form->FieldsStale, explorer::True) << "the rewrite did not complete";
    // The overflowing view cannot be drawn either, and says so.
    form->Command1->click();
    ASSERT_EQ(takeReports().size(), 1u);
    EXPECT_EQ(form->Running, explorer::False);
    EXPECT_EQ(form->Picture1->image(), picture) << "the picture is kept";
    EXPECT_EQ(form->Command1->Caption(), QStringLiteral("&Go"));
}

TEST(BadInput, ZeroHeightViewDrawsOneRowValueEverywhere)
{
    auto form = makeExplorer(12, 9);
    setView(*form, -2, 1, 0, 0);
    form->Command1->click();
    EXPECT_TRUE(takeReports().empty());
    for (int r = 0; r < 9; ++r)
        EXPECT_EQ(form->YValues[std::size_t(r)], 0.0);
    for (int c = 0; c < 12; ++c)
        EXPECT_EQ(form->LevelGrid(c, 8), form->LevelGrid(c, 0)) << c;
}

// Closing the window leaves no handler running for a window that is gone:
// the program ends at once, with status 0.
TEST(ClosingDeathTest, DuringAPause)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto form = makeExplorer(40, 30);
            form->show();
            atNextYield(*form, [&] {
                atNextYield(*form, [&] { form->close(); });
                form->Command2->click();
                std::_Exit(3); // not reached: the wait does not end
            });
            form->Command1->click();
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ClosingDeathTest, WhileTheFileDialogIsOpen)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto form = makeExplorer(40, 30);
            form->show();
            tk::CommonDialog::setAnswerer(
                [&](const tk::CommonDialog::Request&) -> std::optional<QString> {
                    form->close();
                    std::_Exit(3); // not reached
                });
            form->OpenMenu->trigger();
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
