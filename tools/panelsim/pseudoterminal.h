#pragma once

#include <QString>

// The panel's end of the line: a pseudo-terminal whose slave side the
// program opens like a serial port. The slave fd stays open here as well,
// so the master never sees a hang-up when the program closes the device,
// and the program can open it again.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal() { close(); }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Opens the pair, puts the slave in raw mode, makes the master non-blocking.
    bool open(QString *error);
    // A symbolic link to the slave; an old symbolic link at `path` is replaced.
    bool makeLink(const QString &path, QString *error);
    // Closes both sides, as a pulled cable does, and removes the link.
    void close();

    bool isOpen() const { return m_master >= 0; }
    // Bytes written to the program that it has not read yet.
    int unreadByProgram() const;
    int masterFd() const { return m_master; }
    QString slavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
};
