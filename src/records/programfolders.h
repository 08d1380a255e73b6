#pragma once

#include <QString>

// Where the program's own files are. A program run from its build folder
// (or any folder it was copied to) keeps its files beside itself. An
// installed program lies in the install's bin folder and finds what the
// install put beside it in the data folder next to that (../share/kv4810g
// for /usr/bin/kv4810g); the files a technician writes then go to the
// user's data folder, since the program's folder is not writable.
namespace ProgramFolders {

// The install's data folder of the program, or an empty string when the
// program does not run installed.
QString installedDataFolder();

inline bool runsInstalled()
{
    return !installedDataFolder().isEmpty();
}

} // namespace ProgramFolders
