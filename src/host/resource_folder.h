// SPDX-License-Identifier: ISC
// Where the programs that ship outside a bundle (the renderer, the installed
// standalone app) find their resources when the user says so.
#pragma once

#include <cstdlib>
#include <string>

// $WOBBLYTONE_RESOURCES with a trailing '/', or "" when it is not set.
inline std::string resourceFolderFromEnvironment() {
  const char* env = std::getenv("WOBBLYTONE_RESOURCES");
  if (!env || !*env) return "";
  const std::string path = env;
  return path.back() == '/' ? path : path + "/";
}
