// Reading a view back from a PNG file's text chunks (see view_file.h).
#include "view_file.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "iteration_dialog.h"
#include "toolkit/numbers.h"
#include "toolkit/pictures.h"
#include "toolkit/runtime_error.h"

namespace explorer {

std::optional<SavedView> SavedViewFromTexts(const std::map<QString, QString>& texts,
                                            std::string* refusal)
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
            text(chunk::DeepYMin).toStdString(), text(chunk::DeepYMax).toStdString(), refusal);
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

QStringList FieldsOfDeepView(const deep::DeepView& view)
{
    QStringList texts;
    for (const std::string& t : view.fields())
        texts << QString::fromStdString(t.starts_with('-') ? t : ' ' + t);
    return texts;
}

std::optional<SavedView> ReadSavedView(const QString& fileName)
{
    static const char* const deepKeys[] = {chunk::DeepXMin, chunk::DeepXMax, chunk::DeepYMin,
                                           chunk::DeepYMax};
    tk::LongPngTexts longTexts;
    for (const char* key : deepKeys)
        longTexts.keywords.push_back(QString::fromLatin1(key));
    longTexts.bytes = MaxDeepChunkCharacters;
    longTexts.totalBytes = 4 * qint64(MaxDeepChunkCharacters);
    std::set<QString> overlong;
    const auto texts = tk::ReadPngTexts(fileName, longTexts, overlong);
    const auto refused = [&](const QString& why) {
        return tk::RuntimeError(
            tk::ErrBadInput,
            QStringLiteral("'%1' holds a view the explorer cannot take: %2.").arg(fileName, why));
    };
    for (const char* key : deepKeys)
        if (overlong.count(QString::fromLatin1(key)))
            throw refused(QStringLiteral("its bounds have more than %1 characters")
                              .arg(deep::MaxFieldCharacters));
    std::string refusal;
    auto saved = SavedViewFromTexts(texts, &refusal);
    if (!saved && !refusal.empty() && texts.count(QString::fromLatin1(chunk::DeepXMin)))
        throw refused(QString::fromStdString(refusal));
    return saved;
}

} // namespace explorer
