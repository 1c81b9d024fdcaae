// Helpers for the interaction tests: running code inside the next yield of a
// pass or a pause, mouse events on the canvas as the platform delivers them,
// keys and focus changes on the fields, and reading the window's state.
#pragma once

#include <QApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>

#include "explorer/form1.h"
#include "reference_render.h"

namespace testing_support {

// Runs `f` the next time events are processed: inside the running pass's
// yield after its current row, or inside a pause's wait.
inline void atNextYield(explorer::Form1& form, std::function<void()> f)
{
    QTimer::singleShot(0, &form, std::move(f));
}

inline void sendMouse(explorer::Form1& form, QEvent::Type type, Qt::MouseButton button,
                      Qt::MouseButtons held, QPointF pos)
{
    QMouseEvent event(type, pos, form.Picture1->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(form.Picture1, &event);
}

inline void press(explorer::Form1& form, Qt::MouseButton button, QPointF pos)
{
    sendMouse(form, QEvent::MouseButtonPress, button, button, pos);
}

inline void move(explorer::Form1& form, Qt::MouseButtons held, QPointF pos)
{
    sendMouse(form, QEvent::MouseMove, Qt::NoButton, held, pos);
}

inline void release(explorer::Form1& form, Qt::MouseButton button, QPointF pos)
{
    sendMouse(form, QEvent::MouseButtonRelease, button, Qt::NoButton, pos);
}

// A whole drag: press at `from`, move through `via`, release at the last point.
inline void drag(explorer::Form1& form, Qt::MouseButton button, QPointF from,
                 std::initializer_list<QPointF> via)
{
    press(form, button, from);
    QPointF last = from;
    for (const QPointF& p : via) {
        move(form, button, p);
        last = p;
    }
    release(form, button, last);
}

inline void focusIn(QWidget* w, Qt::FocusReason reason = Qt::MouseFocusReason)
{
    QFocusEvent event(QEvent::FocusIn, reason);
    QApplication::sendEvent(w, &event);
}

inline void focusOut(QWidget* w, Qt::FocusReason reason = Qt::TabFocusReason)
{
    QFocusEvent event(QEvent::FocusOut, reason);
    QApplication::sendEvent(w, &event);
}

// Enters a field as the user does (its text gets selected) and types.
inline void typeInto(tk::TextBox* box, const QString& keys)
{
    focusIn(box);
    QTest::keyClicks(box, keys);
}

inline QStringList fieldTexts(const explorer::Form1& form)
{
    return {form.Text1->Text(), form.Text2->Text(), form.Text3->Text(),
            form.Text4->Text(), form.Text5->Text(), form.Text6->Text()};
}

struct Bounds {
    double xMin, xMax, yMin, yMax;
    bool operator==(const Bounds&) const = default;
};

inline Bounds bounds(const explorer::Form1& form)
{
    return {form.XMin, form.XMax, form.YMin, form.YMax};
}

inline std::ostream& operator<<(std::ostream& os, const Bounds& b)
{
    return os << "x " << b.xMin << " .. " << b.xMax << ", y " << b.yMin << " .. " << b.yMax;
}

// How many rows from the top show the reference picture of the view; a
// pass that has plotted rows 0..r-1 gives r.
inline int plottedRows(const explorer::Form1& form, const reference::Picture& ref)
{
    int rows = 0;
    for (int r = 0; r < ref.height; ++r) {
        for (int c = 0; c < ref.width; ++c)
            if (form.Picture1->Point(c, r) != ref.colour[std::size_t(r) * ref.width + c])
                return rows;
        ++rows;
    }
    return rows;
}

inline bool showsReference(const explorer::Form1& form, const reference::Picture& ref)
{
    return plottedRows(form, ref) == ref.height;
}

} // namespace testing_support
