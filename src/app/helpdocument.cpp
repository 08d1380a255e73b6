#include "helpdocument.h"

#include "programfolders.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

void OpenHelpDocument()
{
    const QString name = QStringLiteral("HELP.doc");
    QString path = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (!QFileInfo::exists(path) && ProgramFolders::runsInstalled())
        path = QDir(ProgramFolders::installedDataFolder()).filePath(name);
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
