// Writing a whole file so that a failure never damages what was there: the
// one save path of both programs (pictures, exported tables).
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace tk {

// Writes `data` to a temporary file beside `fileName` and renames it over the
// target only once every byte is written, so a failed save leaves an existing
// file as it was and no temporary file behind. A target that exists and is
// not a regular file (a folder, a named pipe, a socket, a device) is refused
// before anything is written; a symbolic link to a regular file is followed,
// and the file it names is replaced, while a link that cannot be resolved
// (it loops, or names nothing) is refused and left as it is. A short write (a full disk, the
// process's file-size limit) is reported, not fatal: SIGXFSZ is ignored from
// the first save on. Failures raise "Path/File access error: cannot write ...".
void SaveFileContents(const QByteArray& data, const QString& fileName);

// What a file of this stat() mode is when it is not a regular file ("a named
// pipe", "a folder", ...), for messages; empty for a regular file.
QString SpecialFileKind(mode_t mode);
// The same for what `path` names, following symbolic links; empty also for
// a path that cannot be looked at.
QString SpecialFileKind(const QString& path);

} // namespace tk
