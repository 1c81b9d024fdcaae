// The common file dialog over QFileDialog, with a replaceable answerer.
#include "common_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include <utility>

namespace tk {

namespace {

CommonDialog::Answerer& answererSlot()
{
    static CommonDialog::Answerer answerer;
    return answerer;
}

} // namespace

CommonDialog::Answerer CommonDialog::setAnswerer(Answerer answerer)
{
    return std::exchange(answererSlot(), std::move(answerer));
}

QString CommonDialog::toNameFilter(const QString& filter)
{
    // "Pictures (*.bmp;*.dib)|*.bmp;*.dib" becomes "Pictures (*.bmp *.dib)":
    // Qt reads the patterns from the last parentheses, space-separated, so a
    // pattern list already written into the description is replaced.
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        if (description.endsWith(u')')) {
            const qsizetype open = description.lastIndexOf(u'(');
            if (open >= 0)
                description = description.left(open).trimmed();
        }
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        entries << QStringLiteral("%1 (%2)").arg(description, patterns.join(u' '));
    }
    return entries.join(QStringLiteral(";;"));
}

QString CommonDialog::offeredName(Mode mode) const
{
    if (mode != Mode::Save || defaultExt_.isEmpty())
        return fileName_;
    const QString ending = QLatin1Char('.') + defaultExt_;
    if (fileName_.isEmpty())
        return defaultStem_ + ending;
    const QFileInfo held(fileName_);
    if (held.suffix().compare(defaultExt_, Qt::CaseInsensitive) == 0)
        return fileName_;
    // Another type's name (a PNG opened, a bitmap to be saved): the same
    // name with this type's extension.
    const QString stem = held.suffix().isEmpty()
                             ? fileName_
                             : fileName_.left(fileName_.size() - held.suffix().size() - 1);
    return stem + ending;
}

QString CommonDialog::withDefaultExt(Mode mode, const QString& chosen) const
{
    // A folder's name stays as typed: the save refuses it.
    const QFileInfo info(chosen);
    if (mode != Mode::Save || defaultExt_.isEmpty() || !info.suffix().isEmpty() || info.isDir())
        return chosen;
    return chosen.endsWith(QLatin1Char('.')) ? chosen + defaultExt_
                                             : chosen + QLatin1Char('.') + defaultExt_;
}

bool CommonDialog::show(Mode mode)
{
    const Request request{mode, toNameFilter(filter_), offeredName(mode)};
    std::optional<QString> chosen;
    if (const Answerer& answer = answererSlot()) {
        chosen = answer(request);
    } else {
        const QString path =
            mode == Mode::Open ? QFileDialog::getOpenFileName(parent_, QString(), request.fileName,
                                                              request.nameFilter)
                               : QFileDialog::getSaveFileName(parent_, QString(), request.fileName,
                                                              request.nameFilter);
        if (!path.isEmpty())
            chosen = path;
    }
    if (!chosen)
        return false;
    fileName_ = withDefaultExt(mode, *chosen);
    return true;
}

} // namespace tk
