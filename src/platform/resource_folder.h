// SPDX-License-Identifier: ISC
// Where the instrument's resources (clips, bitmaps, font) are, found from the
// module that holds the code or from a path a host hands over. Every folder
// returned ends in '/'; "" means none was found.
#pragma once

#include <string>

// $WOBBLYTONE_RESOURCES with a trailing '/', or "" when it is not set.
std::string resourceFolderFromEnvironment();

// The resources of the module file at `modulePath`, by the shape of the
// bundle it lies in:
//   .../Wobblytone.clap                    -> .../Wobblytone-resources/
//   .../B.lv2/module.so                    -> .../B.lv2/resources/
//   .../B.vst3/Contents/<arch>/module.so   -> .../B.vst3/resources/
//   .../program (an executable)            -> .../resources/
// "" when that folder does not exist.
std::string resourceFolderOfModule(const std::string& modulePath);

// The resources for a path a host gave the plug-in. Hosts differ: a CLAP
// host may pass the .clap file or the folder that holds it; LV2 and VST3
// hosts pass the bundle. A file is read as the module; a folder as a bundle
// (its resources/) or as the folder beside a .clap (its
// Wobblytone-resources/). "" when none of these exists.
std::string resourceFolderOfHostPath(const std::string& path);

// The file of the loaded module (shared object or executable) that holds
// this function, with symbolic links resolved; "" if it cannot be told.
std::string loadedModulePath();
