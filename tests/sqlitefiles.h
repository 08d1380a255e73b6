#pragma once

// Helpers for tests on record files: writing through the sqlite3 library
// itself (as another tool would), checksums, and taking write access away.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <fcntl.h>
#include <linux/fs.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

// Runs SQL on the file with the sqlite3 library; the error text, or empty.
inline QString sqliteExec(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    QString result;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK) {
        result = QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        char *message = nullptr;
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK)
            result = QString::fromUtf8(message);
        sqlite3_free(message);
    }
    sqlite3_close(db);
    return result;
}

// The first value the query gives, as text.
inline QString sqliteValue(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *statement = nullptr;
    QString value;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

// The file's checksum; empty when there is no file.
inline QByteArray checksum(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

// Takes write access to a file or a folder away while it lives. Mode bits
// do not bind root, so for root the file is made immutable as well.
class WriteProtection
{
public:
    explicit WriteProtection(const QString &path)
        : m_path(QFile::encodeName(path))
    {
        struct stat st{};
        ::stat(m_path.constData(), &st);
        m_mode = st.st_mode;
        m_isDir = S_ISDIR(st.st_mode);
        ::chmod(m_path.constData(), m_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH));
        if (writable() && setImmutable(true))
            m_immutable = true;
    }
    ~WriteProtection()
    {
        if (m_immutable)
            setImmutable(false);
        ::chmod(m_path.constData(), m_mode);
    }
    // False when this user can write it all the same.
    bool holds() const { return !writable(); }

private:
    bool writable() const
    {
        if (!m_isDir) {
            const int fd = ::open(m_path.constData(), O_WRONLY);
            if (fd >= 0)
                ::close(fd);
            return fd >= 0;
        }
        const QByteArray probe = m_path + "/.write-probe";
        const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT, 0600);
        if (fd < 0)
            return false;
        ::close(fd);
        ::unlink(probe.constData());
        return true;
    }
    bool setImmutable(bool on) const
    {
        const int fd = ::open(m_path.constData(), O_RDONLY | (m_isDir ? O_DIRECTORY : 0));
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }

    QByteArray m_path;
    mode_t m_mode = 0;
    bool m_isDir = false;
    bool m_immutable = false;
};
