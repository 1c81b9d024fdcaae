// What LoadPicture checks of a bitmap file before Qt's reader sees it. The
// reader returns a partly blank picture without complaint for a file that is
// cut short or whose pixel data is garbled, so these checks refuse such files
// first, with a message that says which.
#pragma once

#include <QString>

class QIODevice;

namespace tk {

// Largest picture LoadPicture accepts: its header is checked against these
// before any pixel memory is allocated.
constexpr int MaxPictureSide = 16384;
constexpr qint64 MaxPicturePixels = qint64(32) * 1024 * 1024;

// Checks the bitmap in `file` (open for reading, at its start): the headers,
// the picture's size against the limits above, that the pixel data starts
// after the headers and lies within the file, and for run-length encoded
// pictures (RLE8, RLE4) that the runs stay inside their rows and the data
// reaches its end-of-bitmap marker. Raises ErrInvalidPicture naming
// `fileName` ("is not a Windows bitmap", "is cut short", ...) when a check
// fails; when all pass, the file is at its start again.
void CheckBitmap(QIODevice& file, const QString& fileName);

} // namespace tk
