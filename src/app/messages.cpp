#include "messages.h"

#include "programend.h"

#include <QMessageBox>
#include <cstdio>

namespace Messages {

namespace {

Responder &responder()
{
    static Responder current;
    return current;
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
        std::fflush(stdout);
        return question ? Answer::Yes : Answer::Ok;
    }
    QMessageBox box(question ? QMessageBox::Question : QMessageBox::NoIcon, title, text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
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

void inform(QWidget *parent, const QString &text, const QString &title)
{
    if (ProgramEnd::isEnding())
        return;
    answerOf(parent, text, title, false);
}

bool ask(QWidget *parent, const QString &text, const QString &title)
{
    if (ProgramEnd::isEnding())
        return false;
    return answerOf(parent, text, title, true) == Answer::Yes;
}

} // namespace Messages
