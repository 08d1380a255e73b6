#include "progressview.h"

#include <cstdio>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

ProgressView::ProgressView()
{
#ifdef Q_OS_UNIX
    m_terminal = ::isatty(STDERR_FILENO);
#endif
}

int ProgressView::addRow()
{
    m_lines.append(QString());
    m_steps.append(QString());
    return int(m_lines.size()) - 1;
}

void ProgressView::show(int row, const QString &device, const QString &step, int done, int of)
{
    QString line = QStringLiteral("%1: %2").arg(device, step);
    if (of > 0) {
        const int width = 20;
        const int filled = qBound(0, done * width / of, width);
        line += QStringLiteral(" [%1%2] %3/%4").arg(QString(filled, '#'), QString(width - filled, '.')).arg(done).arg(of);
    }
    m_lines[row] = line;
    if (m_terminal)
        return redraw();
    if (m_steps.at(row) != step)
        std::fprintf(stderr, "%s: %s\n", qPrintable(device), qPrintable(step));
    m_steps[row] = step;
}

void ProgressView::say(const QString &device, const QString &text)
{
    if (m_terminal && m_drawn > 0) {
        std::fprintf(stderr, "\x1b[%dA\x1b[J", m_drawn); // the bars give way, then come back below
        m_drawn = 0;
    }
    std::fprintf(stderr, "%s: %s\n", qPrintable(device), qPrintable(text));
    if (m_terminal)
        redraw();
}

void ProgressView::redraw()
{
    if (m_drawn > 0)
        std::fprintf(stderr, "\x1b[%dA", m_drawn);
    for (const QString &line : std::as_const(m_lines))
        std::fprintf(stderr, "\x1b[2K%s\n", qPrintable(line));
    m_drawn = int(m_lines.size());
    std::fflush(stderr);
}

void ProgressView::close()
{
    m_drawn = 0;
    std::fflush(stderr);
}
