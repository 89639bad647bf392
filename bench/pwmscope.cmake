# The plotter's headless replay speed; included by bench/CMakeLists.txt.
add_executable(pwmscope_bench ${CMAKE_CURRENT_LIST_DIR}/pwmscope_bench.cc)
target_link_libraries(pwmscope_bench PRIVATE pwmscope_core kit_test_support benchmark::benchmark
                      benchmark::benchmark_main)
