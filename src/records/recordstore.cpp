#include "recordstore.h"

#include "programfolders.h"
#include "serveraddress.h"
#include "serverrecordstore.h"
#include "sqliterecordstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

QString recordFilePath()
{
    const QString chosen = qEnvironmentVariable("KV4810G_RECORDS");
    if (!chosen.isEmpty())
        return chosen;
    if (ProgramFolders::runsInstalled()) {
        // The first save creates the file, but not its folder.
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(folder);
        return QDir(folder).filePath(QStringLiteral("4810G.mdb"));
    }
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("4810G.mdb"));
}

std::unique_ptr<RecordStore> openRecordStore()
{
    return openRecordStore(recordFilePath());
}

QString RecordStore::foldKey(const QString &key)
{
    QString folded = key;
    for (QChar &c : folded) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return folded;
}

std::unique_ptr<RecordStore> openRecordStore(const QString &where)
{
    if (isServerAddress(where))
        return std::make_unique<ServerRecordStore>(where);
    return std::make_unique<SqliteRecordStore>(where);
}
