// The field labels: each is its field's buddy (so screen readers and the
// label agree), right-aligned in the gap between the canvas and the field.
#include "field_labels.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>

#include <algorithm>

#include "form1.h"

namespace explorer {

namespace {
constexpr int Gap = 4; // pixels between a label and its field
}

FieldLabels::FieldLabels(Form1& form) : QObject(&form), canvas_(form.Picture1)
{
    static const char* const captions[] = {"Left", "Right", "Bottom", "Top", "Width", "Height"};
    const tk::TextBox* fields[] = {form.Text1, form.Text2, form.Text3,
                                   form.Text4, form.Text5, form.Text6};
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        QWidget* field = const_cast<tk::TextBox*>(fields[i]);
        fields_[i] = field;
        labels_[i] = new QLabel(QString::fromLatin1(captions[i]), field->parentWidget());
        labels_[i]->setBuddy(field);
        labels_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        field->installEventFilter(this);
        labels_[i]->show();
    }
    form.Picture1->installEventFilter(this);
    place();
}

void FieldLabels::place()
{
    const auto& fields = fields_;
    const int canvasRight = canvas_->x() + canvas_->width();
    // On a small screen the gap is narrow (about 40 pixels at 800 x 600):
    // the labels then take a smaller font rather than being cut.
    const QFont base = canvas_->parentWidget()->font();
    int widest = 0;
    for (const QLabel* label : labels_)
        widest = std::max(widest, QFontMetrics(base).horizontalAdvance(label->text()));
    const int room = fields[0]->geometry().left() - Gap - (canvasRight + 2);
    QFont font = base;
    if (widest > room && room > 0 && base.pointSizeF() > 0)
        font.setPointSizeF(std::max(6.0, base.pointSizeF() * room / widest));
    for (QLabel* label : labels_)
        label->setFont(font);
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        const QRect f = fields[i]->geometry();
        const int wanted = labels_[i]->sizeHint().width();
        // Right of the canvas when there is room; a narrow gap cuts the
        // label rather than letting it cover the canvas.
        const int left = std::max(canvasRight + 2, f.left() - Gap - wanted);
        labels_[i]->setGeometry(left, f.top(), std::max(0, f.left() - Gap - left), f.height());
    }
}

bool FieldLabels::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        place();
    return false;
}

} // namespace explorer
