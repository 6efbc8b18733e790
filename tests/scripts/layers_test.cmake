# The layers are held by the build: a source of a layer that includes a
# header its layer may not use fails to compile, and one that includes a
# header below it compiles. Each case compiles one line against the layer's
# own include folder, as the build compiles that layer's sources.
#
# cmake -DCXX=<compiler> -DLAYERS=<build>/layers -DWORK=<folder> -P layers_test.cmake

# target|header|whether it may be included
set(cases
  "act_platform|platform/file_system.h|yes"
  "act_platform|engine/update_run.h|no"
  "act_platform|db/value.h|no"
  "act_jet_file|db/jet/file/pager.h|yes"
  "act_jet_file|db/jet/table/table_definition.h|no"
  "act_jet_table|db/exec/condition.h|no"
  "act_sql|db/jet/file/pager.h|no"
  "act_exec|db/dao/dao.h|no"
  "act_dao|db/exec/statement_executor.h|yes"
  "act_engine|db/dao/dao.h|yes"
  "act_engine|db/jet/file/pager.h|no"
  "act_engine|db/exec/statement_executor.h|no"
  "act_engine|ui/cli/cli_host.h|no"
  "act_profile|engine/run_paths.h|no"
  "act_cli|engine/update_run.h|yes"
  "act_jetsql|engine/update_run.h|no")

file(MAKE_DIRECTORY ${WORK})
set(failures "")
foreach(entry IN LISTS cases)
  string(REPLACE "|" ";" case "${entry}")
  list(GET case 0 target)
  list(GET case 1 header)
  list(GET case 2 allowed)
  if(NOT IS_DIRECTORY ${LAYERS}/${target})
    string(APPEND failures "\n  no include folder for ${target}")
    continue()
  endif()
  file(WRITE ${WORK}/probe.cpp "#include \"${header}\"\n")
  execute_process(
    COMMAND ${CXX} -std=c++20 -fsyntax-only -I${LAYERS}/${target} ${WORK}/probe.cpp
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
  if(allowed STREQUAL "yes" AND NOT status EQUAL 0)
    string(APPEND failures "\n  ${target} cannot include ${header}, which its layer may use:\n${errors}")
  elseif(allowed STREQUAL "no" AND status EQUAL 0)
    string(APPEND failures "\n  ${target} can include ${header}, which lies outside its layer")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "layers not held:${failures}")
endif()
