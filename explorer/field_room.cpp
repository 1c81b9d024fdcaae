// Field widths from the room beside them, and Enter in a field.
#include "field_room.h"

#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <cmath>

#include "form1.h"
#include "toolkit/units.h"

namespace explorer {

namespace {

constexpr int RightMargin = 6; // logical pixels for the window frame at the screen's edge
constexpr double SmallestPointSize = 6.0;

// The pixels a line edit takes beside `text`: frame, margins, the two
// pixels QLineEdit keeps clear either side, the caret, and the ink of the
// text's first and last glyphs beyond their advance.
int besideText(const tk::TextBox* box, const QFontMetrics& metrics, const QString& text)
{
    QStyleOptionFrame option;
    option.initFrom(box);
    option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    const QRect contents = box->style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, box)
                               .marginsRemoved(box->textMargins());
    const int overhang = std::max(0, -metrics.leftBearing(text.front())) +
                         std::max(0, -metrics.rightBearing(text.back()));
    // Two pixels of slack: styles differ in how much of the frame they draw.
    return box->width() - contents.width() + 2 * 2 + 1 + overhang + 2;
}

int neededWidth(const tk::TextBox* box, const QFont& font)
{
    const QFontMetrics metrics(font);
    int need = 0;
    for (const bool exponent : {false, true}) {
        const QString text = LongestFieldText(exponent);
        need = std::max(need, metrics.horizontalAdvance(text) + besideText(box, metrics, text));
    }
    return need;
}

} // namespace

QString LongestFieldText(bool exponent)
{
    return exponent ? QStringLiteral("-8.88888888888888E-308")
                    : QStringLiteral("-0.0000888888888888888");
}

void FitFieldsToRoom(Form1& form)
{
    const int screenRight = tk::toLogical(form.ScreenW) - RightMargin;
    for (tk::TextBox* box :
         {form.Text1, form.Text2, form.Text3, form.Text4, form.Text5, form.Text6}) {
        // The designed width is the least a field takes.
        const int designed = tk::toLogical(int(std::lround(tk::ScaleX(1680))));
        QFont font = form.client()->font();
        const int need = neededWidth(box, font);
        const int room = screenRight - box->x();
        const int width = std::max(designed, std::min(need, room));
        if (need > width && font.pointSizeF() > 0) {
            // Too narrow still: a smaller font, in steps, until it fits.
            while (neededWidth(box, font) > width && font.pointSizeF() > SmallestPointSize)
                font.setPointSizeF(std::max(SmallestPointSize, font.pointSizeF() - 0.5));
            box->setFont(font);
        } else {
            box->setFont(QFont()); // the window's own
        }
        box->resize(width, box->height());
    }
}

FieldEnter::FieldEnter(Form1& form) : QObject(&form), form_(form)
{
    for (tk::TextBox* box :
         {form.Text1, form.Text2, form.Text3, form.Text4, form.Text5, form.Text6})
        connect(box, &QLineEdit::returnPressed, this, [this] {
            tk::guarded([this] {
                form_.UpdateXY();
                form_.Command1_Click();
            });
        });
}

} // namespace explorer
