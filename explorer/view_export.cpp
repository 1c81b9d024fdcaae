// Writing and reading views as PNG files. The file is written through the
// toolkit's picture saving (a temporary file renamed into place), so a
// failed export leaves any file of that name as it was.
#include "view_export.h"

#include <QMenu>

#include <algorithm>
#include <cmath>

#include "explorer_features.h"
#include "form1.h"
#include "iteration_dialog.h"
#include "toolkit/controls.h"
#include "toolkit/form.h"
#include "toolkit/numbers.h"
#include "toolkit/pictures.h"
#include "toolkit/runtime_error.h"
#include "view_picture.h"

namespace explorer {

namespace {

const QString PngFilter = QStringLiteral("PNG Picture (*.png)|*.png");

} // namespace

QImage ViewImage(const Form1& form, const SavedView& saved)
{
    const int width = form.LevelGrid.cols;
    const int height = width > 0 ? int(form.LevelGrid.data.size() / std::size_t(width)) : 0;
    return ViewPicture(form.LevelGrid.data.data(), form.DoneGrid.data.data(), width, height,
                       form.Palette, saved);
}

ViewExport::ViewExport(Form1& form, const ExplorerFeatures& features)
    : QObject(&form), Dialog(&form), form_(form), features_(features)
{
    ExportMenu = new tk::MenuItem(QStringLiteral("&Export View as PNG..."),
                                  QKeySequence(Qt::CTRL | Qt::Key_E), 0, &form);
    OpenViewMenu = new tk::MenuItem(QStringLiteral("Open &View..."), QKeySequence(), 0, &form);
    form.FileMenu->addSeparator();
    form.FileMenu->addAction(ExportMenu);
    form.FileMenu->addAction(OpenViewMenu);
    tk::Handle(ExportMenu, &tk::MenuItem::Click, this, &ViewExport::exportView);
    tk::Handle(OpenViewMenu, &tk::MenuItem::Click, this, &ViewExport::openView);
}

void ViewExport::exportView()
{
    const auto& view = features_.drawnView();
    if (!view || form_.LevelGrid.empty())
        throw tk::RuntimeError(tk::ErrBadInput,
                               QStringLiteral("Nothing to export: no view has been drawn yet. "
                                              "Press Go to draw one."));
    // Taken before the dialog: a pass that runs while it is open (a paused
    // one resumed from the keyboard) changes what "the last view" is.
    const QImage image = ViewImage(form_, {*view, features_.drawnMaxIter(), features_.drawnFields(),
                                           features_.drawnDeepView()});
    Dialog.setFilter(PngFilter);
    Dialog.setDefaultExt(QStringLiteral("png"), QStringLiteral("view"));
    if (!Dialog.ShowSave())
        return;
    tk::SavePicture(image, Dialog.FileName(), "png");
}

void ViewExport::openView()
{
    Dialog.setFilter(PngFilter);
    if (!Dialog.ShowOpen())
        return;
    const QString fileName = Dialog.FileName();
    // Not found, a folder, a special file, a PNG whose chunks do not fit
    // the file: refused for the same reasons and in the same words as by
    // File > Open.
    const auto saved = ReadSavedView(fileName);
    if (!saved)
        throw tk::RuntimeError(
            tk::ErrBadInput,
            QStringLiteral("'%1' holds no view: only PNG files exported by Export View carry one.")
                .arg(fileName));
    // Checked before anything changes: one message, and the canvas, the
    // fields and the status line stay as they are.
    if (!form_.ViewFitsCanvas(saved->view))
        throw tk::RuntimeError(tk::ErrBadInput,
                               QStringLiteral("'%1' holds a view too wide to draw: its pixels "
                                              "lie beyond the range of numbers.")
                                   .arg(fileName));
    form_.MaxIter = saved->maxIter;
    ShowAndDraw(form_, KeptView{saved->view, saved->deep}, &saved->fields);
}

} // namespace explorer
