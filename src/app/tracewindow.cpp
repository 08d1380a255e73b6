#include "tracewindow.h"

#include "messages.h"
#include "protocoltrace.h"
#include "tofront.h"
#include "ui_TraceWindow.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QSaveFile>

TraceWindow::TraceWindow(QWidget *owner, ProtocolTrace &trace)
    : QWidget(owner, Qt::Window)
    , ui(new Ui::TraceWindow)
    , m_trace(trace)
{
    ui->setupUi(this);
    ui->lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ui->lines->setMaximumBlockCount(ProtocolTrace::MaxLines);
    ui->lines->setPlainText(trace.lines().join(QLatin1Char('\n')));
    ui->lines->moveCursor(QTextCursor::End);
    connect(&trace, &ProtocolTrace::lineAdded, ui->lines, &QPlainTextEdit::appendPlainText);
    connect(&trace, &ProtocolTrace::cleared, ui->lines, &QPlainTextEdit::clear);
    connect(ui->clear, &QPushButton::clicked, &trace, &ProtocolTrace::clear);
    connect(ui->save, &QPushButton::clicked, this, &TraceWindow::save);
}

TraceWindow::~TraceWindow()
{
    delete ui;
}

TraceWindow *TraceWindow::showFor(QWidget *owner, ProtocolTrace &trace)
{
    auto *window = owner->findChild<TraceWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new TraceWindow(owner, trace);
        if (owner->isVisible())
            window->move(owner->geometry().center() - window->rect().center());
    }
    bringToFront(window);
    return window;
}

QString TraceWindow::text() const
{
    return ui->lines->toPlainText();
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
