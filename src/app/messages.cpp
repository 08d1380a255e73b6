#include "messages.h"

#include "programend.h"

#include <QApplication>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <cstdio>

namespace Messages {

namespace {

Responder &responder()
{
    static Responder current;
    return current;
}

QString &detailText()
{
    static QString current;
    return current;
}

QWidget *visibleOwner(QWidget *parent)
{
    if (parent && parent->isVisible())
        return parent;
    QWidget *modal = QApplication::activeModalWidget();
    return modal && modal->isVisible() ? modal : nullptr;
}

bool autoAnswer()
{
    return qEnvironmentVariableIntValue("KV4810G_AUTO_ANSWER") == 1;
}

Answer answerOf(QWidget *parent, const QString &text, const QString &title, bool question)
{
    if (responder())
        return responder()(text, title, question);
    if (autoAnswer()) {
        std::printf("%s: %s\n", qPrintable(title), qPrintable(text));
        if (!detailText().isEmpty())
            std::printf("%s\n", qPrintable(detailText()));
        std::fflush(stdout);
        return question ? Answer::Yes : Answer::Ok;
    }
    QMessageBox box(question ? QMessageBox::Question : QMessageBox::NoIcon, title, text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, visibleOwner(parent));
    box.setDetailedText(detailText());
    box.setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
    const int pressed = box.exec();
    if (question)
        return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
    return Answer::Ok;
}

} // namespace

void setResponder(Responder r)
{
    responder() = std::move(r);
}

void inform(QWidget *parent, const QString &text, const QString &title, const QString &detail)
{
    if (ProgramEnd::isEnding())
        return;
    const QScopedValueRollback<QString> shown(detailText(), detail);
    answerOf(parent, text, title, false);
}

QString currentDetail()
{
    return detailText();
}

bool ask(QWidget *parent, const QString &text, const QString &title)
{
    if (ProgramEnd::isEnding())
        return false;
    const QScopedValueRollback<QString> shown(detailText(), QString());
    return answerOf(parent, text, title, true) == Answer::Yes;
}

} // namespace Messages
