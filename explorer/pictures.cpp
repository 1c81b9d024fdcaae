// File > Open and File > Save: a bitmap as the canvas's background picture.
// The modal dialog runs its own event loop, so these may be entered inside a
// render pass's or a pause's yield; the pass stays where it is meanwhile.
#include "form1.h"

#include "toolkit/numbers.h"
#include "toolkit/pictures.h"

namespace explorer {

void Form1::OpenMenu_Click(std::int16_t /*Index*/)
{
    // Bitmaps first, as designed; PNG pictures (an exported view, say) are
    // offered as a second file type.
    CommonDialog1.setFilter(
        QStringLiteral("Pictures (*.bmp;*.dib)|*.bmp;*.dib|PNG Pictures (*.png)|*.png"));
    if (!CommonDialog1.ShowOpen())
        return; // cancelled: nothing loaded, the held name kept
    // Loading raises before anything is assigned, so a file that cannot be
    // read leaves the canvas's picture and size as they were.
    const QImage picture = tk::LoadPicture(CommonDialog1.FileName());
    Picture1->setPicture(picture);
    // The canvas keeps the size the pass draws on, whatever the picture's.
    Picture1->setWidth(ScreenH);
    Picture1->setHeight(tk::Div(3 * ScreenH, 4));
}

void Form1::SaveMenu_Click(std::int16_t /*Index*/)
{
    CommonDialog1.setFilter(QStringLiteral("Windows Bitmap (*.bmp)|*.bmp"));
    // A name is offered, and one typed without an extension gets ".bmp".
    CommonDialog1.setDefaultExt(QStringLiteral("bmp"), QStringLiteral("picture"));
    if (!CommonDialog1.ShowSave())
        return; // cancelled: nothing written
    // The background picture is what Save writes; before any Open there is
    // none, and then what the canvas shows (the rendered view) is saved.
    const QImage& picture = Picture1->Picture().isNull() ? Picture1->image() : Picture1->Picture();
    tk::SavePicture(picture, CommonDialog1.FileName());
}

} // namespace explorer
