#include "tracewindow.h"

#include "messages.h"
#include "protocoltrace.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

TraceWindow::TraceWindow(QWidget *owner, ProtocolTrace &trace)
    : QWidget(owner, Qt::Window)
    , m_trace(trace)
{
    setObjectName(QStringLiteral("TraceWindow"));
    setWindowTitle(QStringLiteral("Protocol trace"));

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("lines"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setMaximumBlockCount(ProtocolTrace::MaxLines);

    auto *clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("clear"));
    auto *save = new QPushButton(QStringLiteral("Save..."), this);
    save->setObjectName(QStringLiteral("save"));
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(clear);
    buttons->addWidget(save);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    resize(640, 420);

    m_text->setPlainText(trace.lines().join(QLatin1Char('\n')));
    m_text->moveCursor(QTextCursor::End);
    connect(&trace, &ProtocolTrace::lineAdded, m_text, &QPlainTextEdit::appendPlainText);
    connect(&trace, &ProtocolTrace::cleared, m_text, &QPlainTextEdit::clear);
    connect(clear, &QPushButton::clicked, &trace, &ProtocolTrace::clear);
    connect(save, &QPushButton::clicked, this, &TraceWindow::save);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

TraceWindow *TraceWindow::showFor(QWidget *owner, ProtocolTrace &trace)
{
    auto *window = owner->findChild<TraceWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new TraceWindow(owner, trace);
        if (owner->isVisible())
            window->move(owner->geometry().center() - window->rect().center());
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

QString TraceWindow::text() const
{
    return m_text->toPlainText();
}

bool TraceWindow::saveTo(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *error = file.errorString();
        return false;
    }
    for (const QString &line : m_trace.lines())
        file.write(line.toUtf8() + '\n');
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void TraceWindow::save()
{
    const QString suggested = QDir::home().filePath(
        QStringLiteral("kv4810g-trace-%1.txt")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save protocol trace"), suggested,
                                                      QStringLiteral("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!saveTo(path, &error))
        Messages::inform(this, QStringLiteral("The trace could not be saved to %1: %2").arg(path, error),
                         QLatin1String(Messages::SystemInformation));
}
