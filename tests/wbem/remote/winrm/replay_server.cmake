# The WinRM replay server's launcher for the WS-Management client tests.
# include() this file, then link cimscope_winrm_replay into the test target.
include_guard(GLOBAL)

add_library(cimscope_winrm_replay STATIC "${CMAKE_CURRENT_LIST_DIR}/replay_server.cpp")
target_include_directories(cimscope_winrm_replay PUBLIC "${CMAKE_CURRENT_LIST_DIR}")
target_compile_definitions(cimscope_winrm_replay
  PUBLIC CIMSCOPE_WINRM_REPLAY="${CMAKE_CURRENT_LIST_DIR}/replay_server.py"
  PRIVATE CIMSCOPE_FIXTURES="${CIMSCOPE_FIXTURES}")
