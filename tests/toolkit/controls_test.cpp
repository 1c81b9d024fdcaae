// Controls as the handlers rely on them, and the handler guard.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QWindow>
#include <QTest>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "toolkit/controls.h"
#include "toolkit/form.h"
#include "toolkit/runtime_error.h"

namespace {

TEST(TextBox, ChangeRunsInsideEveryWriteAndEveryKeystroke)
{
    QWidget parent;
    auto* box = new tk::TextBox(&parent);
    QStringList seen;
    QObject::connect(box, &tk::TextBox::Change, [&] { seen << box->Text(); });
    box->setText("abc");
    ASSERT_EQ(seen, QStringList{"abc"}) << "the handler ran inside the write";
    box->setText("abc");
    EXPECT_EQ(seen.size(), 2) << "writing the same text runs the handler too";
    parent.show();
    box->setFocus();
    box->setSelStart(0);
    box->setSelLength(3);
    QTest::keyClicks(box, "-2.5");
    EXPECT_EQ(seen.mid(2), (QStringList{"-", "-2", "-2.", "-2.5"}));
}

TEST(TextBox, SelectionAndFocusEvents)
{
    QWidget parent;
    auto* a = new tk::TextBox(&parent);
    auto* b = new tk::TextBox(&parent);
    a->setText("hello");
    int gotA = 0, lostA = 0;
    QObject::connect(a, &tk::TextBox::GotFocus, [&] {
        ++gotA;
        a->setSelStart(0);
        a->setSelLength(int(a->Text().size()));
    });
    QObject::connect(a, &tk::TextBox::LostFocus, [&] { ++lostA; });
    parent.show();
    QApplication::setActiveWindow(&parent);
    b->setFocus(Qt::TabFocusReason);
    gotA = lostA = 0;
    a->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(gotA, 1);
    EXPECT_EQ(a->selectedText(), "hello");
    b->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(lostA, 1);
    a->setSelStart(1);
    a->setSelLength(99);
    EXPECT_EQ(a->selectedText(), "ello") << "length is cut at the end of the text";
}

TEST(CommandButton, CaptionReadsBackWithAmpersand)
{
    QWidget parent;
    auto* b = new tk::CommandButton("&Go", &parent);
    EXPECT_EQ(b->Caption(), "&Go");
    b->setCaption("Re&start");
    EXPECT_EQ(b->Caption(), "Re&start");
    QSignalSpy clicks(b, &tk::CommandButton::Click);
    b->click();
    EXPECT_EQ(clicks.count(), 1);
}

TEST(MenuItem, ChoosingDoesNotToggleTheCheckByItself)
{
    QObject owner;
    tk::MenuItem item("Maintain 4:3 &Ratio", QKeySequence(Qt::CTRL | Qt::Key_R), 3, &owner);
    item.setChecked(true);
    std::vector<int> indexes;
    QObject::connect(&item, &tk::MenuItem::Click, [&](std::int16_t i) { indexes.push_back(i); });
    item.trigger();
    EXPECT_TRUE(item.Checked());
    EXPECT_EQ(indexes, std::vector<int>{3});
    item.setChecked(false);
    item.trigger();
    EXPECT_FALSE(item.Checked());
}

TEST(Guard, ErrorAbandonsTheHandlerAndIsReported)
{
    int before = 0, after = 0;
    tk::guarded([&] {
        ++before;
        tk::Divide(1, 0);
        ++after;
    });
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 0);
    const auto reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrDivisionByZero);
    EXPECT_EQ(reports[0].description, "Division by zero");
    EXPECT_EQ(tk::handlerDepth(), 0);

    tk::guarded([] { throw std::runtime_error("boom"); });
    const auto other = testing_support::takeReports();
    ASSERT_EQ(other.size(), 1u);
    EXPECT_TRUE(other[0].description.contains("boom"));
}

TEST(Guard, HandleConnectsThroughTheGuard)
{
    struct Window : tk::Form {
        Window() : tk::Form("W") {}
        int runs = 0;
        void fail()
        {
            ++runs;
            tk::raiseOverflow();
        }
    } w;
    auto* b = new tk::CommandButton("&X", w.client());
    tk::Handle(b, &tk::CommandButton::Click, &w, &Window::fail);
    b->click();
    b->click();
    EXPECT_EQ(w.runs, 2);
    EXPECT_EQ(testing_support::takeReports().size(), 2u);
}

// A busy pointer reaches the window, and the window system, at once: inside
// the handler that asked for it, without any turn of event processing. The
// way back to the default shape waits until no busy shape has been asked for
// during the hold time, so a run of short traces shows one steady hourglass.
TEST(Form, BusyPointerIsShownAtOnceAndHeldBriefly)
{
    tk::Form w("W");
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_NE(w.windowHandle(), nullptr);

    w.setMousePointer(11);
    EXPECT_EQ(w.MousePointer(), 11);
    EXPECT_EQ(w.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(w.windowHandle()->cursor().shape(), Qt::WaitCursor) << "told the window system";

    QElapsedTimer sinceLastBusy;
    for (int trace = 0; trace < 100; ++trace) {
        w.setMousePointer(0);
        w.setMousePointer(11);
        sinceLastBusy.start();
        w.setMousePointer(0);
    }
    EXPECT_EQ(w.MousePointer(), 0);
    EXPECT_EQ(w.cursor().shape(), Qt::WaitCursor) << "held, not flickering";
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.cursor().shape() == Qt::ArrowCursor; }, 5000));
    EXPECT_GE(sinceLastBusy.elapsed(), tk::Form::PointerHoldMs);
    EXPECT_EQ(w.windowHandle()->cursor().shape(), Qt::ArrowCursor);

    // Busy again after the default has been shown: at once again.
    w.setMousePointer(11);
    EXPECT_EQ(w.windowHandle()->cursor().shape(), Qt::WaitCursor);
}

} // namespace
