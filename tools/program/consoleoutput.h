#pragma once

#include <QJsonObject>
#include <QString>

// A text kept on its line: a line break or a tab in a value would break a
// list's lines and columns.
QString oneLine(QString text);

// Standard output with every write checked: a full disk, a closed pipe or
// descriptor is remembered, and nothing more is written after it.
class ConsoleOutput
{
public:
    void line(const QString &text);
    void json(const QJsonObject &document);
    // Flushes; false, with *error saying why, once any write has failed.
    bool finish(QString *error);

private:
    void write(const QByteArray &bytes);

    int m_errno = 0;
};
