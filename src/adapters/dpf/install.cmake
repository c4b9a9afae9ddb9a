# SPDX-License-Identifier: ISC
# Where `cmake --install` puts the plug-ins and the standalone app. With the
# prefix ~/.local (as scripts/install.sh sets it) the plug-ins go to the
# user's own folders that hosts scan: ~/.clap, ~/.lv2 and ~/.vst3.
if(CMAKE_INSTALL_PREFIX STREQUAL "$ENV{HOME}/.local")
  set(_user_plugins TRUE)
else()
  set(_user_plugins FALSE)
endif()
foreach(format clap lv2 vst3)
  string(TOUPPER ${format} _upper)
  if(_user_plugins)
    set(_default "$ENV{HOME}/.${format}")
  else()
    set(_default "${CMAKE_INSTALL_LIBDIR}/${format}")
  endif()
  set(WOBBLYTONE_${_upper}_DIR "${_default}" CACHE PATH "Where the ${format} plug-in is installed")
endforeach()

# CLAP: the file, with its resources in a folder beside it.
install(TARGETS Wobblytone-clap LIBRARY DESTINATION ${WOBBLYTONE_CLAP_DIR})
install(DIRECTORY ${WOBBLYTONE_RESOURCE_DIR}/ DESTINATION ${WOBBLYTONE_CLAP_DIR}/Wobblytone-resources)
# LV2 and VST3: the whole bundle, resources included.
install(DIRECTORY ${PROJECT_BINARY_DIR}/bin/Wobblytone.lv2 DESTINATION ${WOBBLYTONE_LV2_DIR} USE_SOURCE_PERMISSIONS)
install(DIRECTORY ${PROJECT_BINARY_DIR}/bin/Wobblytone.vst3 DESTINATION ${WOBBLYTONE_VST3_DIR} USE_SOURCE_PERMISSIONS)
# The standalone app finds its resources in the prefix's share/wobblytone,
# which the renderer installs.
install(TARGETS Wobblytone-jack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
