#include "helpdocument.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

void OpenHelpDocument()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/HELP.doc");
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
