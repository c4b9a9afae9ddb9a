// SPDX-License-Identifier: ISC
// Where the user's files live: the home folder and the Music folder of the
// desktop's user-dirs file.
#pragma once

#include <string>

namespace userFolders {

// $HOME; where it is unset or empty, the home folder of the password
// database's entry for this user; empty when there is none either (then the
// instrument runs on defaults and writes nothing).
std::string home();
// The rule of home(), given the environment's value and the password
// database's (either may be null).
std::string homeOf(const char* environment, const char* passwordDatabase);
// XDG_MUSIC_DIR from $XDG_CONFIG_HOME/user-dirs.dirs (default
// ~/.config/user-dirs.dirs), with $HOME and a leading ~ expanded; else
// home()/Music; empty when there is no home folder at all.
std::string music();
// Creates `path` and any missing parents (folders 0775, the user's own
// file-creation mask applying). True when it exists as a folder afterwards.
bool makeFolders(const std::string& path);
bool exists(const std::string& path);

}  // namespace userFolders
