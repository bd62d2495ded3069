# The program that draws the editor's pictures. It is run by hand when they change and its
# output is committed in resources/, so the plug-in build never depends on it.
juce_add_console_app(TarvolenPictures
    PRODUCT_NAME "TarvolenPictures")

target_sources(TarvolenPictures PRIVATE
    tools/DrawPictures.cpp)

target_compile_definitions(TarvolenPictures PRIVATE
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0)

target_link_libraries(TarvolenPictures PRIVATE
    juce::juce_core
    juce::juce_events
    juce::juce_graphics
    tarvolen_build_flags
    juce::juce_recommended_config_flags
    juce::juce_recommended_warning_flags)
