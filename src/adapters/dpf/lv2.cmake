# SPDX-License-Identifier: ISC
# LV2, from DPF's wrapper with our mends. The editor reads the engine through direct access, which in LV2 means
# the DSP and the UI live in one binary (DPF asks the host for
# instance-access): Wobblytone.so exports lv2_descriptor and
# lv2ui_descriptor, nothing else. The TTL files are written by DPF's
# generator from a twin module that also exports lv2_generate_ttl; the twin
# stays in the build tree.
foreach(module Wobblytone-lv2 Wobblytone-lv2-ttl)
  dpf__add_module(${module})
  # DPF's LV2 wrapper and UI with our mends (patches/dpf/).
  target_sources(${module} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/lv2/DistrhoPluginMainLV2.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lv2/DistrhoUIMainLV2.cpp)
  target_compile_definitions(${module} PRIVATE DISTRHO_PLUGIN_TARGET_LV2)
  target_include_directories(${module} PRIVATE ${DPF_ROOT_DIR}/distrho ${DPF_ROOT_DIR}/distrho/src)
  foreach(source DistrhoPluginLV2.cpp DistrhoPluginLV2export.cpp DistrhoUILV2.cpp)
    wobblytone_mended_dpf_source(${module} ${source})
  endforeach()
  target_link_libraries(${module} PRIVATE Wobblytone-dsp Wobblytone-ui)
  set_target_properties(${module} PROPERTIES OUTPUT_NAME Wobblytone PREFIX "")
endforeach()
set_property(TARGET Wobblytone-lv2 APPEND PROPERTY LINK_OPTIONS
  "-Xlinker" "--version-script=${CMAKE_CURRENT_SOURCE_DIR}/lv2/lv2.version")
set_target_properties(Wobblytone-lv2 PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bin/Wobblytone.lv2")
dpf__set_module_export_list(Wobblytone-lv2-ttl lv2)
set_target_properties(Wobblytone-lv2-ttl PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/obj/lv2-ttl")

dpf__add_lv2_ttl_generator()
file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/bin/Wobblytone.lv2")
# The generator unloads the module before it exits, so a sanitizer build
# would report the module's process-lifetime allocations as leaks.
add_custom_command(TARGET Wobblytone-lv2-ttl POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:lv2_ttl_generator> "$<TARGET_FILE:Wobblytone-lv2-ttl>"
  WORKING_DIRECTORY "${PROJECT_BINARY_DIR}/bin/Wobblytone.lv2"
  VERBATIM)
add_dependencies(Wobblytone-lv2-ttl lv2_ttl_generator)
add_dependencies(Wobblytone-lv2 Wobblytone-lv2-ttl)
