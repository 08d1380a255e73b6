#pragma once

// Record files written through the sqlite3 library itself (as another tool would), checksums, write access taken.
#include <QCryptographicHash>
#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Takes write access to a file or folder away while it lives (for root, by making it immutable too).
class WriteProtection
{
public:
    explicit WriteProtection(const QString &path) : m_path(QFile::encodeName(path))
    {
        struct stat st{};
        ::stat(m_path.constData(), &st);
        m_mode = st.st_mode;
        ::chmod(m_path.constData(), m_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH));
        m_immutable = !holds() && setImmutable(true);
    }
    ~WriteProtection()
    {
        if (m_immutable)
            setImmutable(false);
        ::chmod(m_path.constData(), m_mode);
    }
    // False when this user can write it all the same.
    bool holds() const { return ::access(m_path.constData(), W_OK) != 0; }

private:
    bool setImmutable(bool on) const
    {
        const int fd = ::open(m_path.constData(), O_RDONLY | (S_ISDIR(m_mode) ? O_DIRECTORY : 0));
        int flags = 0;
        bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0)
            ::close(fd);
        return ok;
    }

    QByteArray m_path;
    mode_t m_mode = 0;
    bool m_immutable = false;
};
