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
#include <map>
#include <optional>

#include "plane_view.h"
#include "toolkit/common_dialog.h"

namespace tk {
class MenuItem;
}

namespace explorer {

class Form1;
class ExplorerFeatures;

// Names of the PNG text chunks; the bounds are written with 17 significant
// digits, so that reading them back gives the very same doubles.
namespace chunk {
inline constexpr const char* XMin = "ZelmarXMin";
inline constexpr const char* XMax = "ZelmarXMax";
inline constexpr const char* YMin = "ZelmarYMin";
inline constexpr const char* YMax = "ZelmarYMax";
inline constexpr const char* MaxIter = "ZelmarMaxIter";
inline constexpr const char* Fields = "ZelmarFields"; // the six texts, separated by ';'
} // namespace chunk

struct SavedView {
    PlaneView view;
    std::int32_t maxIter;
    QStringList fields; // as the fields showed the view; may be empty
};

// The picture of the last pass's grids in the palette's colours, with the
// view's chunks; pixels the pass has not reached yet are black.
QImage ViewImage(const Form1& form, const SavedView& saved);
// The view in a PNG file's chunks; nothing when any is missing or unusable.
// Fields that do not read as the
// bounds (to the 15 digits the fields show) are replaced by the bounds'
// own texts, so that what the fields say is what is drawn (no fields when
// the extents are beyond the doubles: such a view cannot be drawn). The file is read
// with File > Open's checks and raises its errors.
std::optional<SavedView> ReadSavedView(const QString& fileName);
std::optional<SavedView> SavedViewFromTexts(const std::map<QString, QString>& texts);
bool FieldsReadAs(const QStringList& fields, const PlaneView& view);
// The six texts UpdateXY would write for these bounds.
QStringList FieldsFromBounds(const PlaneView& view);

class ViewExport : public QObject {
    Q_OBJECT
public:
    ViewExport(Form1& form, const ExplorerFeatures& features);

    void ExportMenu_Click(std::int16_t Index);
    void OpenViewMenu_Click(std::int16_t Index);

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
