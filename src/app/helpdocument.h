#pragma once

// Opens HELP.doc beside the program with the desktop's handler for .doc
// documents. Whatever goes wrong is ignored, silently.
void OpenHelpDocument();
