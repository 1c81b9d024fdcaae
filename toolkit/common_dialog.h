// The common file dialog a window holds: a file-type filter, modal open and
// save dialogs and the chosen file name, kept from one use to the next.
// Showing the dialog runs a nested event loop, so other handlers may run.
#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace tk {

class CommonDialog {
public:
    enum class Mode { Open, Save };

    // What a dialog is asked to show, as the platform dialog gets it.
    struct Request {
        Mode mode;
        QString nameFilter; // Qt's form: "Pictures (*.bmp *.dib)"
        QString fileName;   // the name held from the last use
    };

    // Answers a request in place of the modal window: the chosen path, or
    // nothing when the user cancels. Tests install one so nothing blocks.
    using Answerer = std::function<std::optional<QString>(const Request&)>;
    // Installs `answerer` (an empty one restores the platform dialog) and
    // returns the one it replaces.
    static Answerer setAnswerer(Answerer answerer);

    explicit CommonDialog(QWidget* parent) : parent_(parent) {}

    // Pairs of description and pattern separated by '|', patterns of one
    // entry separated by ';': "Pictures (*.bmp;*.dib)|*.bmp;*.dib".
    const QString& Filter() const { return filter_; }
    void setFilter(const QString& filter) { filter_ = filter; }

    const QString& FileName() const { return fileName_; }
    void setFileName(const QString& name) { fileName_ = name; }

    // The extension (without the dot) a save adds to a name typed without
    // one, and the name offered when none is held yet (`stem` + extension);
    // a held name with another extension is offered with this one instead.
    // Empty (the default): names are taken as typed.
    const QString& DefaultExt() const { return defaultExt_; }
    void setDefaultExt(const QString& extension, const QString& stem = QStringLiteral("untitled"))
    {
        defaultExt_ = extension;
        defaultStem_ = stem;
    }
    // The name a dialog of `mode` offers.
    QString offeredName(Mode mode) const;
    // `chosen` with the default extension added when a save names none.
    QString withDefaultExt(Mode mode, const QString& chosen) const;

    // Show the modal dialog and return when it closes: true with FileName
    // set to the chosen path, false when cancelled, FileName untouched.
    bool ShowOpen() { return show(Mode::Open); }
    bool ShowSave() { return show(Mode::Save); }

    // The filter in Qt's name-filter form, one entry per line.
    static QString toNameFilter(const QString& filter);

private:
    bool show(Mode mode);

    QWidget* parent_;
    QString filter_;
    QString fileName_;
    QString defaultExt_, defaultStem_;
};

} // namespace tk
