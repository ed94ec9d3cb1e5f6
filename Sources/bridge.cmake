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
