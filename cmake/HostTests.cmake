# Loads the built VST3 and LV2 plug-ins through JUCE's own hosting, as a host would: what the
# wrappers publish, that audio runs, and that state round-trips through them. The executable
# does not link the plug-in's code; it only sees the built bundles.
juce_add_console_app(TarvolenEQHostTests PRODUCT_NAME TarvolenEQHostTests)

target_sources(TarvolenEQHostTests PRIVATE
    tests/Main.cpp
    tests/helpers/TestHelpers.cpp
    tests/host/PluginHostingTest.cpp)

target_include_directories(TarvolenEQHostTests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)

target_compile_definitions(TarvolenEQHostTests PRIVATE
    JUCE_PLUGINHOST_VST3=1
    JUCE_PLUGINHOST_LV2=1
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_STANDALONE_APPLICATION=1
    TARVOLEN_VST3_BUNDLE="${CMAKE_BINARY_DIR}/TarvolenEQ_artefacts/$<CONFIG>/VST3/TarvolenEQ.vst3"
    TARVOLEN_LV2_FOLDER="${CMAKE_BINARY_DIR}/TarvolenEQ_artefacts/$<CONFIG>/LV2"
    TARVOLEN_LV2_BUNDLE="${CMAKE_BINARY_DIR}/TarvolenEQ_artefacts/$<CONFIG>/LV2/TarvolenEQ.lv2"
    TARVOLEN_LV2_URI="${TARVOLEN_LV2_URI}")

target_link_libraries(TarvolenEQHostTests PRIVATE
    juce::juce_audio_processors
    GTest::gtest
    tarvolen_build_flags
    juce::juce_recommended_config_flags
    juce::juce_recommended_warning_flags)

add_dependencies(TarvolenEQHostTests TarvolenEQ_VST3 TarvolenEQ_LV2)

gtest_discover_tests(TarvolenEQHostTests
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60)
