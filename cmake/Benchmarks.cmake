# Google Benchmark suite; kept out of the test run.
find_package(benchmark REQUIRED)

add_executable(TarvolenEQBenchmarks
    benchmarks/ProcessBlockBench.cpp)

target_include_directories(TarvolenEQBenchmarks PRIVATE
    $<TARGET_PROPERTY:TarvolenEQ,INCLUDE_DIRECTORIES>)

target_compile_definitions(TarvolenEQBenchmarks PRIVATE
    $<TARGET_PROPERTY:TarvolenEQ,COMPILE_DEFINITIONS>)

target_link_libraries(TarvolenEQBenchmarks PRIVATE
    TarvolenEQ
    benchmark::benchmark
    juce::juce_recommended_config_flags
    juce::juce_recommended_warning_flags)
