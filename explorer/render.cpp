// The render pass: "&Go"/"Re&start", the row-by-row pass and the boundary
// trace. The pass yields once per row (tk::DoEvents), and any handler may run
// there, including a new pass that re-creates the grids under this one; so
// nothing here holds a reference into the grids across that yield.
#include "form1.h"

#include "toolkit/events.h"
#include "toolkit/runtime_error.h"

namespace explorer {

void Form1::Command1_Click()
{
    CenterDrag = False;
    CornerBox = False;
    CenterBox = False;
    Running = True;
    Picture1->setMousePointer(12);
    Command1->setCaption(QStringLiteral("Re&start"));
    Command2->setCaption(QStringLiteral("&Pause"));
    try {
        DoIt();
    } catch (...) {
        // A pass ended by an error must not leave the window in a running
        // state that refuses every zoom: back to Idle, then report.
        setMousePointer(0);
        Command1->setCaption(QStringLiteral("&Go"));
        Running = False;
        Picture1->setMousePointer(2);
        throw;
    }
    Command1->setCaption(QStringLiteral("&Go"));
    Running = False;
    Picture1->setMousePointer(2);
}

void Form1::DoIt()
{
    LevelGrid.recreate(LastCol + 1, LastRow + 1);
    DoneGrid.recreate(LastCol + 1, LastRow + 1);
    XValues.assign(std::size_t(LastCol) + 1, 0.0);
    YValues.assign(std::size_t(LastRow) + 1, 0.0);

    Picture1->setFocus();
    Picture1->Cls();

    const double dx = tk::Divide(tk::CheckFloat(XMax - XMin), LastCol);
    const double dy = tk::Divide(tk::CheckFloat(YMin - YMax), LastRow);

    // Repeated addition, not i * step: the plane values are defined by the
    // running sum and its roundings.
    double t = YMax;
    for (std::int32_t row = 0, last = LastRow; row <= last; ++row) {
        YValues[std::size_t(row)] = t;
        t = tk::CheckFloat(t + dy);
    }
    double u = XMin;
    for (std::int32_t col = 0, last = LastCol; col <= last; ++col) {
        XValues[std::size_t(col)] = u;
        u = tk::CheckFloat(u + dx);
    }

    const std::int32_t lastRow = LastRow;
    for (std::int32_t row = 0; row <= lastRow; ++row) {
        const std::int32_t lastCol = LastCol;
        for (std::int32_t col = 0; col <= lastCol; ++col) {
            if (DoneGrid(col, row) == 0 && ZelmarPoint(col, row) == 0)
                TraceSet(col, row);
        }
        for (std::int32_t col = 0; col <= lastCol; ++col)
            Picture1->PSet(col, row, Palette[LevelGrid(col, row)]);
        tk::DoEvents();
        Picture1->Refresh();
    }
}

void Form1::TraceSet(std::int32_t StartX, std::int32_t StartY)
{
    setMousePointer(11);

    std::int32_t x = StartX, y = StartY;
    std::int32_t d = 7;
    std::int32_t leftmost = StartX, rightmost = StartX, lowest = StartY;

    // The walk is a fixed function of position and direction over levels
    // that do not change while it runs, so more moves than there are
    // (pixel, direction) states means it is circling without ever reaching
    // the start again: stop rather than hang the window.
    const std::int64_t moveLimit = std::int64_t(PicW) * PicH * 8 + 8;
    std::int64_t moves = 0;
    do {
        std::int32_t nx = x, ny = y, level = 1;
        for (int tries = 0; tries < 8 && level != 0; ++tries) {
            d = (d + 1) & 7;
            nx = x + DirTable[d];
            ny = y + DirTable[d + 6];
            if (GetFlag(nx, ny) == 0)
                ZelmarPoint(nx, ny);
            level = GetPixel(nx, ny);
        }
        if (level == 0) {
            x = nx < 0 ? 0 : (nx >= PicW ? LastCol : nx);
            y = ny < 0 ? 0 : (ny >= PicH ? LastRow : ny);
            lowest = std::max(lowest, y);
            leftmost = std::min(leftmost, x);
            rightmost = std::max(rightmost, x);
            d = (d - 4) & 7;
        }
        if (++moves > moveLimit) [[unlikely]]
            throw tk::RuntimeError(tk::ErrInvalidCall,
                                   QStringLiteral("The boundary trace did not close."));
    } while (!(x == StartX && y == StartY));

    // Fill: runs start at a done pixel of level 0 and pass through pending
    // pixels, marking them as in the set. A run stops at the rightmost column
    // reached by the walk; the pixel beyond it is left pending, to be
    // evaluated, rather than marked without being looked at.
    for (std::int32_t r = StartY; r <= lowest; ++r) {
        std::int32_t k = leftmost - 1;
        for (;;) {
            std::int32_t t;
            do {
                ++k;
                t = GetFlag(k, r) == 1 ? GetPixel(k, r) : 255;
            } while (t != 0 && k <= rightmost);
            if (k > rightmost)
                break;
            std::int32_t v = 0;
            while (v == 0) {
                ++k;
                if (k > rightmost)
                    break;
                if (GetFlag(k, r) == 0)
                    DoneGrid(k, r) = 1;
                v = GetPixel(k, r);
            }
            if (k > rightmost)
                break;
        }
    }

    setMousePointer(0);
}

} // namespace explorer
