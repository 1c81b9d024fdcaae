// Start-up on a given screen: canvas size, control positions, the window
// fitting the screen, the six start texts and the palette. ctest runs this
// binary once per simulated screen (EXPECT_SCREEN names the screen the
// offscreen platform was given); a screen with no expectations here fails.
#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QFontMetrics>
#include <QScrollArea>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "explorer/field_room.h"
#include "explorer/form1.h"

namespace {

struct Expected {
    const char* screen;
    int screenW, screenH, lastCol, lastRow, buttonLeft, fieldLeft;
    // Screen pixels per pixel of a standard screen: the button tops are
    // 240, 180 and 120 of these above the bottom.
    int unit;
    // Whether every control shows in the maximised window without scrolling.
    bool allOnScreen;
};

const Expected table[] = {
    {"1024x768", 1024, 768, 767, 575, 856, 840, 1, true},
    {"800x600", 800, 600, 599, 449, 660, 644, 1, true},
    {"1280x1024", 1280, 1024, 1023, 767, 1112, 1096, 1, true},
    // Taller than wide: the strip offsets are negative and truncate toward
    // zero (-335 / 2 = -167). The canvas reaches past the right edge and the
    // buttons and fields lie beyond it, to be scrolled to.
    {"745x1000", 745, 1000, 999, 749, 1000 - 167, 1000 - 183, 1, false},
    // A high-DPI screen: a pixel is a device pixel, so the canvas has one
    // image pixel per screen pixel. Buttons and fields are twice as many
    // pixels in size, and so are the offsets that centre and stack them
    // (buttons 160 wide, fields 224: 1536 + 176 and 1536 + 144).
    {"1024x768-dpr2", 2048, 1536, 1535, 1151, 1712, 1680, 2, true},
};

const Expected* expectedScreen()
{
    const char* name = std::getenv("EXPECT_SCREEN");
    for (const Expected& e : table)
        if (name && std::string(name) == e.screen)
            return &e;
    return nullptr;
}

// Every case here needs a screen it knows: one it has no expectations for is
// a failure, not a silent pass.
#define REQUIRE_KNOWN_SCREEN(e)                                                                    \
    const Expected* e = expectedScreen();                                                          \
    ASSERT_NE(e, nullptr) << "no expectations for the screen EXPECT_SCREEN="                       \
                          << (std::getenv("EXPECT_SCREEN") ? std::getenv("EXPECT_SCREEN") : "")    \
                          << "; ctest runs this with a simulated screen from tests/screens"

TEST(StartUp, LayoutForTheScreen)
{
    REQUIRE_KNOWN_SCREEN(e);
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_EQ(screen->geometry().size() * screen->devicePixelRatio(),
              QSize(e->screenW, e->screenH));

    explorer::Form1 form;
    form.Form_Load();
    EXPECT_EQ(form.ScreenW, e->screenW);
    EXPECT_EQ(form.ScreenH, e->screenH);
    EXPECT_EQ(form.LastCol, e->lastCol);
    EXPECT_EQ(form.LastRow, e->lastRow);
    EXPECT_EQ(form.PicW, e->lastCol + 1);
    EXPECT_EQ(form.PicH, e->lastRow + 1);
    EXPECT_EQ(form.Picture1->Width(), e->screenH);
    EXPECT_EQ(form.Picture1->Height(), 3 * e->screenH / 4);
    EXPECT_EQ(form.Picture1->Left(), 0);
    EXPECT_EQ(form.Picture1->Top(), 0);

    const int tops[] = {e->screenH - 240 * e->unit, e->screenH - 180 * e->unit,
                        e->screenH - 120 * e->unit};
    const tk::CommandButton* buttons[] = {form.Command1, form.Command2, form.Command3};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i]->Left(), e->buttonLeft) << "Command" << i + 1;
        EXPECT_EQ(buttons[i]->Top(), tops[i]) << "Command" << i + 1;
        EXPECT_EQ(buttons[i]->Width(), 80 * screen->devicePixelRatio());
        EXPECT_EQ(buttons[i]->Height(), 40 * screen->devicePixelRatio());
    }
    // Field tops stay as designed: pairs 450 twips apart, 600 between pairs.
    const int fieldTops[] = {10, 40, 80, 110, 150, 180};
    const int dpr = int(screen->devicePixelRatio());
    const tk::TextBox* fields[] = {form.Text1, form.Text2, form.Text3,
                                   form.Text4, form.Text5, form.Text6};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(fields[i]->Left(), e->fieldLeft) << "Text" << i + 1;
        EXPECT_EQ(fields[i]->Top(), fieldTops[i] * dpr) << "Text" << i + 1;
    }
}

std::vector<QWidget*> controlsOf(const explorer::Form1& form)
{
    return {form.Picture1, form.Command1, form.Command2, form.Command3, form.Text1,
            form.Text2,    form.Text3,    form.Text4,    form.Text5,    form.Text6};
}

std::string nameOf(const QWidget* control)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text().toStdString();
    return control->accessibleName().toStdString();
}

// Shown as at start-up (maximised), the window lies inside the screen's free
// area, and each control is wholly visible: inside the window and not cut
// off by its edges. Where the layout is wider than the screen, each button
// and field can still be scrolled into full view.
TEST(StartUp, WindowFitsTheScreenWithEveryControlOnIt)
{
    REQUIRE_KNOWN_SCREEN(e);
    explorer::Form1 form;
    form.Form_Load();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QApplication::processEvents();

    // The size the window is restored to is at least its minimum size: were
    // it less, the window would be resized once shown, and a window manager
    // that has maximised it takes that resize as un-maximising it.
    const QSize restored = form.normalGeometry().size();
    EXPECT_LE(form.minimumSize().width(), restored.width());
    EXPECT_LE(form.minimumSize().height(), restored.height());

    const QScreen* screen = form.screen();
    const QRect free = screen->availableGeometry();
    EXPECT_TRUE(form.isMaximized());
    EXPECT_TRUE(free.contains(form.frameGeometry()))
        << "frame " << form.frameGeometry().x() << "," << form.frameGeometry().y() << " "
        << form.frameGeometry().width() << "x" << form.frameGeometry().height() << " on "
        << free.width() << "x" << free.height();
    EXPECT_LE(form.minimumSizeHint().width(), free.width());
    EXPECT_LE(form.minimumSizeHint().height(), free.height());

    const QRect window = form.rect();
    for (QWidget* control : controlsOf(form)) {
        const QRect inWindow(control->mapTo(&form, QPoint(0, 0)), control->size());
        const bool whole = control->visibleRegion() == QRegion(control->rect());
        if (e->allOnScreen) {
            EXPECT_TRUE(window.contains(inWindow)) << nameOf(control) << " lies outside the window";
            EXPECT_TRUE(whole) << nameOf(control) << " is cut off";
        }
    }
    if (e->allOnScreen)
        return;
    auto* area = qobject_cast<QScrollArea*>(form.centralWidget());
    ASSERT_NE(area, nullptr);
    for (QWidget* control : controlsOf(form)) {
        if (control == form.Picture1)
            continue; // wider than the screen: it cannot show whole
        // Scrolled to as a whole (a text box by itself would only bring
        // its caret into view).
        const QPoint centre = control->mapTo(area->widget(), control->rect().center());
        area->ensureVisible(centre.x(), centre.y(), control->width() / 2 + 1,
                            control->height() / 2 + 1);
        QApplication::processEvents();
        EXPECT_EQ(control->visibleRegion(), QRegion(control->rect()))
            << nameOf(control) << " cannot be scrolled into view";
    }
}

// The fields take the room to their right: on screens of 1024 x 768 and
// more every number shows whole in the window's font; on smaller ones the
// font shrinks so that it still does, exponent included. Their left edges
// stay where the layout puts them.
TEST(StartUp, FieldsShowTheirWholeNumbers)
{
    REQUIRE_KNOWN_SCREEN(e);
    explorer::Form1 form;
    form.Form_Load();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const int dpr = int(QGuiApplication::primaryScreen()->devicePixelRatio());
    for (tk::TextBox* box :
         {form.Text1, form.Text2, form.Text3, form.Text4, form.Text5, form.Text6}) {
        EXPECT_EQ(box->Left(), e->fieldLeft);
        // A screen taller than wide puts the fields beyond it, at their
        // designed width; there the smallest font still cuts the longest
        // numbers by a few pixels (the tooltip shows them whole).
        for (const bool exponent : {false, true}) {
            if (!e->allOnScreen)
                break;
            // The ink of the text against the room QLineEdit gives it: its
            // contents less the frame, two pixels either side and one for
            // the caret.
            const QString text = explorer::LongestFieldText(exponent);
            const QFontMetrics metrics(box->font());
            const QRect ink = metrics.boundingRect(text);
            const int extent = std::max(metrics.horizontalAdvance(text), ink.right() + 1) -
                               std::min(0, ink.left());
            const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
            EXPECT_LE(extent, box->contentsRect().width() - 2 * frame - 2 * 2 - 1)
                << nameOf(box) << " cuts " << text.toStdString();
        }
        if (e->allOnScreen) {
            EXPECT_LE(box->x() + box->width(), form.client()->width()) << nameOf(box);
        }
        if (e->screenW / dpr >= 1024) {
            EXPECT_EQ(box->font().pointSizeF(), form.client()->font().pointSizeF())
                << nameOf(box) << " has a smaller font";
        }
    }
}

TEST(StartUp, StateAndTexts)
{
    explorer::Form1 form;
    form.Form_Load();
    EXPECT_EQ(form.windowTitle(), "Brenn's Tolv Quenfeld Program");
    EXPECT_EQ(form.Text1->Text(), "-4");
    EXPECT_EQ(form.Text2->Text(), " 4");
    EXPECT_EQ(form.Text3->Text(), "-3");
    EXPECT_EQ(form.Text4->Text(), " 3");
    EXPECT_EQ(form.Text5->Text(), " 8");
    EXPECT_EQ(form.Text6->Text(), " 6");
    EXPECT_EQ(form.FieldsStale, explorer::False);
    EXPECT_EQ(form.KeepRatio, explorer::True);
    EXPECT_EQ(form.Running, explorer::False);
    EXPECT_TRUE(form.RatioCheck->Checked());
    EXPECT_EQ(form.RatioCheck->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_EQ(form.MaxIter, 256);
    EXPECT_EQ(form.ColorCycle, 255);
    EXPECT_EQ(form.Command1->Caption(), "&Go");
    EXPECT_EQ(form.Command2->Caption(), "&Pause");
    EXPECT_EQ(form.Command3->Caption(), "E&xit");
    EXPECT_TRUE(form.LevelGrid.empty()) << "no pass runs at start-up";
}

TEST(StartUp, UpdateXYDoesNothingWhenFieldsAreCurrent)
{
    explorer::Form1 form;
    form.Form_Load();
    form.XMin = -1;
    form.UpdateXY();
    EXPECT_EQ(form.Text1->Text(), "-4");
    form.FieldsStale = explorer::True;
    form.UpdateXY();
    EXPECT_EQ(form.Text1->Text(), "-1");
    EXPECT_EQ(form.Text5->Text(), " 5");
    EXPECT_EQ(form.FieldsStale, explorer::False);
}

} // namespace
