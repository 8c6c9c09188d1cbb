# The main program: its entry, application class and delegate, linked with
# every library of the main program that exists so far.
add_library(tv_program STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AppDelegate.cpp ${CMAKE_CURRENT_LIST_DIR}/AppDelegate.h
  ${CMAKE_CURRENT_LIST_DIR}/MyNSApplication.cpp ${CMAKE_CURRENT_LIST_DIR}/MyNSApplication.h
  ${CMAKE_CURRENT_LIST_DIR}/PreventSleep.cpp ${CMAKE_CURRENT_LIST_DIR}/PreventSleep.h)
target_include_directories(tv_program PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tv_program PUBLIC tv_main tv_about tv_comm tv_shred_engine tv_platform Qt6::Widgets Qt6::DBus)

# Tool screens plug into the main window's slots (Main/ToolSlots.cpp), so
# their libraries link into the main window's.
foreach(tool tv_fileeraser tv_wipedisk tv_repairdisk tv_uninstall tv_inter)
  if(TARGET ${tool})
    target_link_libraries(tv_main PUBLIC ${tool})
  endif()
endforeach()

add_executable(tarnwick-vantoly ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(tarnwick-vantoly PRIVATE tv_program)
# Every library defined below main-program/, whatever lands later.
foreach(list_file IN LISTS tv_main_lists)
  get_filename_component(dir ${list_file} DIRECTORY)
  get_property(dir_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(lib IN LISTS dir_targets)
    get_target_property(lib_type ${lib} TYPE)
    if(lib MATCHES "^tv_" AND lib_type STREQUAL "STATIC_LIBRARY")
      target_link_libraries(tarnwick-vantoly PRIVATE ${lib})
    endif()
  endforeach()
endforeach()
tv_stage_program(tarnwick-vantoly LIBEXEC)
