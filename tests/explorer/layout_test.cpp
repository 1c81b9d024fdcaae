// Start-up on a given screen: canvas size, control positions, the six start
// texts and the palette. ctest runs this binary once per simulated screen
// (EXPECT_SCREEN names the screen the offscreen platform was given).
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "explorer/form1.h"

namespace {

struct Expected {
    const char* screen;
    int screenW, screenH, lastCol, lastRow, buttonLeft, fieldLeft;
};

const Expected table[] = {
    {"1024x768", 1024, 768, 767, 575, 856, 840},
    {"800x600", 800, 600, 599, 449, 660, 644},
    // Taller than wide: the strip offsets are negative and truncate toward
    // zero (-335 / 2 = -167).
    {"745x1000", 745, 1000, 999, 749, 1000 - 167, 1000 - 183},
    // A high-DPI screen: a pixel is a device pixel, so the canvas has one
    // image pixel per screen pixel.
    {"1024x768-dpr2", 2048, 1536, 1535, 1151, 1752, 1736},
};

const Expected* expectedScreen()
{
    const char* name = std::getenv("EXPECT_SCREEN");
    for (const Expected& e : table)
        if (name && std::string(name) == e.screen)
            return &e;
    return nullptr;
}

TEST(StartUp, LayoutForTheScreen)
{
    const Expected* e = expectedScreen();
    if (!e)
        GTEST_SKIP() << "run by ctest with a simulated screen";
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

    const int tops[] = {e->screenH - 240, e->screenH - 180, e->screenH - 120};
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

TEST(StartUp, StateTextsAndPalette)
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

    const std::int32_t dirs[16] = {1, 1, 0, -1, -1, -1, 0, 1, 1, 1, 0, -1, -1, -1, 0, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(form.DirTable[i], dirs[i]);

    EXPECT_EQ(form.Palette[0], 0);
    EXPECT_EQ(form.Palette[1], 16711680);
    EXPECT_EQ(form.Palette[32], 69 * 65536);
    EXPECT_EQ(form.Palette[33], 255 * 256 + 255 * 65536);
    EXPECT_EQ(form.Palette[64], 69 * 256 + 69 * 65536);
    EXPECT_EQ(form.Palette[65], 255 * 256);
    EXPECT_EQ(form.Palette[97], 255 + 255 * 256);
    EXPECT_EQ(form.Palette[129], 255);
    EXPECT_EQ(form.Palette[161], 255 + 255 * 65536);
    EXPECT_EQ(form.Palette[192], 69 + 69 * 65536);
    EXPECT_EQ(form.Palette[193], 65793);
    EXPECT_EQ(form.Palette[255], 63 * 65793);
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
