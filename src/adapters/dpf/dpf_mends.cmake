# SPDX-License-Identifier: ISC
# DPF sources that need our mends: each is copied from DPF into the build
# tree as mended/<name> and the patch patches/dpf/<name>.patch is applied to
# it when CMake configures the build. The patches show exactly what we
# changed, and take upstream's file as it comes; a DPF whose file no longer
# takes a patch stops the configuration with the patch's own complaint.
# CMake configures again whenever a patch or DPF's file changes.
#
# To change a mend: scripts/mend-dpf.sh edit <name> writes the mended file
# to edit, scripts/mend-dpf.sh save <name> writes the patch back from it.
find_program(PATCH_PROGRAM patch REQUIRED)
set(WOBBLYTONE_MENDED_DPF_DIR ${CMAKE_BINARY_DIR}/dpf-mended)

# Writes mended/<name> from DPF's distrho/src/<name> and our patch.
function(wobblytone_mend_dpf_file name)
  set(original ${DPF_ROOT_DIR}/distrho/src/${name})
  set(patch ${PROJECT_SOURCE_DIR}/patches/dpf/${name}.patch)
  set(mended ${WOBBLYTONE_MENDED_DPF_DIR}/mended/${name})
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${original} ${patch})
  file(MAKE_DIRECTORY ${WOBBLYTONE_MENDED_DPF_DIR}/mended)
  # Patched beside the final name and renamed when whole, so that a failed
  # patch leaves no half-mended file to compile.
  configure_file(${original} ${mended}.new COPYONLY)
  execute_process(
    COMMAND ${PATCH_PROGRAM} --quiet --forward --no-backup-if-mismatch -r - ${mended}.new ${patch}
    RESULT_VARIABLE failed
    OUTPUT_VARIABLE said
    ERROR_VARIABLE said)
  if(failed)
    file(REMOVE ${mended}.new)
    message(FATAL_ERROR "patches/dpf/${name}.patch no longer applies to ${original}:\n${said}")
  endif()
  # Written only when its text changes, so that a new configuration does not
  # rebuild the plug-ins.
  configure_file(${mended}.new ${mended} COPYONLY)
  file(REMOVE ${mended}.new)
endfunction()

# Lets `target` include the mended copy of DPF's distrho/src/<name> as
# "mended/<name>".
function(wobblytone_mended_dpf_source target name)
  get_property(done GLOBAL PROPERTY wobblytone_mended_${name})
  if(NOT done)
    wobblytone_mend_dpf_file(${name})
    set_property(GLOBAL PROPERTY wobblytone_mended_${name} TRUE)
  endif()
  target_include_directories(${target} PRIVATE ${WOBBLYTONE_MENDED_DPF_DIR})
  set_property(TARGET ${target} APPEND PROPERTY OBJECT_DEPENDS ${WOBBLYTONE_MENDED_DPF_DIR}/mended/${name})
endfunction()
