#pragma once

#include "fieldcodecs.h"

// Command frames built from what the user typed. A text that cannot travel
// as the panel expects is refused (error set) before anything is sent.

// "FF0102" followed by the character code of every password character.
Encoded PasswordFrame(const QString &password);
