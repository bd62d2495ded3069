# Two GoogleTest executables: the engine suite needs no display, the editor suite runs under a
# virtual X display. Both link the plug-in's shared code and compile with its settings, so the
# tests exercise exactly the objects the formats ship.
find_package(GTest REQUIRED)
include(GoogleTest)

function(tarvolen_add_test_executable name)
    add_executable(${name} tests/Main.cpp tests/helpers/TestHelpers.cpp tests/helpers/ProcessorHarness.cpp ${ARGN})

    target_include_directories(${name} PRIVATE
        $<TARGET_PROPERTY:TarvolenEQ,INCLUDE_DIRECTORIES>
        ${CMAKE_CURRENT_SOURCE_DIR}/tests)

    target_compile_definitions(${name} PRIVATE
        $<TARGET_PROPERTY:TarvolenEQ,COMPILE_DEFINITIONS>
        TARVOLEN_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tests/data")

    target_link_libraries(${name} PRIVATE
        TarvolenEQ
        GTest::gtest
        juce::juce_recommended_config_flags
        juce::juce_recommended_warning_flags)

    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "TARVOLEN_TEST_OUTPUT_DIR=${CMAKE_BINARY_DIR}")
endfunction()

tarvolen_add_test_executable(TarvolenEQEngineTests
    tests/PluginProcessorTest.cpp
    tests/PluginProcessorRobustnessTest.cpp
    tests/PluginProcessorStateTest.cpp
    tests/PluginProcessorStateFuzzTest.cpp
    tests/PluginProcessorMappingTest.cpp
    tests/StateBlockTest.cpp
    tests/ZQ_SVFilterTest.cpp
    tests/ZQ_TubeModelTest.cpp
    tests/EngineBitExactnessTest.cpp
    tests/helpers/ReferenceEngine.cpp
    tests/helpers/FilterResponse.cpp)

tarvolen_add_test_executable(TarvolenEQEditorTests
    tests/OstrelDialTest.cpp
    tests/ZQ_FaderLAFTest.cpp
    tests/PluginEditorTest.cpp
    tests/PluginEditorLayoutTest.cpp)

# The sanitized builds check the plug-in's own code; the built bundles are loaded by the plain one.
if(TARVOLEN_SANITIZER STREQUAL "")
    include(cmake/HostTests.cmake)
endif()
