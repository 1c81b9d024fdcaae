// Picture loading and saving of Windows bitmaps (.bmp and .dib) through Qt's
// image I/O. Both raise a RuntimeError that says what went wrong and where.
#pragma once

#include <QImage>
#include <QString>

namespace tk {

// Largest picture LoadPicture accepts: its header is checked against these
// before any pixel memory is allocated.
constexpr int MaxPictureSide = 16384;
constexpr qint64 MaxPicturePixels = qint64(32) * 1024 * 1024;

// Reads a bitmap file. A missing file, one that cannot be read, one that is
// not a bitmap the reader understands, or one whose header claims more than
// the limits above raises the matching error; nothing is returned then.
QImage LoadPicture(const QString& fileName);

// Writes `picture` as a Windows bitmap. The data goes to a temporary file in
// the same folder, which replaces `fileName` only once it is complete, so a
// save that fails leaves any existing file as it was.
void SavePicture(const QImage& picture, const QString& fileName);

} // namespace tk
