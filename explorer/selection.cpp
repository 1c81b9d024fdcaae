// Zoom selection with the mouse: the rubber band and the view it frames.
// These handlers run at the top level or nested in a paused pass's wait; a
// press or release during a running, unpaused pass is ignored.
#include "form1.h"

#include "toolkit/numbers.h"
#include "toolkit/runtime_error.h"

namespace explorer {

namespace {

// Presses and releases count only when no pass runs or the pass is paused.
bool acceptsSelection(const Form1& form)
{
    return !(form.Running == True && form.Command2->Caption() != QLatin1String("&Resume"));
}

// 2 * anchor - point: the mirror image of a point through the anchor.
std::int32_t mirror(std::int32_t anchor, std::int32_t point)
{
    const std::int64_t v = 2 * std::int64_t(anchor) - point;
    if (v < INT32_MIN || v > INT32_MAX)
        tk::raiseOverflow();
    return std::int32_t(v);
}

} // namespace

// Works out the opposite corner of the rectangle on the canvas into BoxX,
// BoxY, erases the rectangle with the XOR pen already set, and puts back the
// view that the canvas shows.
void Form1::eraseBoxAndRestoreView()
{
    if (CornerBox != False) {
        BoxX = AnchorX;
        BoxY = AnchorY;
    } else {
        BoxX = mirror(AnchorX, CurX);
        BoxY = mirror(AnchorY, CurY);
    }
    drawBox(float(BoxX), float(BoxY), float(CurX), float(CurY));
    XMin = SavedXMin;
    XMax = SavedXMax;
    YMin = SavedYMin;
    YMax = SavedYMax;
    Deep.restoreSelection(*this);
}

// The rectangle from its opposite corner (x1, y1) to its moving corner
// (x2, y2), always with the same four segments in the same directions, so
// that drawing it again with the XOR pen restores every pixel.
void Form1::drawBox(float x1, float y1, float x2, float y2)
{
    Picture1->Line(x1, y1, x2, y1);
    Picture1->Line(x1, y2, x2, y2);
    Picture1->Line(x1, y1, x1, y2);
    Picture1->Line(x2, y1, x2, y2);
}

void Form1::Picture1_MouseDown(std::int16_t Button, std::int16_t /*Shift*/, float x, float y)
{
    if ((Button & 3) == 0)
        return;
    if (!acceptsSelection(*this))
        return;
    Picture1->setDrawMode(tk::PictureBox::XorPen);
    Picture1->setDrawStyle(tk::PictureBox::Dashed);

    if (CornerBox != False || CenterBox != False) {
        // A new selection is measured against the picture on the canvas,
        // not against the view the last one framed.
        eraseBoxAndRestoreView();
        FieldsStale = True;
        UpdateXY();
    } else {
        SavedXMin = XMin;
        SavedXMax = XMax;
        SavedYMin = YMin;
        SavedYMax = YMax;
        Deep.saveForSelection(*this);
    }

    if (Button & 1) {
        CornerBox = True;
        CornerDrag = True;
        CenterBox = False;
        CenterDrag = False;
    } else {
        CenterBox = True;
        CornerBox = False;
        CornerDrag = False;
        CenterDrag = True;
    }
    Picture1->setMousePointer(tk::PointerArrowHourglass);
    AnchorX = tk::RoundToInt32(x);
    AnchorY = tk::RoundToInt32(y);
    CurX = AnchorX;
    CurY = AnchorY;
}

void Form1::Picture1_MouseMove(std::int16_t /*Button*/, std::int16_t /*Shift*/, float x, float y)
{
    if (CornerDrag == False && CenterDrag == False)
        return;
    if (CenterDrag != False) {
        drawBox(float(mirror(AnchorX, CurX)), float(mirror(AnchorY, CurY)), float(CurX),
                float(CurY));
        const std::int32_t oppX = tk::RoundToInt32(tk::CheckFloat(2.0 * AnchorX - double(x)));
        const std::int32_t oppY = tk::RoundToInt32(tk::CheckFloat(2.0 * AnchorY - double(y)));
        drawBox(float(oppX), float(oppY), x, y);
        CurX = tk::RoundToInt32(x);
        CurY = tk::RoundToInt32(y);
    }
    if (CornerDrag != False) {
        drawBox(float(AnchorX), float(AnchorY), float(CurX), float(CurY));
        drawBox(float(AnchorX), float(AnchorY), x, y);
        CurX = tk::RoundToInt32(x);
        CurY = tk::RoundToInt32(y);
    }
}

void Form1::Picture1_MouseUp(std::int16_t Button, std::int16_t /*Shift*/, float x, float y)
{
    // The release of the button that did not start the drag changes nothing.
    if (((Button & 1) && CornerDrag == False) || ((Button & 2) && CenterDrag == False))
        return;
    if (!acceptsSelection(*this))
        return;
    if (CornerDrag == False && CenterDrag == False)
        return;

    std::int32_t left = 0, right = 0, top = 0, bottom = 0;
    if (CenterDrag != False) {
        CenterDrag = False;
        EndX = tk::RoundToInt32(x);
        EndY = tk::RoundToInt32(y);
        if (EndX < AnchorX) {
            left = EndX;
            right = mirror(AnchorX, EndX);
        } else {
            right = EndX;
            left = mirror(AnchorX, EndX);
        }
        if (EndY < AnchorY) {
            top = EndY;
            bottom = mirror(AnchorY, EndY);
        } else {
            bottom = EndY;
            top = mirror(AnchorY, EndY);
        }
    }
    if (CornerDrag != False) {
        CornerDrag = False;
        EndX = tk::RoundToInt32(x);
        EndY = tk::RoundToInt32(y);
        left = std::min(EndX, AnchorX);
        right = std::max(EndX, AnchorX);
        top = std::min(EndY, AnchorY);
        bottom = std::max(EndY, AnchorY);
    }
    FieldsStale = True;

    // The inverse of the pass's pixel mapping (column i shows XMin + i * dx,
    // row j shows YMax + j * dy), all four from the bounds before the
    // release, so the edge pixels become the new first and last ones.
    // A deep view, or a band framing one, is worked out in MPFR.
    if (!Deep.selectionReleased(*this, left, right, top, bottom)) {
        const double dx = tk::Divide(tk::CheckFloat(XMax - XMin), LastCol);
        const double dy = tk::Divide(tk::CheckFloat(YMin - YMax), LastRow);
        const double newXMin = tk::CheckFloat(XMin + tk::CheckFloat(left * dx));
        const double newXMax = tk::CheckFloat(XMin + tk::CheckFloat(right * dx));
        const double newYMax = tk::CheckFloat(YMax + tk::CheckFloat(top * dy));
        const double newYMin = tk::CheckFloat(YMax + tk::CheckFloat(bottom * dy));
        XMin = newXMin;
        XMax = newXMax;
        YMax = newYMax;
        YMin = newYMin;
    }
    UpdateXY();

    Picture1->setMousePointer(tk::PointerCross);
    Picture1->setDrawMode(tk::PictureBox::CopyPen);
    Picture1->setDrawStyle(tk::PictureBox::Solid);
}

// Resuming a paused pass drops a pending selection: the rectangle goes and
// the bounds get back the view that the pass is drawing.
void Form1::CancelSelection()
{
    if (CornerBox == False && CenterBox == False)
        return;
    Picture1->setDrawMode(tk::PictureBox::XorPen);
    Picture1->setDrawStyle(tk::PictureBox::Dashed);
    eraseBoxAndRestoreView();
    // Back to the pen the resumed pass draws with.
    Picture1->setDrawMode(tk::PictureBox::CopyPen);
    Picture1->setDrawStyle(tk::PictureBox::Solid);
    CornerBox = False;
    CenterBox = False;
    FieldsStale = True;
    UpdateXY();
}

} // namespace explorer
