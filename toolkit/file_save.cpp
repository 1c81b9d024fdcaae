// The temporary-file-and-rename save shared by every file the programs write.
#include "file_save.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

#include <csignal>

#include "runtime_error.h"

namespace tk {

QString SpecialFileKind(mode_t mode)
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

QString SpecialFileKind(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    return SpecialFileKind(st.st_mode);
}

void SaveFileContents(const QByteArray& data, const QString& fileName)
{
    const auto cannotWrite = [&](const QString& why) {
        return RuntimeError(ErrPathFileAccess, QStringLiteral("Path/File access error: cannot "
                                                              "write '%1' (%2)")
                                                   .arg(fileName, why));
    };
    if (fileName.isEmpty())
        throw cannotWrite(QStringLiteral("no file name"));
    // A symbolic link whose target cannot be reached (one that loops, or
    // points at nothing) would be replaced by the new file: it is left as
    // it is. A link that resolves is followed as before.
    if (struct stat link{};
        ::lstat(QFile::encodeName(fileName).constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
        struct stat target {};
        if (::stat(QFile::encodeName(fileName).constData(), &target) != 0)
            throw cannotWrite(QStringLiteral("it is a symbolic link that cannot be resolved"));
    }
    if (QFileInfo(fileName).isDir())
        throw cannotWrite(QStringLiteral("it is a folder"));
    // The temporary file would be renamed over a pipe or a device, turning
    // it into a plain file: such a target is left alone.
    if (const QString kind = SpecialFileKind(fileName); !kind.isEmpty())
        throw cannotWrite(QStringLiteral("it is %1, not a file").arg(kind));
    // Past the file-size limit the kernel sends SIGXFSZ, whose default
    // action ends the program without a word; ignored, the write comes back
    // short and is reported below like a full disk. Set on every save, so
    // that nothing that restored the default in between undoes it.
    std::signal(SIGXFSZ, SIG_IGN);

    // One write whose count is checked: a short write must not be committed
    // as if it were the whole file.
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
