// Picture files: only regular files are opened, a bitmap's headers and
// run-length data and a PNG's chunks are checked by hand (bitmap_check.h,
// png_check.h), the pixels are Qt's handlers' job, and saving goes through
// SaveFileContents (file_save.h).
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
#include <memory>

#include "file_save.h"
#include "png_check.h"
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

namespace {

// Opens `fileName` for reading as File > Open does: a missing file, a
// folder and anything that is not a regular file are refused first.
std::unique_ptr<QFile> openRegularFile(const QString& fileName)
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
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw RuntimeError(
            ErrPathFileAccess,
            QStringLiteral("Path/File access error: '%1' (%2)").arg(fileName, file->errorString()));
    }
    return file;
}

bool startsAsPng(QFile& file)
{
    return file.peek(PngSignature.size()) == PngSignature;
}

// The whole PNG file, checked; its size is bounded by what its header can
// need before it is read.
CheckedPng readCheckedPng(QFile& file, const QString& fileName, const LongPngTexts& longTexts = {})
{
    const qint64 limit = MaxPngFileSize(file.peek(33));
    if (limit == 0 || file.size() > limit)
        invalidPicture(fileName, limit == 0 ? QStringLiteral("has no valid PNG header.")
                                            : QStringLiteral("is far larger than a picture of "
                                                             "its size can need."));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(
            ErrPathFileAccess,
            QStringLiteral("Path/File access error: '%1' (%2)").arg(fileName, file.errorString()));
    return CheckPng(data, fileName, longTexts);
}

// Room for a decoded picture, in the whole megabytes Qt's reader counts.
int allocationLimitMB(qint64 pixels, int bytesPerPixel)
{
    return int((pixels * bytesPerPixel + (1 << 20) - 1) >> 20) + 1;
}

} // namespace

QImage LoadPicture(const QString& fileName)
{
    const std::unique_ptr<QFile> file = openRegularFile(fileName);
    // A PNG picture is taken too. Its chunks are walked first (png_check.h),
    // and the decoder gets only those it needs for the pixels, so that no
    // text or profile is inflated and no oversized chunk allocated.
    if (startsAsPng(*file)) {
        const CheckedPng checked = readCheckedPng(*file, fileName);
        QBuffer buffer;
        buffer.setData(checked.decodable);
        buffer.open(QIODevice::ReadOnly);
        QImageReader png(&buffer, "png");
        png.setAllocationLimit(allocationLimitMB(qint64(checked.width) * checked.height,
                                                 checked.decodedBytesPerPixel()));
        QImage image = png.read();
        if (image.isNull())
            invalidPicture(fileName,
                           QStringLiteral("could not be read (%1).").arg(png.errorString()));
        return image;
    }
    CheckBitmap(*file, fileName);

    QImageReader reader(file.get(), "bmp");
    // Room for the largest accepted picture at four bytes a pixel.
    reader.setAllocationLimit(allocationLimitMB(MaxPicturePixels, 4));
    QImage image = reader.read();
    if (image.isNull())
        invalidPicture(fileName,
                       QStringLiteral("could not be read (%1).").arg(reader.errorString()));
    return image;
}

std::map<QString, QString> ReadPngTexts(const QString& fileName)
{
    std::set<QString> overlong;
    return ReadPngTexts(fileName, {}, overlong);
}

std::map<QString, QString> ReadPngTexts(const QString& fileName, const LongPngTexts& longTexts,
                                        std::set<QString>& overlong)
{
    const std::unique_ptr<QFile> file = openRegularFile(fileName);
    if (!startsAsPng(*file))
        return {};
    CheckedPng png = readCheckedPng(*file, fileName, longTexts);
    overlong = std::move(png.overlongTexts);
    return std::move(png.texts);
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
