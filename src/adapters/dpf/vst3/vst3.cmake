# SPDX-License-Identifier: ISC
# VST3: the bundle DPF's own recipe makes (Wobblytone.vst3/Contents/<arch>-linux/Wobblytone.so
# exporting GetPluginFactory, ModuleEntry and ModuleExit only), built from
# DPF's VST3 wrapper with our mends, which give the parameters their fixed
# ids. When the editor joins, this module also takes DPF's UI main
# (dpf__add_ui_main) and Wobblytone-ui, as DPF's recipe does.
dpf__determine_vst3_package_architecture(vst3_arch)
dpf__add_module(Wobblytone-vst3)
target_sources(Wobblytone-vst3 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DistrhoPluginMainVST3.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DistrhoUIMainVST3.cpp)
wobblytone_mended_dpf_source(Wobblytone-vst3 DistrhoPluginVST3.cpp)
wobblytone_mended_dpf_source(Wobblytone-vst3 DistrhoUIVST3.cpp)
target_compile_definitions(Wobblytone-vst3 PRIVATE DISTRHO_PLUGIN_TARGET_VST3)
target_include_directories(Wobblytone-vst3 PRIVATE ${DPF_ROOT_DIR}/distrho ${DPF_ROOT_DIR}/distrho/src)
wobblytone_target_flags(Wobblytone-vst3)
dpf__set_module_export_list(Wobblytone-vst3 vst3)
target_link_libraries(Wobblytone-vst3 PRIVATE Wobblytone-dsp Wobblytone-ui)
set_target_properties(Wobblytone-vst3 PROPERTIES
  ARCHIVE_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/obj/vst3"
  LIBRARY_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bin/Wobblytone.vst3/Contents/${vst3_arch}-linux"
  OUTPUT_NAME Wobblytone
  PREFIX "")
