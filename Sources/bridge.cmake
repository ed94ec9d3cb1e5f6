# The bridge's protocol core: the central object, framing, the response loop
# and the host callbacks. Static and position independent: the bridge shared
# object links it.
add_library(corvane_bridge_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/BridgeState.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CallbackReply.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CodeToParent.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FMInitParams.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PipeParent.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PipeParentCallbackTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PipeParentChannel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PipeParentDataCallbacks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PipeParentFraming.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PipeParentResponseLoop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PipeParentTokens.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PluginFunction.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SigpipeGuard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TokenTable.cpp)
set_target_properties(corvane_bridge_core PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(corvane_bridge_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(corvane_bridge_core PUBLIC corvane_util FMWrapper fmt::fmt-header-only Threads::Threads)
