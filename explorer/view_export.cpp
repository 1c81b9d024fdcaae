// Writing and reading views as PNG files. The file is written through the
// toolkit's picture saving (a temporary file renamed into place), so a
// failed export leaves any file of that name as it was.
#include "view_export.h"

#include <QImageReader>
#include <QMenu>

#include <cmath>

#include "explorer_features.h"
#include "form1.h"
#include "iteration_dialog.h"
#include "toolkit/controls.h"
#include "toolkit/form.h"
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

std::optional<SavedView> ReadSavedView(const QString& fileName)
{
    // Only the chunks are read, not the pixels.
    QImageReader reader(fileName, "png");
    if (!reader.canRead())
        return std::nullopt;
    const auto number = [&](const char* key) -> std::optional<double> {
        bool ok = false;
        const double v = reader.text(QString::fromLatin1(key)).toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return std::nullopt;
        return v;
    };
    const auto xMin = number(chunk::XMin), xMax = number(chunk::XMax);
    const auto yMin = number(chunk::YMin), yMax = number(chunk::YMax);
    bool ok = false;
    const int maxIter = reader.text(QString::fromLatin1(chunk::MaxIter)).toInt(&ok);
    if (!xMin || !xMax || !yMin || !yMax || !ok || maxIter < IterationDialog::Lowest ||
        maxIter > IterationDialog::Highest)
        return std::nullopt;
    QStringList fields = reader.text(QString::fromLatin1(chunk::Fields)).split(QLatin1Char(';'));
    if (fields.size() != 6)
        fields.clear(); // the fields are then written from the bounds
    return SavedView{{*xMin, *xMax, *yMin, *yMax}, maxIter, fields};
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
    tk::Handle(ExportMenu, &tk::MenuItem::Click, this, &ViewExport::ExportMenu_Click);
    tk::Handle(OpenViewMenu, &tk::MenuItem::Click, this, &ViewExport::OpenViewMenu_Click);
}

void ViewExport::ExportMenu_Click(std::int16_t)
{
    const auto& view = features_.drawnView();
    if (!view || form_.LevelGrid.empty())
        throw tk::RuntimeError(tk::ErrInvalidPicture,
                               QStringLiteral("Nothing to export: no view has been drawn yet."));
    // Taken before the dialog: a pass that runs while it is open (a paused
    // one resumed from the keyboard) changes what "the last view" is.
    const QImage image =
        ViewImage(form_, {*view, features_.drawnMaxIter(), features_.drawnFields()});
    Dialog.setFilter(PngFilter);
    if (!Dialog.ShowSave())
        return;
    tk::SavePicture(image, Dialog.FileName(), "png");
}

void ViewExport::OpenViewMenu_Click(std::int16_t)
{
    Dialog.setFilter(PngFilter);
    if (!Dialog.ShowOpen())
        return;
    const auto saved = ReadSavedView(Dialog.FileName());
    if (!saved)
        throw tk::RuntimeError(
            tk::ErrInvalidPicture,
            QStringLiteral("'%1' holds no view: only PNG files exported by Export View carry one.")
                .arg(Dialog.FileName()));
    form_.MaxIter = saved->maxIter;
    ShowAndDraw(form_, saved->view, &saved->fields);
}

} // namespace explorer
