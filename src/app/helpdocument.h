#pragma once

#include <QString>

// Opens HELP.doc with the desktop's handler for .doc documents: the one
// beside the program, or, when none lies there and the program runs
// installed, the one the install put in the program's data folder. Returns
// what went wrong, for the technician (the manual missing, no program to
// open it), or an empty text when the manual is on its way to the screen.
QString OpenHelpDocument();
