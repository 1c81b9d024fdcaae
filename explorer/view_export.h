// File > Export View as PNG... (Ctrl+E) and File > Open View...: the drawn
// view as a PNG file that carries its bounds and iteration limit in text
// chunks, and such a file read back into the fields and drawn. The dialogs
// are modal, so other handlers (and a paused pass's rows) may run meanwhile.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

#include "plane_view.h"
#include "view_file.h"
#include "toolkit/common_dialog.h"

namespace tk {
class MenuItem;
}

namespace explorer {

class Form1;
class ExplorerFeatures;

// The picture of the last pass's grids in the palette's colours, with the
// view's chunks; pixels the pass has not reached yet are black.
QImage ViewImage(const Form1& form, const SavedView& saved);
class ViewExport : public QObject {
    Q_OBJECT
public:
    ViewExport(Form1& form, const ExplorerFeatures& features);

    void exportView();
    void openView();

    tk::MenuItem* ExportMenu;
    tk::MenuItem* OpenViewMenu;
    // Its own dialog, so that the name the File menu's dialog holds stays
    // that menu's.
    tk::CommonDialog Dialog;

private:
    Form1& form_;
    const ExplorerFeatures& features_;
};

} // namespace explorer
