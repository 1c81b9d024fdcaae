// A view as a PNG file carries it: the names of its text chunks, and the
// view read back from them. Plain functions over texts and files; no window.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>

#include "explorer/engine/deep/deep_view.h"
#include "plane_view.h"

namespace explorer {

// Names of the PNG text chunks; the bounds are written with 17 significant
// digits, so that reading them back gives the very same doubles.
namespace chunk {
inline constexpr const char* XMin = "ZelmarXMin";
inline constexpr const char* XMax = "ZelmarXMax";
inline constexpr const char* YMin = "ZelmarYMin";
inline constexpr const char* YMax = "ZelmarYMax";
inline constexpr const char* MaxIter = "ZelmarMaxIter";
inline constexpr const char* Fields = "ZelmarFields"; // the six texts, separated by ';'
// A view deeper than doubles resolve also carries its four bounds in full
// decimal digits (the double chunks above stay, their nearest doubles).
inline constexpr const char* DeepXMin = "ZelmarDeepXMin";
inline constexpr const char* DeepXMax = "ZelmarDeepXMax";
inline constexpr const char* DeepYMin = "ZelmarDeepYMin";
inline constexpr const char* DeepYMax = "ZelmarDeepYMax";
} // namespace chunk

// The deep chunks are read up to this many characters each (the fields'
// limit and room for a sign, a point and an exponent).
inline constexpr qsizetype MaxDeepChunkCharacters = qsizetype(deep::MaxFieldCharacters) + 64;

struct SavedView {
    PlaneView view;
    std::int32_t maxIter;
    QStringList fields; // as the fields showed the view; may be empty
    std::optional<deep::DeepView> deep = std::nullopt; // every digit of a deep view
};

// The view in a PNG file's chunks; nothing when any is missing or unusable.
// Fields that do not read as the bounds (to the 15 digits the fields show)
// are replaced by the bounds' own texts, so that what the fields say is what
// is drawn (no fields when the extents are beyond the doubles: such a view
// cannot be drawn). The file is read with File > Open's checks and raises
// their errors.
// A deep view beyond what the explorer takes (bounds longer than its fields
// hold, deeper than it draws) raises ErrBadInput in words, rather than
// being read as less than it is.
std::optional<SavedView> ReadSavedView(const QString& fileName);
// `refusal`, when given, gets why deep chunks that are there cannot be read.
std::optional<SavedView> SavedViewFromTexts(const std::map<QString, QString>& texts,
                                            std::string* refusal = nullptr);
bool FieldsReadAs(const QStringList& fields, const PlaneView& view);
// The six texts UpdateXY would write for these bounds.
QStringList FieldsFromBounds(const PlaneView& view);
// The six texts the fields show for a deep view: every digit it needs, and
// a space where a minus sign would go, as for double views.
QStringList FieldsOfDeepView(const deep::DeepView& view);

} // namespace explorer
