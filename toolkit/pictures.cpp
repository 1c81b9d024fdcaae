// Bitmap files: the header is checked by hand (dimensions first, so that a
// hostile header cannot make the reader allocate gigabytes), the pixels are
// Qt's BMP handler's job, and saving goes through QSaveFile, which writes a
// temporary file beside the target and renames it over the target.
#include "pictures.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QtEndian>

#include <cstdint>
#include <cstdlib>

#include "runtime_error.h"

namespace tk {

namespace {

[[noreturn]] void invalidPicture(const QString& fileName, const QString& why)
{
    throw RuntimeError(ErrInvalidPicture,
                       QStringLiteral("Invalid picture: '%1' %2").arg(fileName, why));
}

// The file header ("BM", 14 bytes) and the info header, whose size tells
// its kind: 12 bytes (OS/2 core header) has 16-bit unsigned dimensions, the
// larger ones 32-bit signed (a negative height is a picture stored
// top-down). An uncompressed picture must hold all its rows: Qt's reader
// would otherwise return a partly blank picture without complaint.
void checkBitmapHeader(const QByteArray& head, qint64 fileSize, const QString& fileName)
{
    if (head.size() < 30 || head[0] != 'B' || head[1] != 'M')
        invalidPicture(fileName, QStringLiteral("is not a Windows bitmap."));
    const auto* p = reinterpret_cast<const uchar*>(head.constData());
    const quint32 dataOffset = qFromLittleEndian<quint32>(p + 10);
    const quint32 infoSize = qFromLittleEndian<quint32>(p + 14);
    qint64 width, height;
    int bitsPerPixel;
    quint32 compression = 0;
    if (infoSize == 12) {
        width = qFromLittleEndian<quint16>(p + 18);
        height = qFromLittleEndian<quint16>(p + 20);
        bitsPerPixel = qFromLittleEndian<quint16>(p + 24);
    } else if (infoSize >= 16 && infoSize <= 124) {
        width = qFromLittleEndian<qint32>(p + 18);
        height = std::llabs(qFromLittleEndian<qint32>(p + 22));
        bitsPerPixel = qFromLittleEndian<quint16>(p + 28);
        if (infoSize >= 20 && head.size() >= 34)
            compression = qFromLittleEndian<quint32>(p + 30);
    } else {
        invalidPicture(fileName, QStringLiteral("has an unknown bitmap header."));
    }
    if (width <= 0 || height <= 0)
        invalidPicture(fileName, QStringLiteral("has no pixels."));
    if (width > MaxPictureSide || height > MaxPictureSide || width * height > MaxPicturePixels)
        invalidPicture(fileName, QStringLiteral("is %1 x %2 pixels, larger than this program "
                                                "opens (%3 pixels on a side, %4 megapixels).")
                                     .arg(width)
                                     .arg(height)
                                     .arg(MaxPictureSide)
                                     .arg(MaxPicturePixels / (1024 * 1024)));
    // Uncompressed (BI_RGB) or with bit-field masks: rows padded to 4 bytes.
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (uncompressed && bitsPerPixel > 0 && bitsPerPixel <= 32) {
        const qint64 rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
        if (qint64(dataOffset) + rowBytes * height > fileSize)
            invalidPicture(fileName, QStringLiteral("is cut short: its header promises more "
                                                    "pixels than the file holds."));
    }
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

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(
            ErrPathFileAccess,
            QStringLiteral("Path/File access error: '%1' (%2)").arg(fileName, file.errorString()));
    checkBitmapHeader(file.peek(34), file.size(), fileName);

    QImageReader reader(&file, "bmp");
    // Room for the largest accepted picture at four bytes a pixel.
    reader.setAllocationLimit(int(MaxPicturePixels * 4 / (1024 * 1024)));
    QImage image = reader.read();
    if (image.isNull())
        invalidPicture(fileName,
                       QStringLiteral("could not be read (%1).").arg(reader.errorString()));
    return image;
}

void SavePicture(const QImage& picture, const QString& fileName)
{
    if (picture.isNull())
        throw RuntimeError(ErrInvalidPicture, QStringLiteral("Invalid picture: nothing to save."));
    const auto cannotWrite = [&](const QString& why) {
        return RuntimeError(ErrPathFileAccess, QStringLiteral("Path/File access error: cannot "
                                                              "write '%1' (%2)")
                                                   .arg(fileName, why));
    };
    if (fileName.isEmpty())
        throw cannotWrite(QStringLiteral("no file name"));
    if (QFileInfo(fileName).isDir())
        throw cannotWrite(QStringLiteral("it is a folder"));

    // Encoded in memory first, so that the file is written by one call
    // whose count can be checked: a short write (a full disk) must not be
    // committed as if it were the picture.
    QByteArray data;
    {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "bmp");
        if (!writer.write(picture))
            throw RuntimeError(ErrInvalidPicture,
                               QStringLiteral("Invalid picture: %1").arg(writer.errorString()));
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw cannotWrite(file.errorString());
    const qint64 written = file.write(data);
    if (written != data.size()) {
        const QString why = written < 0 ? file.errorString()
                                        : QStringLiteral("only %1 of %2 bytes could be written")
                                              .arg(written)
                                              .arg(data.size());
        file.cancelWriting();
        throw cannotWrite(why);
    }
    if (!file.commit())
        throw cannotWrite(file.errorString());
}

} // namespace tk
