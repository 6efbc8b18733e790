# The house's layers, held by the build. A production target compiles
# against an include folder of its own that holds only the parts of the
# repository its layer may use (as links into the sources), so an include
# that reaches up, or past the layer's front door, does not resolve. Tests,
# benchmarks and fuzzers see the whole tree.
#
# act_layer_sees(target path...): paths are relative to the repository root,
# folders or single headers; a header a visible header includes must be
# visible too.
function(act_layer_sees target)
  set(farm ${PROJECT_BINARY_DIR}/layers/${target})
  file(REMOVE_RECURSE ${farm})
  foreach(path IN LISTS ARGN)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${path})
      message(FATAL_ERROR "act_layer_sees(${target}): no ${path} in the sources")
    endif()
    get_filename_component(parent ${farm}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${path} ${farm}/${path} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${farm})
endfunction()

# What each layer may see, bottom up.
set(ACT_SEES_PLATFORM platform)
set(ACT_SEES_PROFILE ${ACT_SEES_PLATFORM} profile)
set(ACT_SEES_DB_BASE ${ACT_SEES_PLATFORM} db/errors.h db/statement_counts.h db/value.h)
set(ACT_SEES_JET_FILE ${ACT_SEES_DB_BASE} db/jet/file)
set(ACT_SEES_JET_TABLE ${ACT_SEES_JET_FILE} db/jet/table)
set(ACT_SEES_JET_INDEX ${ACT_SEES_JET_TABLE} db/jet/index)
set(ACT_SEES_JET_WRITE ${ACT_SEES_JET_INDEX} db/jet/write)
set(ACT_SEES_JET_CHECK ${ACT_SEES_JET_WRITE} db/jet/check)
set(ACT_SEES_JET_MAINTAIN ${ACT_SEES_JET_CHECK} db/jet/maintain)
set(ACT_SEES_SQL ${ACT_SEES_DB_BASE} db/sql)
set(ACT_SEES_EXEC ${ACT_SEES_JET_WRITE} db/sql db/exec)
set(ACT_SEES_DAO ${ACT_SEES_EXEC} db/dao)
# The run enters the database only through the DAO facade (and the value
# type its calls hand back).
set(ACT_SEES_ENGINE ${ACT_SEES_PROFILE} db/statement_counts.h db/value.h db/dao engine)
set(ACT_SEES_UI ${ACT_SEES_ENGINE} ui)
set(ACT_SEES_TOOLS ${ACT_SEES_PLATFORM} db tools)
