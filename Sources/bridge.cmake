# The bridge's core: the central object, framing, the response loop, the host
# callbacks, the child's launch and its logs. Static and position independent:
# the bridge shared object and the tests link it. The entry point files
# (BridgeEntry*.cpp) belong to the shared object alone; FMUtils.cpp is part of
# the utility library.
file(GLOB BRIDGE_CORE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_LIST_DIR}/*.cpp
  ${CMAKE_CURRENT_LIST_DIR}/headless/*.cpp)
list(FILTER BRIDGE_CORE_SOURCES EXCLUDE REGEX "/(FMUtils|BridgeEntry[^/]*)\\.cpp$")
add_library(corvane_bridge_core STATIC ${BRIDGE_CORE_SOURCES})
set_target_properties(corvane_bridge_core PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(corvane_bridge_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(corvane_bridge_core PUBLIC corvane_util FMWrapper fmt::fmt-header-only Threads::Threads)

# The bridge shared object, "Tobrin3.fmx": the core, the entry point files,
# the host library and minizip linked in statically where a static minizip
# exists. Only the three entry symbols leave it; the wrapper and the host find
# it by them, and several bridges may share one host process.
file(GLOB BRIDGE_ENTRY_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/BridgeEntry*.cpp)
add_library(Tobrin3 SHARED ${BRIDGE_ENTRY_SOURCES})
target_link_libraries(Tobrin3 PRIVATE corvane_bridge_core corvane_util FMWrapper fmt::fmt-header-only
                                      Threads::Threads ${CMAKE_DL_LIBS})
find_library(BRIDGE_STATIC_MINIZIP NAMES libminizip.a)
if(BRIDGE_STATIC_MINIZIP)
  # Placed after the utility library, which needs it; the shared minizip the
  # utility library names as well is then not needed and, with --as-needed,
  # not recorded.
  target_link_libraries(Tobrin3 PRIVATE ${BRIDGE_STATIC_MINIZIP} ZLIB::ZLIB)
endif()
set_target_properties(Tobrin3 PROPERTIES
  PREFIX ""
  SUFFIX ".fmx"
  NO_SONAME ON)
set(BRIDGE_EXPORTS_MAP ${CMAKE_CURRENT_LIST_DIR}/bridge_exports.map)
target_link_options(Tobrin3 PRIVATE
  LINKER:-soname,Tobrin3.fmx.2.0000
  LINKER:--no-undefined
  LINKER:--as-needed
  LINKER:--version-script=${BRIDGE_EXPORTS_MAP})
set_property(TARGET Tobrin3 APPEND PROPERTY LINK_DEPENDS ${BRIDGE_EXPORTS_MAP})

# Plug-in files carry the bridge without its debugging sections: the wrapper
# copies the bridge out of the plug-in file at every load, and the sections
# are thirty times the code. Sanitizer builds keep them for readable reports.
if(NOT SANITIZE AND CMAKE_OBJCOPY)
  set(BRIDGE_PACKED_FILE ${CMAKE_LIBRARY_OUTPUT_DIRECTORY}/Tobrin3-packed.fmx)
  add_custom_command(TARGET Tobrin3 POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --strip-debug $<TARGET_FILE:Tobrin3> ${BRIDGE_PACKED_FILE}
    BYPRODUCTS ${BRIDGE_PACKED_FILE}
    VERBATIM)
  set_target_properties(Tobrin3 PROPERTIES FMX_PACKED_FILE ${BRIDGE_PACKED_FILE})
endif()

# The example plug-in packed with this build's wrapper and bridge:
# lib/Example.fmx, ready for the host simulator. The Java archive is made in
# java/, which is read after this file, hence the call at the end of the
# top-level directory.
function(_bridge_add_example_package)
  if(TARGET ambrix_example_jar AND TARGET fmxpack)
    add_fmx_package(NAME ambrix_example_plugin
      JAR ambrix_example_jar
      BRIDGE Tobrin3
      OUTPUT ${CMAKE_LIBRARY_OUTPUT_DIRECTORY}/Example.fmx)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL _bridge_add_example_package)
