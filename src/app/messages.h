#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every message box of the program goes through here: modal, OK only (or
// Yes/No for the one question), no icon but on the question.
namespace Messages {

inline constexpr char AppTitle[] = "7158K";
inline constexpr char SystemInformation[] = "System Information";

enum class Answer { Ok, Yes, No };

// Replaces the boxes: gets each message and returns the button pressed.
// Tests answer boxes this way. KV4810G_AUTO_ANSWER=1 in the environment
// prints each message on standard output and answers OK / Yes.
using Responder = std::function<Answer(const QString &text, const QString &title, bool question)>;
void setResponder(Responder responder);

// A parent that is not on the screen (the main window before it is shown)
// gives way to the open modal dialog, or to none: the box is then centred
// on the screen. `detail` is the box's detailed text, shown on request.
void inform(QWidget *parent, const QString &text, const QString &title = QLatin1String(AppTitle),
            const QString &detail = QString());
// The detailed text of the message being answered, for responders.
QString currentDetail();
// Yes is the default button; true when the user chose Yes.
bool ask(QWidget *parent, const QString &text, const QString &title);

} // namespace Messages
