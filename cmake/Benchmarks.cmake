# Google Benchmark suite; kept out of the test run. It times the engine against the plain
# per-sample reference that the bit-exactness tests also use, so every figure has a baseline
# measured in the same run.
find_package(benchmark REQUIRED)

add_executable(TarvolenEQBenchmarks
    benchmarks/ProcessBlockBench.cpp
    tests/helpers/ReferenceEngine.cpp)

target_include_directories(TarvolenEQBenchmarks PRIVATE
    $<TARGET_PROPERTY:TarvolenEQ,INCLUDE_DIRECTORIES>
    ${CMAKE_CURRENT_SOURCE_DIR}/tests)

target_compile_definitions(TarvolenEQBenchmarks PRIVATE
    $<TARGET_PROPERTY:TarvolenEQ,COMPILE_DEFINITIONS>)

target_link_libraries(TarvolenEQBenchmarks PRIVATE
    TarvolenEQ
    benchmark::benchmark
    juce::juce_recommended_config_flags
    juce::juce_recommended_warning_flags)

# How long restoring crafted saved blocks takes; a program of its own, so the processBlock
# figures keep their own repetitions and the slow blocks run only as often as they must.
add_executable(TarvolenEQStateRestoreBenchmarks
    benchmarks/StateRestoreBench.cpp)

target_include_directories(TarvolenEQStateRestoreBenchmarks PRIVATE
    $<TARGET_PROPERTY:TarvolenEQ,INCLUDE_DIRECTORIES>)

target_compile_definitions(TarvolenEQStateRestoreBenchmarks PRIVATE
    $<TARGET_PROPERTY:TarvolenEQ,COMPILE_DEFINITIONS>)

target_link_libraries(TarvolenEQStateRestoreBenchmarks PRIVATE
    TarvolenEQ
    benchmark::benchmark
    juce::juce_recommended_config_flags
    juce::juce_recommended_warning_flags)
