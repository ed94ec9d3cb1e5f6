# add_fmx_package(NAME <target> JAR <jar-path-or-target> OUTPUT <file.fmx>
#                 [BRIDGE <target-or-path>] [WRAPPER <target-or-path>])
#
# Packs a JAR into a plug-in file as part of the build: the wrapper, the split
# marker, the bridge and the JAR end to end, written by the fmxpack tool. NAME
# becomes a target that is built by default. A relative OUTPUT is taken in the
# current binary folder. JAR may name a target made by add_jar(); BRIDGE and
# WRAPPER may name library targets; a library whose FMX_PACKED_FILE property
# names a file (the bridge: a copy without debugging sections) is packed as
# that file. WRAPPER defaults to the wrapper of this build, BRIDGE to the
# target named by FMX_BRIDGE_TARGET.

set(FMX_BRIDGE_TARGET "Tobrin3" CACHE STRING
    "Target of the bridge shared object that plug-in files carry by default")

# Sets out_file to the file a target or path stands for and out_depends to
# what the packing step must wait for.
function(_fmx_package_input value out_file out_depends)
  if(TARGET ${value})
    get_target_property(jar_file ${value} JAR_FILE)
    get_target_property(packed_file ${value} FMX_PACKED_FILE)
    if(jar_file)
      set(${out_file} ${jar_file} PARENT_SCOPE)
      set(${out_depends} ${value} ${jar_file} PARENT_SCOPE)
    elseif(packed_file)
      # A library that names the copy of itself meant for packing.
      set(${out_file} ${packed_file} PARENT_SCOPE)
      set(${out_depends} ${value} PARENT_SCOPE)
    else()
      set(${out_file} $<TARGET_FILE:${value}> PARENT_SCOPE)
      set(${out_depends} ${value} PARENT_SCOPE)
    endif()
  else()
    get_filename_component(path ${value} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    set(${out_file} ${path} PARENT_SCOPE)
    set(${out_depends} ${path} PARENT_SCOPE)
  endif()
endfunction()

function(add_fmx_package)
  cmake_parse_arguments(PARSE_ARGV 0 FMX "" "NAME;JAR;OUTPUT;BRIDGE;WRAPPER" "")
  if(FMX_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "add_fmx_package: unknown arguments: ${FMX_UNPARSED_ARGUMENTS}")
  endif()
  foreach(required NAME JAR OUTPUT)
    if(NOT FMX_${required})
      message(FATAL_ERROR "add_fmx_package: ${required} is required")
    endif()
  endforeach()
  if(NOT FMX_WRAPPER)
    set(FMX_WRAPPER WrapperPlugin)
  endif()
  if(NOT FMX_BRIDGE)
    if(NOT (FMX_BRIDGE_TARGET AND TARGET ${FMX_BRIDGE_TARGET}))
      message(FATAL_ERROR "add_fmx_package(${FMX_NAME}): no BRIDGE given and this build has no "
                          "bridge target '${FMX_BRIDGE_TARGET}' (yet)")
    endif()
    set(FMX_BRIDGE ${FMX_BRIDGE_TARGET})
  endif()

  _fmx_package_input(${FMX_JAR} jar_file jar_depends)
  _fmx_package_input(${FMX_WRAPPER} wrapper_file wrapper_depends)
  _fmx_package_input(${FMX_BRIDGE} bridge_file bridge_depends)
  get_filename_component(output ${FMX_OUTPUT} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_BINARY_DIR})

  add_custom_command(
    OUTPUT ${output}
    COMMAND fmxpack --jar ${jar_file} -o ${output} --wrapper ${wrapper_file} --bridge ${bridge_file}
    DEPENDS fmxpack ${jar_depends} ${wrapper_depends} ${bridge_depends}
    COMMENT "Packing ${FMX_OUTPUT}"
    VERBATIM)
  add_custom_target(${FMX_NAME} ALL DEPENDS ${output})
endfunction()
