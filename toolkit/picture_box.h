// The canvas: a persistent image that is exactly what the widget paints,
// drawn into by pixel and by line (copy or XOR pen, solid or dashed), over a
// background picture that drawing never alters. Positions are device pixels.
#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

#include <cstdint>

namespace tk {

class PictureBox : public QWidget {
    Q_OBJECT
public:
    enum DrawModes { XorPen = 7, CopyPen = 13 };
    enum DrawStyles { Solid = 0, Dashed = 1 };

    explicit PictureBox(QWidget* parent);

    int Left() const;
    int Top() const;
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    void setLeft(int px);
    void setTop(int px);
    // Resizing keeps what is drawn; new area shows the background.
    void setWidth(int px);
    void setHeight(int px);

    void setMousePointer(int shape);
    int DrawMode() const { return drawMode_; }
    void setDrawMode(int mode) { drawMode_ = mode; }
    int DrawStyle() const { return drawStyle_; }
    void setDrawStyle(int style) { drawStyle_ = style; }
    std::int32_t ForeColor() const { return foreColor_; }
    void setForeColor(std::int32_t colour) { foreColor_ = colour; }
    std::int32_t BackColor() const { return backColor_; }
    void setBackColor(std::int32_t colour) { backColor_ = colour; }

    // Erases all drawing down to the background colour and picture.
    void Cls();
    // Erases as Cls does, but the erased canvas reaches the screen at the
    // next Refresh rather than by itself: for a pass that draws rows over all
    // of it and refreshes as it goes, so that a quick pass paints the canvas
    // once, not twice.
    void ClsUntilRefresh();
    // Sets one pixel; positions off the canvas are ignored.
    void PSet(int x, int y, std::int32_t colour)
    {
        if (unsigned(x) < unsigned(image_.width()) && unsigned(y) < unsigned(image_.height())) {
            reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = toRgb(colour);
            markDirty(QRect(x, y, 1, 1));
        }
    }
    // The scan line of row y for a caller that writes a whole row of pixels
    // (QRgb values, see toRgb) at once; n is cut to the canvas's width. The
    // row reaches the screen at the next Refresh, with no flush queued for
    // it (or with whatever else is drawn before then). Null when y is off
    // the canvas or n is not positive.
    QRgb* RowForRefresh(int y, int& n);
    // A line in the foreground colour with the current pen and style, from
    // (x1, y1) up to but not including (x2, y2). Drawing the same line twice
    // with the XOR pen restores every pixel.
    void Line(float x1, float y1, float x2, float y2);
    // Makes what was drawn since the last refresh visible now.
    void Refresh();

    // The background picture (null when none).
    const QImage& Picture() const { return picture_; }
    // Sets the background picture; the canvas shows it at once, and drawing
    // made before is gone.
    void setPicture(const QImage& picture);

    // What the canvas shows, one image pixel per device pixel.
    const QImage& image() const { return image_; }
    // Colour of one pixel as red + 256 * green + 65536 * blue.
    std::int32_t Point(int x, int y) const;

    static QRgb toRgb(std::int32_t colour)
    {
        return qRgb(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff);
    }

signals:
    void MouseDown(std::int16_t Button, std::int16_t Shift, float x, float y);
    void MouseMove(std::int16_t Button, std::int16_t Shift, float x, float y);
    void MouseUp(std::int16_t Button, std::int16_t Shift, float x, float y);

protected:
    void paintEvent(QPaintEvent* event) override;
    // The canvas looks the same with focus and without: no repaint of all of
    // it when focus comes or goes (every pass takes the focus).
    void focusInEvent(QFocusEvent*) override {}
    void focusOutEvent(QFocusEvent*) override {}
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void resizeImage(int width, int height);
    // Drawing other than RowForRefresh's rows is flushed by itself, even
    // when such a row is still waiting for its Refresh.
    void markDirty(const QRect& r)
    {
        scheduleFlush();
        dirty_ |= r;
    }
    void scheduleFlush();
    void flushDirty();
    void erase();
    QRect toLogicalRect(const QRect& r) const;

    QImage image_;
    QImage picture_;
    QRect dirty_;
    bool flushPending_ = false;
    int drawMode_ = CopyPen;
    int drawStyle_ = Solid;
    std::int32_t foreColor_ = 0xffffff;
    std::int32_t backColor_ = 0xffffff;
};

} // namespace tk
