// Reading a view back from a PNG file's text chunks (see view_file.h).
#include "view_file.h"

#include <algorithm>
#include <cmath>

#include "iteration_dialog.h"
#include "toolkit/numbers.h"
#include "toolkit/pictures.h"
#include "toolkit/runtime_error.h"

namespace explorer {

std::optional<SavedView> SavedViewFromTexts(const std::map<QString, QString>& texts)
{
    const auto text = [&](const char* key) {
        const auto it = texts.find(QString::fromLatin1(key));
        return it == texts.end() ? QString() : it->second;
    };
    const auto number = [&](const char* key) -> std::optional<double> {
        bool ok = false;
        const double v = text(key).toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return std::nullopt;
        return v;
    };
    const auto xMin = number(chunk::XMin), xMax = number(chunk::XMax);
    const auto yMin = number(chunk::YMin), yMax = number(chunk::YMax);
    bool ok = false;
    const int maxIter = text(chunk::MaxIter).toInt(&ok);
    if (!xMin || !xMax || !yMin || !yMax || !ok || maxIter < IterationDialog::Lowest ||
        maxIter > IterationDialog::Highest)
        return std::nullopt;
    const PlaneView view{*xMin, *xMax, *yMin, *yMax};
    std::optional<deep::DeepView> deepView;
    if (!text(chunk::DeepXMin).isEmpty()) {
        // Deep bounds that do not read are refused with the file, rather
        // than drawn as their nearest doubles.
        deepView = deep::DeepView::fromText(
            text(chunk::DeepXMin).toStdString(), text(chunk::DeepXMax).toStdString(),
            text(chunk::DeepYMin).toStdString(), text(chunk::DeepYMax).toStdString());
        if (!deepView)
            return std::nullopt;
        const QStringList deepFields = [&] {
            QStringList list;
            for (const std::string& f : deepView->fields())
                list << QString::fromStdString(f);
            return list;
        }();
        return SavedView{view, maxIter, deepFields, deepView};
    }
    QStringList fields = text(chunk::Fields).split(QLatin1Char(';'));
    // Extents beyond the doubles have no texts; Open View refuses the view.
    if (!std::isfinite(view.xMax - view.xMin) || !std::isfinite(view.yMax - view.yMin))
        fields.clear();
    else if (!FieldsReadAs(fields, view))
        fields = FieldsFromBounds(view);
    return SavedView{view, maxIter, fields, std::nullopt};
}

bool FieldsReadAs(const QStringList& fields, const PlaneView& view)
{
    if (fields.size() != 6)
        return false;
    const double values[6] = {
        view.xMin, view.xMax, view.yMin, view.yMax, view.xMax - view.xMin, view.yMax - view.yMin};
    for (int i = 0; i < 6; ++i) {
        double read = 0;
        try {
            read = tk::Val(fields[i]);
        } catch (const tk::RuntimeError&) {
            return false; // beyond the doubles
        }
        // The fields show 15 significant digits; a number typed shorter
        // reads exactly.
        if (std::fabs(read - values[i]) > 1e-14 * std::max(std::fabs(read), std::fabs(values[i])))
            return false;
    }
    return true;
}

QStringList FieldsFromBounds(const PlaneView& view)
{
    return {tk::Str(view.xMin),
            tk::Str(view.xMax),
            tk::Str(view.yMin),
            tk::Str(view.yMax),
            tk::Str(view.xMax - view.xMin),
            tk::Str(view.yMax - view.yMin)};
}

std::optional<SavedView> ReadSavedView(const QString& fileName)
{
    return SavedViewFromTexts(tk::ReadPngTexts(fileName));
}

} // namespace explorer
