#include "recordstore.h"

#include "sqliterecordstore.h"

#include <QCoreApplication>
#include <QDir>

QString recordFilePath()
{
    const QString chosen = qEnvironmentVariable("KV4810G_RECORDS");
    if (!chosen.isEmpty())
        return chosen;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("4810G.mdb"));
}

std::unique_ptr<RecordStore> openRecordStore()
{
    return std::make_unique<SqliteRecordStore>(recordFilePath());
}
