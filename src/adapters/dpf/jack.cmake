# SPDX-License-Identifier: ISC
# The standalone app: DPF's JACK host, which loads libjack at run time and
# falls back to ALSA (through DPF's RtAudio bridge) when no JACK server runs.
# Built with DPF's runtime self-test, run as `wobblytone selftest`.
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
dpf__add_executable(Wobblytone-jack)
dpf__add_plugin_main(Wobblytone-jack jack)
dpf__add_ui_main(Wobblytone-jack jack TRUE)
target_compile_definitions(Wobblytone-jack PRIVATE HAVE_JACK HAVE_RTAUDIO HAVE_ALSA DPF_RUNTIME_TESTING)
# DPF's self-test compares member function addresses.
target_compile_options(Wobblytone-jack PRIVATE -Wno-pmf-conversions)
target_include_directories(Wobblytone-jack PRIVATE ${DPF_ROOT_DIR}/distrho/src/jackbridge)
target_link_libraries(Wobblytone-jack PRIVATE Wobblytone-dsp Wobblytone-ui PkgConfig::ALSA ${CMAKE_DL_LIBS} Threads::Threads)
set_target_properties(Wobblytone-jack PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bin"
  OUTPUT_NAME wobblytone)
# DPF takes the program's folder as the bundle when resources/ is beside it.
add_custom_command(TARGET Wobblytone-jack POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${WOBBLYTONE_RESOURCE_DIR} ${PROJECT_BINARY_DIR}/bin/resources
  VERBATIM)
add_dependencies(Wobblytone-jack wobblytone_clips wobblytone_artwork)
