// Picture loading and saving of Windows bitmaps (.bmp and .dib) through Qt's
// image I/O. Both raise a RuntimeError that says what went wrong and where.
#pragma once

#include <QImage>
#include <QString>

#include <map>

#include "bitmap_check.h"
#include "png_check.h"

namespace tk {

// Reads a bitmap file (or a PNG picture, under the same size limits). A missing file, a folder,
// anything that is not a regular file (a named pipe, a socket, a device: refused before it is
// opened, since opening one may block for ever), one that cannot be read,
// one that is not a bitmap the reader understands, one cut short, or one
// whose header claims more than the limits of bitmap_check.h raises the
// matching error; nothing is returned then.
QImage LoadPicture(const QString& fileName);

// The text chunks of a PNG file by keyword, read with LoadPicture's checks
// (the same errors for a missing file, a folder, a special file, a PNG
// whose chunks do not fit the file). A file that is not a PNG gives none.
std::map<QString, QString> ReadPngTexts(const QString& fileName);
// The same with the long texts a reader allows (png_check.h); the keywords
// of texts over their limit go into `overlong`.
std::map<QString, QString> ReadPngTexts(const QString& fileName, const LongPngTexts& longTexts,
                                        std::set<QString>& overlong);

// Writes `picture` as a Windows bitmap (or in another format Qt writes,
// such as "png", keeping the picture's text chunks). The data goes to a temporary file in
// the same folder, which replaces `fileName` only once it is complete, so a
// save that fails leaves any existing file as it was. A target that exists
// and is not a regular file (a folder, a named pipe, a device) is refused; a
// symbolic link to a regular file is followed, and the file it names is
// replaced. A write beyond the process's file-size limit is reported like a
// full disk: SIGXFSZ is ignored from the first save on.
void SavePicture(const QImage& picture, const QString& fileName, const char* format = "bmp");

} // namespace tk
