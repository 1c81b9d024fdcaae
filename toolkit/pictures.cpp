// Bitmap files: only regular files are opened, the headers and run-length
// data are checked by hand (bitmap_check.h), the pixels are Qt's BMP
// handler's job, and saving goes through SaveFileContents (file_save.h).
#include "pictures.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file_save.h"
#include "runtime_error.h"

namespace tk {

namespace {

[[noreturn]] void invalidPicture(const QString& fileName, const QString& why)
{
    throw RuntimeError(ErrInvalidPicture,
                       QStringLiteral("Invalid picture: '%1' %2").arg(fileName, why));
}

[[noreturn]] void notAFile(const QString& fileName, const QString& kind)
{
    throw RuntimeError(
        ErrPathFileAccess,
        QStringLiteral("Path/File access error: '%1' is %2, not a file.").arg(fileName, kind));
}

} // namespace

QImage LoadPicture(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.exists())
        throw RuntimeError(ErrFileNotFound, QStringLiteral("File not found: '%1'").arg(fileName));
    if (info.isDir())
        throw RuntimeError(
            ErrPathFileAccess,
            QStringLiteral("Path/File access error: '%1' is a folder.").arg(fileName));

    // A named pipe blocks open() until a writer comes, a device may never
    // end: only a regular file is opened. The open itself does not block,
    // and what it opened is looked at again, in case the name was replaced
    // meanwhile.
    if (const QString kind = SpecialFileKind(fileName); !kind.isEmpty())
        notAFile(fileName, kind);
    const int fd = ::open(QFile::encodeName(fileName).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int why = errno;
        throw RuntimeError(ErrPathFileAccess,
                           QStringLiteral("Path/File access error: '%1' (%2)")
                               .arg(fileName, QString::fromLocal8Bit(std::strerror(why))));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        notAFile(fileName, SpecialFileKind(st.st_mode));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw RuntimeError(
            ErrPathFileAccess,
            QStringLiteral("Path/File access error: '%1' (%2)").arg(fileName, file.errorString()));
    }
    // A PNG picture is taken too: its header gives the size, which is held
    // to the same limits before any pixel memory is allocated.
    if (file.peek(8) == QByteArrayLiteral("\x89PNG\r\n\x1a\n")) {
        QImageReader png(&file, "png");
        const QSize size = png.size();
        if (!size.isValid() || size.width() > MaxPictureSide || size.height() > MaxPictureSide ||
            qint64(size.width()) * size.height() > MaxPicturePixels)
            invalidPicture(fileName, QStringLiteral("is not a PNG picture of at most %1 pixels a "
                                                    "side and %2 pixels in all.")
                                         .arg(MaxPictureSide)
                                         .arg(MaxPicturePixels));
        png.setAllocationLimit(int(MaxPicturePixels * 4 / (1024 * 1024)));
        QImage image = png.read();
        if (image.isNull())
            invalidPicture(fileName,
                           QStringLiteral("could not be read (%1).").arg(png.errorString()));
        return image;
    }
    CheckBitmap(file, fileName);

    QImageReader reader(&file, "bmp");
    // Room for the largest accepted picture at four bytes a pixel.
    reader.setAllocationLimit(int(MaxPicturePixels * 4 / (1024 * 1024)));
    QImage image = reader.read();
    if (image.isNull())
        invalidPicture(fileName,
                       QStringLiteral("could not be read (%1).").arg(reader.errorString()));
    return image;
}

void SavePicture(const QImage& picture, const QString& fileName, const char* format)
{
    if (picture.isNull())
        throw RuntimeError(ErrInvalidPicture, QStringLiteral("Invalid picture: nothing to save."));
    // Encoded in memory first, so that the file is written by one call
    // whose count can be checked.
    QByteArray data;
    {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (!writer.write(picture))
            throw RuntimeError(ErrInvalidPicture,
                               QStringLiteral("Invalid picture: %1").arg(writer.errorString()));
    }
    SaveFileContents(data, fileName);
}

} // namespace tk
