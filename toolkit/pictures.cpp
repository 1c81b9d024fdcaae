// Bitmap files: only regular files are opened, the headers and run-length
// data are checked by hand (bitmap_check.h), the pixels are Qt's BMP
// handler's job, and saving goes through QSaveFile, which writes a temporary
// file beside the target and renames it over the target.
#include "pictures.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "runtime_error.h"

namespace tk {

namespace {

[[noreturn]] void invalidPicture(const QString& fileName, const QString& why)
{
    throw RuntimeError(ErrInvalidPicture,
                       QStringLiteral("Invalid picture: '%1' %2").arg(fileName, why));
}

// What a path is when it is not a regular file, for the message; empty for
// a regular file.
QString specialFileKind(mode_t mode)
{
    if (S_ISREG(mode))
        return QString();
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    return QStringLiteral("not a regular file");
}

// The kind of what `path` names, following symbolic links; empty for a
// regular file and for a path that cannot be looked at.
QString specialFileKind(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    return specialFileKind(st.st_mode);
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
    if (const QString kind = specialFileKind(fileName); !kind.isEmpty())
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
        notAFile(fileName, specialFileKind(st.st_mode));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw RuntimeError(
            ErrPathFileAccess,
            QStringLiteral("Path/File access error: '%1' (%2)").arg(fileName, file.errorString()));
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
    // The temporary file would be renamed over a pipe or a device, turning
    // it into a plain file: such a target is left alone.
    if (const QString kind = specialFileKind(fileName); !kind.isEmpty())
        throw cannotWrite(QStringLiteral("it is %1, not a file").arg(kind));
    // Past the file-size limit the kernel sends SIGXFSZ, whose default
    // action ends the program without a word; ignored, the write comes back
    // short and is reported below like a full disk. Set on every save, so
    // that nothing that restored the default in between undoes it.
    std::signal(SIGXFSZ, SIG_IGN);

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
