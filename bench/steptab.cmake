# A whole steptab3 run against the original trial-division build of its prime list.
if(TARGET steptab3)
  add_executable(steptab_bench ${CMAKE_CURRENT_LIST_DIR}/steptab_bench.cc)
  target_link_libraries(steptab_bench PRIVATE steptab)
  add_dependencies(steptab_bench steptab3)
endif()
