// SPDX-License-Identifier: ISC
// Where the user's files live: the home folder and the Music folder of the
// desktop's user-dirs file.
#pragma once

#include <string>

namespace userFolders {

// $HOME, or empty when it is unset.
std::string home();
// XDG_MUSIC_DIR from $XDG_CONFIG_HOME/user-dirs.dirs (default
// ~/.config/user-dirs.dirs), with $HOME and a leading ~ expanded; else $HOME/Music.
std::string music();
// Creates `path` and any missing parents (folders 0775, the user's own
// file-creation mask applying). True when it exists as a folder afterwards.
bool makeFolders(const std::string& path);
bool exists(const std::string& path);

}  // namespace userFolders
