#include "recordstore.h"

#include "postgresrecordstore.h"
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
    return openRecordStore(recordFilePath());
}

std::unique_ptr<RecordStore> openRecordStore(const QString &where)
{
    if (PostgresRecordStore::isAddress(where))
        return std::make_unique<PostgresRecordStore>(where);
    return std::make_unique<SqliteRecordStore>(where);
}
