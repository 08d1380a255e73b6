#pragma once

#include <QString>
#include <QStringList>

// How far each panel has come, on standard error: on a terminal one line
// per panel, redrawn in place with a bar; otherwise a plain line whenever
// a panel reaches its next step. The messages the window would show as
// boxes go there too, word for word, after the panel's device.
class ProgressView
{
public:
    ProgressView();

    int addRow();
    void show(int row, const QString &device, const QString &step, int done, int of);
    void say(const QString &device, const QString &text);
    // The last drawing stays; what follows starts on a line of its own.
    void close();

private:
    void redraw();

    bool m_terminal = false;
    QStringList m_lines;
    QStringList m_steps;
    int m_drawn = 0; // lines on the screen that redraw goes back over
};
