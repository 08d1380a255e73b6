#pragma once

#include <QString>

// The panel's password, never from the command line: the first line of
// passwordFile when one is given, else KV4810G_PASSWORD, else asked on the
// terminal without echo. False, with *error saying why, when none is had.
bool readPassword(const QString &passwordFile, QString *password, QString *error);
