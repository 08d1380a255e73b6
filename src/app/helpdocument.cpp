#include "helpdocument.h"

#include "programfolders.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

// On a desktop that xdg-utils serves, whether any program opens .doc files;
// elsewhere the desktop's own answer to opening it counts.
bool hasDocumentHandler()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
        return true;
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("application/msword")});
    return !query.waitForFinished(3000) || !query.readAllStandardOutput().trimmed().isEmpty();
#else
    return true;
#endif
}

} // namespace

QString OpenHelpDocument()
{
    const QString name = QStringLiteral("HELP.doc");
    QString path = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (!QFileInfo::exists(path) && ProgramFolders::runsInstalled())
        path = QDir(ProgramFolders::installedDataFolder()).filePath(name);
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(path))
        return QStringLiteral("The manual %1 cannot be found: install the program again!").arg(shown);
    if (!hasDocumentHandler() || !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return QStringLiteral("The manual %1 cannot be opened: it needs a word processor that reads .doc files, "
                              "such as LibreOffice Writer!")
            .arg(shown);
    return QString();
}
