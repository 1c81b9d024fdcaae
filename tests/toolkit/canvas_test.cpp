// The canvas: pixels, XOR and dashed lines, clearing down to the picture.
#include <QImage>

#include <gtest/gtest.h>

#include "toolkit/numbers.h"
#include "toolkit/picture_box.h"

namespace {

struct Canvas : ::testing::Test {
    QWidget parent;
    tk::PictureBox* box = new tk::PictureBox(&parent);
    void SetUp() override
    {
        box->setBackColor(0xffffff);
        box->setWidth(40);
        box->setHeight(30);
        box->Cls();
    }
    QImage snapshot() const { return box->image().copy(); }
};

TEST_F(Canvas, PSetInsideAndIgnoredOutside)
{
    box->PSet(0, 0, tk::RGB(1, 2, 3));
    box->PSet(39, 29, tk::RGB(255, 0, 0));
    const QImage before = snapshot();
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {40, 0}, {0, 30}})
        box->PSet(x, y, 0);
    EXPECT_EQ(box->image(), before);
    EXPECT_EQ(box->Point(0, 0), tk::RGB(1, 2, 3));
    EXPECT_EQ(box->Point(39, 29), 255);
    EXPECT_EQ(box->Width(), 40);
    EXPECT_EQ(box->Height(), 30);
}

TEST_F(Canvas, XorLinesDrawnTwiceRestoreEveryPixel)
{
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 30; ++y)
            box->PSet(x, y, tk::RGB(x * 6, y * 8, (x ^ y) & 0xff));
    const QImage before = snapshot();
    box->setDrawMode(tk::PictureBox::XorPen);
    box->setDrawStyle(tk::PictureBox::Dashed);
    const float lines[][4] = {{3, 4, 35, 4},   {3, 25, 35, 25},   {3, 4, 3, 25},
                              {35, 4, 35, 25}, {-10, -5, 50, 40}, {20, 2, 7, 28}};
    for (const auto& l : lines)
        box->Line(l[0], l[1], l[2], l[3]);
    EXPECT_NE(box->image(), before);
    for (const auto& l : lines)
        box->Line(l[0], l[1], l[2], l[3]);
    EXPECT_EQ(box->image(), before);
}

TEST_F(Canvas, XorWithWhiteInvertsAndCopyPaints)
{
    box->PSet(5, 5, tk::RGB(10, 20, 30));
    box->setForeColor(0xffffff);
    box->setDrawMode(tk::PictureBox::XorPen);
    box->Line(5, 5, 6, 5); // one pixel: the end point is not drawn
    EXPECT_EQ(box->Point(5, 5), tk::RGB(245, 235, 225));
    EXPECT_EQ(box->Point(6, 5), 0xffffff) << "the end point is not drawn";
    box->setDrawMode(tk::PictureBox::CopyPen);
    box->setForeColor(tk::RGB(0, 0, 255));
    box->Line(0, 10, 10, 10);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(box->Point(x, 10), tk::RGB(0, 0, 255)) << x;
    EXPECT_EQ(box->Point(10, 10), 0xffffff);
}

TEST_F(Canvas, DashedLinesHaveGapsSolidOnesNone)
{
    box->setForeColor(0);
    box->setDrawStyle(tk::PictureBox::Dashed);
    box->Line(0, 1, 39, 1);
    box->setDrawStyle(tk::PictureBox::Solid);
    box->Line(0, 2, 39, 2);
    int dashInk = 0, solidInk = 0;
    for (int x = 0; x < 39; ++x) {
        dashInk += box->Point(x, 1) == 0;
        solidInk += box->Point(x, 2) == 0;
    }
    EXPECT_EQ(solidInk, 39);
    EXPECT_GT(dashInk, 10);
    EXPECT_LT(dashInk, 39);
}

TEST_F(Canvas, ClsErasesDrawingDownToThePicture)
{
    QImage picture(10, 8, QImage::Format_RGB32);
    picture.fill(qRgb(0, 128, 0));
    box->PSet(20, 20, 0);
    box->setPicture(picture);
    EXPECT_EQ(box->Point(20, 20), 0xffffff) << "setting a picture shows it over a clean canvas";
    EXPECT_EQ(box->Point(9, 7), tk::RGB(0, 128, 0));
    box->PSet(2, 2, 0);
    box->PSet(30, 2, 0);
    box->Cls();
    EXPECT_EQ(box->Point(2, 2), tk::RGB(0, 128, 0));
    EXPECT_EQ(box->Point(30, 2), 0xffffff);
    EXPECT_EQ(box->Picture().pixel(2, 2), qRgb(0, 128, 0)) << "drawing never alters the picture";
    EXPECT_EQ(box->Width(), 40) << "the canvas keeps its size";
}

TEST_F(Canvas, ResizeKeepsWhatIsDrawn)
{
    box->PSet(3, 3, 0);
    box->setWidth(80);
    box->setHeight(60);
    EXPECT_EQ(box->Point(3, 3), 0);
    EXPECT_EQ(box->Point(70, 50), 0xffffff);
}

} // namespace
