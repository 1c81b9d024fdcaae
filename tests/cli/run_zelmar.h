// Runs the built Zelmar program for the command-line tests, with no display
// at all: DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are taken out of its
// environment, so a run that needed a window system would fail.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace cli_test {

struct Run {
    int status = -1;
    QString err;
};

inline Run runZelmar(const QStringList& args, const QString& folder = QString())
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(env);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(QStringLiteral(ZELMAR_BINARY), args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, QStringLiteral("did not finish normally")};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace cli_test
