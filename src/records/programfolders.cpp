#include "programfolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ProgramFolders {

QString installedDataFolder()
{
    // The relative path from the install's bin folder to its data folder,
    // as the build configured the install.
    const QString data = QDir(QCoreApplication::applicationDirPath())
                             .filePath(QStringLiteral(KV4810G_DATA_FROM_BIN));
    return QFileInfo(data).isDir() ? QDir::cleanPath(data) : QString();
}

} // namespace ProgramFolders
