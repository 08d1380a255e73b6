#pragma once

// Record files written through the sqlite3 library itself (as another tool would), and their checksums.
#include <QCryptographicHash>
#include <QFile>

#include <sqlite3.h>

// Runs SQL on the file; the error text, or empty.
inline QString sqliteExec(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    char *message = nullptr;
    QString result;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        result = QString::fromUtf8(sqlite3_errmsg(db));
    else if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK)
        result = QString::fromUtf8(message);
    sqlite3_free(message);
    sqlite3_close(db);
    return result;
}

// The file's checksum; empty when there is no file.
inline QByteArray checksum(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}
