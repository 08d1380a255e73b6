#pragma once

// Opens HELP.doc with the desktop's handler for .doc documents: the one
// beside the program, or, when none lies there and the program runs
// installed, the one the install put in the program's data folder.
// Whatever goes wrong is ignored, silently.
void OpenHelpDocument();
