#include "PluginProcessor.h"
#include "helpers/ProcessorHarness.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <thread>

using namespace TestHelpers;

namespace
{
// The parameter nodes as the parameter state creates them: identifiers in character order.
const char* const savedOrder[] = { "bandwidth", "drive",    "eq in",       "high atten",  "high boost",
                                   "high freq", "low atten", "low boost",  "low freq",    "low pass",
                                   "over sample", "stereo menu", "trim" };

juce::File goldenStateFile()
{
    return juce::File (TARVOLEN_TEST_DATA_DIR).getChildFile ("state-1.0.0.bin");
}


std::map<juce::String, float> parameterValues (const ProcessorHarness& h)
{
    return TestHelpers::parameterValues (h.processor);
}

juce::ValueTree readBlock (const juce::MemoryBlock& block)
{
    return juce::ValueTree::readFromData (block.getData(), block.getSize());
}

void restore (ProcessorHarness& h, const juce::MemoryBlock& block)
{
    h.processor.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
}
} // namespace

TEST (PluginProcessorState, SavesTheParameterTreeWithTheVariablesNodeLast)
{
    ProcessorHarness h;
    h.set (ParamIDs::drive, 7.5f);

    const auto first = h.save();
    EXPECT_EQ (first, h.save()) << "saving twice with nothing changed must give the same block";

    const auto tree = readBlock (first);
    EXPECT_TRUE (tree.hasType ("PARAMETER"));
    EXPECT_EQ (tree.getNumProperties(), 0);
    ASSERT_EQ (tree.getNumChildren(), 14);

    for (int i = 0; i < 13; ++i)
    {
        const auto node = tree.getChild (i);
        SCOPED_TRACE (savedOrder[i]);
        EXPECT_TRUE (node.hasType ("PARAM"));
        EXPECT_EQ (node["id"].toString(), savedOrder[i]);
        EXPECT_TRUE (node["value"].isDouble());
        EXPECT_EQ (static_cast<float> (node["value"]), h.get (savedOrder[i]));
    }

    const auto variables = tree.getChild (13);
    EXPECT_TRUE (variables.hasType ("TarvolenVariables"));
    EXPECT_FALSE (variables.hasProperty ("width")) << "no editor has laid itself out yet";
    ASSERT_EQ (variables.getNumChildren(), 1);
    const auto group = variables.getChild (0);
    EXPECT_TRUE (group.hasType ("Group"));
    EXPECT_EQ (group["name"].toString(), "TarvolenVars");
    ASSERT_EQ (group.getNumChildren(), 2);

    for (int i = 0; i < 2; ++i)
    {
        EXPECT_TRUE (group.getChild (i).hasType ("Parameter"));
        EXPECT_EQ (group.getChild (i)["id"].toString(), i == 0 ? "width" : "height");
        EXPECT_EQ (group.getChild (i)["value"], juce::var (0));
    }
}

TEST (PluginProcessorState, SaveHoldsAChangeMadeJustBefore)
{
    ProcessorHarness h;
    h.save();
    h.set (ParamIDs::highFreq, 12345.0f);

    EXPECT_EQ (static_cast<float> (readBlock (h.save()).getChildWithProperty ("id", "high freq")["value"]), 12345.0f);
}

TEST (PluginProcessorState, SaveReplacesWhatTheBlockHeld)
{
    ProcessorHarness h;
    juce::MemoryBlock block (100000, true);
    h.processor.getStateInformation (block);

    EXPECT_EQ (block, h.save());
}

TEST (PluginProcessorState, RestoreBringsBackValuesSizeAndSound)
{
    ProcessorHarness source;
    applyGoldenSettings (source);
    source.processor.storeEditorSize (1234, 617);
    const auto block = source.save();

    ProcessorHarness target;
    restore (target, block);
    auto& p = target.processor;

    EXPECT_EQ (parameterValues (target), parameterValues (source));
    EXPECT_EQ (p.windowWidth.load(), 1234.0f);
    EXPECT_EQ (p.windowHeight.load(), 617.0f);
    EXPECT_EQ (target.save(), block);

    EXPECT_EQ (p.tube.driveLevel.load(), 12.5f * 6.0f / 24.0f);
    EXPECT_EQ (p.highBoostFilter.gainDB.load(), 12.0f);
    EXPECT_EQ (p.highAttenFilter.cutoff.load(), 2000.0f);
    EXPECT_EQ (p.lowAttenFilter.cutoff.load(), 600.0f);
    EXPECT_EQ (p.lowPassFilter.cutoff.load(), 15000.0f);
    EXPECT_EQ (p.stereoMode.load(), 2);

    // The restored instance sounds like the saved one.
    const auto input = noise (2048, 0.5f);
    EXPECT_SAME_BITS (target.process ({ input, input })[0], source.process ({ input, input })[0]);
}

TEST (PluginProcessorState, RestoreAppliesOverSampleAfterLowPassInNodeOrder)
{
    struct Case { float lowPass; float overSample; float instanceOverSample; float expected; };
    const Case cases[] = { { 20000, 1, 0, 19000 }, { 19000, 0, 1, 20000 } };

    for (const auto& c : cases)
    {
        ProcessorHarness source;
        source.set (ParamIDs::lowPass, c.lowPass);
        auto tree = readBlock (source.save());
        tree.getChildWithProperty ("id", "over sample").setProperty ("value", c.overSample, nullptr);

        ProcessorHarness target;
        target.set (ParamIDs::overSample, c.instanceOverSample);
        restore (target, blockOf (tree));

        EXPECT_EQ (target.get (ParamIDs::lowPass), c.expected);
        EXPECT_EQ (target.processor.lowPassFilter.cutoff.load(), c.expected);
    }
}

TEST (PluginProcessorState, RefusedBlocksChangeNothing)
{
    ProcessorHarness h;
    applyGoldenSettings (h);
    restore (h, h.save());
    h.set (ParamIDs::trim, 1.5f);

    const auto before = h.save();
    const auto values = parameterValues (h);
    const auto width = h.processor.windowWidth.load();

    auto validBytes = before;
    std::vector<juce::MemoryBlock> refused { juce::MemoryBlock(), juce::MemoryBlock (16, true),
                                             juce::MemoryBlock ("garbage!", 8), blockOf (juce::ValueTree ("FOREIGN")) };

    auto wrongRoot = readBlock (before).createCopy();
    juce::ValueTree renamed ("PARAMETERS");
    renamed.copyPropertiesAndChildrenFrom (wrongRoot, nullptr);
    refused.push_back (blockOf (renamed));

    for (size_t cut = 1; cut < validBytes.getSize(); cut += 7)
        refused.emplace_back (validBytes.getData(), cut);

    for (const auto& block : refused)
    {
        SCOPED_TRACE (block.getSize());
        restore (h, block);
        EXPECT_EQ (parameterValues (h), values);
        EXPECT_EQ (h.processor.windowWidth.load(), width);
        ASSERT_EQ (h.save(), before);
    }

    h.processor.setStateInformation (nullptr, 0);
    h.processor.setStateInformation (before.getData(), -5);
    EXPECT_EQ (h.save(), before);
}

TEST (PluginProcessorState, RestoreWithoutVariablesStartsAFreshVariablesTree)
{
    ProcessorHarness source;
    source.set (ParamIDs::lowBoost, 4.0f);
    auto tree = readBlock (source.save());
    tree.removeChild (tree.getChildWithName ("TarvolenVariables"), nullptr);

    ProcessorHarness target;
    target.processor.storeEditorSize (800, 400);
    restore (target, target.save());
    restore (target, blockOf (tree));

    EXPECT_EQ (target.get (ParamIDs::lowBoost), 4.0f);
    EXPECT_EQ (target.processor.windowWidth.load(), 0.0f);
    EXPECT_TRUE (target.processor.copyVariableTree().isEquivalentTo (TarvolenEQAudioProcessor().copyVariableTree()));

    target.processor.storeEditorSize (640, 320);
    EXPECT_EQ (static_cast<int> (readBlock (target.save()).getChildWithName ("TarvolenVariables")["width"]), 640)
        << "the editor's size is recorded again";
}

TEST (PluginProcessorState, HostileValuesNeverReachTheFilters)
{
    // Every parameter away from its default, every band running and oversampling off, so a
    // hostile value that reached a gain, a frequency, the drive, the trim, the stereo mode or
    // the oversampling switch changes the settings or the sound.
    ProcessorHarness source;
    applyGoldenSettings (source);
    source.set (ParamIDs::overSample, 0.0f);
    source.set (ParamIDs::eqIn, 1.0f);
    const auto clean = source.save();

    ProcessorHarness reference;
    restore (reference, clean);
    const auto input = noise (1024, 1.0f);
    const auto referenceOutput = reference.process ({ input, noise (1024, 1.0f, 2) });
    const auto referenceValues = parameterValues (reference);
    const auto referenceSettings = dspSettings (reference.processor);

    struct Hostile { const char* name; juce::var value; };
    const Hostile hostile[] = { { "NaN", std::nan ("") }, { "+inf", INFINITY }, { "-inf", -INFINITY },
                                { "above the range", 1.0e9 }, { "below the range", -1.0e9 },
                                { "not a number", "lots" } };

    // What the restore leaves, whatever the block held, and what the instance then sounds like.
    auto restoreHostile = [&] (const juce::ValueTree& tree, ProcessorHarness& target)
    {
        restore (target, blockOf (tree));
        EXPECT_TRUE (parametersAreFiniteAndInRange (target.processor));
        EXPECT_EQ (target.processor.oversamplingOn.load(), target.get (ParamIDs::overSample) == 1.0f)
            << "the oversampling the host shows must be the one that runs";

        const auto output = target.process ({ input, noise (1024, 1.0f, 2) });
        EXPECT_TRUE (allFinite (output));
        EXPECT_TRUE (dspSettingsAreFinite (target.processor));
        return output;
    };

    // A parameter node with a hostile value: a non-finite one takes the default, any other is
    // read as a number and clamped into the range.
    for (const auto& parameter : publishedParameters)
    {
        for (const auto& v : hostile)
        {
            SCOPED_TRACE (juce::String (parameter.id) + " node holding " + v.name);
            const auto value = static_cast<double> (v.value);
            const auto expected = ! std::isfinite (value) ? parameter.defaultValue
                                                          : juce::jlimit (parameter.minimum, parameter.maximum,
                                                                          static_cast<float> (value));
            auto tree = readBlock (clean);
            tree.getChildWithProperty ("id", parameter.id).setProperty ("value", v.value, nullptr);

            ProcessorHarness target;
            restoreHostile (tree, target);

            auto expectedValues = referenceValues;
            expectedValues[parameter.id] = expected;
            EXPECT_EQ (parameterValues (target), expectedValues);
        }
    }

    // A child of any other type whose "id" names a parameter: the framework would bind it as
    // readily as the parameter's own node, so it must be dropped and the restore be that of the
    // block without it, wherever it stands.
    for (const auto& parameter : publishedParameters)
    {
        for (const auto& v : hostile)
        {
            for (const int position : { -1, 0 })
            {
                SCOPED_TRACE (juce::String ("<FOO id=\"") + parameter.id + "\" value=" + v.name + "> "
                              + (position == 0 ? "first" : "last"));
                auto tree = readBlock (clean);
                juce::ValueTree foreign ("FOO");
                foreign.setProperty ("id", parameter.id, nullptr);
                foreign.setProperty ("value", v.value, nullptr);
                tree.addChild (foreign, position, nullptr);

                ProcessorHarness target;
                const auto output = restoreHostile (tree, target);

                EXPECT_EQ (parameterValues (target), referenceValues);
                EXPECT_EQ (dspSettings (target.processor), referenceSettings);
                EXPECT_SAME_BITS (output[0], referenceOutput[0]);
                EXPECT_SAME_BITS (output[1], referenceOutput[1]);
                EXPECT_EQ (target.save(), clean) << "the foreign child is neither bound nor saved";
            }
        }
    }

    // An "id" that is not text names no parameter, in the parameter's own node or in a foreign
    // one: the node is dropped, so the restore is that of the block without it, and its save
    // restores to the same bytes. The framework would read a NaN identifier through an int cast.
    const Hostile oddIds[] = { { "NaN", std::nan ("") }, { "+inf", INFINITY }, { "huge", 1.0e300 },
                               { "an integer", 7 }, { "a boolean", true } };

    for (const auto& id : oddIds)
    {
        for (const bool ownNode : { true, false })
        {
            SCOPED_TRACE (juce::String (ownNode ? "the drive node" : "a foreign node") + " with id " + id.name);
            auto tree = readBlock (clean);
            auto without = tree.createCopy();

            if (ownNode)
            {
                auto drive = tree.getChildWithProperty ("id", ParamIDs::drive);
                drive.setProperty ("id", id.value, nullptr);
                without.removeChild (tree.indexOf (drive), nullptr);
            }
            else
            {
                juce::ValueTree foreign ("FOO");
                foreign.setProperty ("id", id.value, nullptr);
                tree.addChild (foreign, 0, nullptr);
            }

            ProcessorHarness target, expected, reopened;
            restoreHostile (tree, target);
            restore (expected, blockOf (without));
            EXPECT_EQ (parameterValues (target), parameterValues (expected));

            const auto saved = target.save();
            EXPECT_EQ (saved, expected.save());
            restore (reopened, saved);
            EXPECT_EQ (reopened.save(), saved);
        }
    }
}

TEST (PluginProcessorState, NonFiniteHostValuesChangeNothingAndAreNeverSaved)
{
    // A value away from the default for each parameter, and both states of the two switches
    // ("over sample" on also moves the low-pass to 19000). A NaN reaches the mapping of the
    // float and bool parameters; the framework turns it into the minimum of an int one, which
    // then acts as any change to the minimum.
    struct Case { const char* id; float value; float afterNaN; };
    const Case cases[] = { { ParamIDs::drive, 12.5f, 12.5f },         { ParamIDs::lowPass, 15000.0f, 3000.0f },
                           { ParamIDs::trim, -3.25f, -3.25f },         { ParamIDs::stereoMenu, 2.0f, 0.0f },
                           { ParamIDs::highBoost, 6.0f, 6.0f },        { ParamIDs::highAtten, 2.0f, 2.0f },
                           { ParamIDs::highFreq, 8000.0f, 1000.0f },   { ParamIDs::lowBoost, 5.0f, 5.0f },
                           { ParamIDs::lowAtten, 3.0f, 3.0f },         { ParamIDs::lowFreq, 60.0f, 20.0f },
                           { ParamIDs::bandwidth, 7.0f, 7.0f },        { ParamIDs::overSample, 0.0f, 0.0f },
                           { ParamIDs::overSample, 1.0f, 1.0f },       { ParamIDs::eqIn, 0.0f, 0.0f },
                           { ParamIDs::eqIn, 1.0f, 1.0f } };

    const auto input = noise (1024, 0.5f);

    auto setUp = [&] (ProcessorHarness& h, const char* id, float value)
    {
        h.set (ParamIDs::lowBoost, 4.0f);
        h.set (ParamIDs::highBoost, 3.0f);
        h.set (ParamIDs::drive, 6.0f);
        h.set (id, value);
        h.process ({ input, input });
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.id) + " at " + juce::String (c.value));

        // What the instance must keep: the settings of the last finite value.
        ProcessorHarness expected;
        setUp (expected, c.id, c.afterNaN);
        const auto settings = dspSettings (expected.processor);

        ProcessorHarness h;
        auto& p = h.processor;
        setUp (h, c.id, c.value);
        p.treeState.getParameter (c.id)->setValueNotifyingHost (std::numeric_limits<float>::quiet_NaN());
        EXPECT_TRUE (allFinite (h.process ({ input, input })));
        EXPECT_EQ (dspSettings (p), settings) << "a NaN from the host reached the settings";

        p.prepareToPlay (48000.0, 512);
        const auto output = h.process ({ input, input });
        EXPECT_EQ (dspSettings (p), settings) << "a preparation must use the last finite value";

        const auto saved = readBlock (h.save());

        for (const auto& node : saved)
        {
            if (node.hasType ("PARAM"))
            {
                EXPECT_TRUE (node.hasProperty ("value") && std::isfinite (static_cast<double> (node["value"])))
                    << node["id"].toString() << " saved as " << node["value"].toString();
            }
        }

        EXPECT_EQ (static_cast<float> (saved.getChildWithProperty ("id", c.id)["value"]), c.afterNaN);

        // The saved project reopens sounding as the instance did.
        ProcessorHarness reopened;
        restore (reopened, blockOf (saved));
        const auto reopenedOutput = reopened.process ({ input, input });
        EXPECT_SAME_BITS (reopenedOutput[0], output[0]);
        EXPECT_SAME_BITS (reopenedOutput[1], output[1]);
    }

    // Infinities and finite values outside 0..1 are clamped by the framework into the range,
    // and the settings follow the clamped value like any other change.
    struct Clamped { float normalised; float highBoost; bool overSample; };
    const Clamped clamped[] = { { 1.5f, 10.0f, true }, { -0.5f, 0.0f, false }, { INFINITY, 10.0f, true },
                                { -INFINITY, 0.0f, false } };

    for (const auto& c : clamped)
    {
        SCOPED_TRACE (c.normalised);
        ProcessorHarness h;
        h.set (ParamIDs::highBoost, 5.0f);
        h.set (ParamIDs::overSample, c.overSample ? 0.0f : 1.0f);
        h.processor.treeState.getParameter (ParamIDs::highBoost)->setValueNotifyingHost (c.normalised);
        h.processor.treeState.getParameter (ParamIDs::overSample)->setValueNotifyingHost (c.normalised);

        EXPECT_EQ (h.get (ParamIDs::highBoost), c.highBoost);
        EXPECT_EQ (h.processor.highBoostFilter.gainDB.load(), 2.0f * c.highBoost);
        EXPECT_EQ (h.get (ParamIDs::overSample), c.overSample ? 1.0f : 0.0f);
        EXPECT_EQ (h.processor.oversamplingOn.load(), c.overSample);
        EXPECT_EQ (static_cast<float> (readBlock (h.save()).getChildWithProperty ("id", "over sample")["value"]),
                   c.overSample ? 1.0f : 0.0f);
    }
}

TEST (PluginProcessorState, GoldenBlockKeepsItsLayout)
{
    if (auto* path = std::getenv ("TARVOLEN_WRITE_GOLDEN_STATE"))
    {
        ProcessorHarness h;
        applyGoldenSettings (h);
        const auto block = h.save();
        ASSERT_TRUE (juce::File (path).replaceWithData (block.getData(), block.getSize()));
        GTEST_SKIP() << "wrote the golden block to " << path << "; nothing to compare it with";
    }

    juce::MemoryBlock golden;
    ASSERT_TRUE (goldenStateFile().loadFileAsData (golden)) << goldenStateFile().getFullPathName();
    const auto tree = readBlock (golden);

    ASSERT_TRUE (tree.hasType ("PARAMETER"));
    ASSERT_EQ (tree.getNumChildren(), 14);

    for (int i = 0; i < 13; ++i)
    {
        const auto node = tree.getChild (i);
        EXPECT_TRUE (node.hasType ("PARAM"));
        ASSERT_EQ (node.getNumProperties(), 2);
        EXPECT_EQ (node.getPropertyName (0).toString(), "id");
        EXPECT_EQ (node["id"].toString(), savedOrder[i]);
        EXPECT_EQ (node.getPropertyName (1).toString(), "value");
        EXPECT_TRUE (node["value"].isDouble());
        EXPECT_EQ (node.getNumChildren(), 0);
    }

    const auto variables = tree.getChild (13);
    EXPECT_TRUE (variables.hasType ("TarvolenVariables"));
    ASSERT_EQ (variables.getNumProperties(), 2);
    EXPECT_EQ (variables.getPropertyName (0).toString(), "width");
    EXPECT_TRUE (variables["width"].isInt());
    EXPECT_EQ (static_cast<int> (variables["width"]), 900);
    EXPECT_EQ (variables.getPropertyName (1).toString(), "height");
    EXPECT_EQ (static_cast<int> (variables["height"]), 450);

    const auto group = variables.getChild (0);
    ASSERT_EQ (variables.getNumChildren(), 1);
    EXPECT_TRUE (group.hasType ("Group"));
    EXPECT_EQ (group["name"].toString(), "TarvolenVars");
    ASSERT_EQ (group.getNumChildren(), 2);

    for (int i = 0; i < 2; ++i)
    {
        const auto entry = group.getChild (i);
        EXPECT_TRUE (entry.hasType ("Parameter"));
        EXPECT_EQ (entry["id"].toString(), i == 0 ? "width" : "height");
        EXPECT_TRUE (entry["value"].isInt());
        EXPECT_EQ (static_cast<int> (entry["value"]), 0);
    }

    // Today's code restores it to the settings it was saved with, and writes it back unchanged.
    ProcessorHarness expected;
    applyGoldenSettings (expected);
    ProcessorHarness restored;
    restore (restored, golden);

    EXPECT_EQ (parameterValues (restored), parameterValues (expected));
    EXPECT_EQ (restored.processor.windowWidth.load(), 900.0f);
    EXPECT_EQ (restored.save(), golden);
}

TEST (PluginProcessorState, AutomationAudioSavesAndRestoresRunTogetherSafely)
{
    ProcessorHarness h;
    applyGoldenSettings (h);
    const auto block = h.save();

    // Counts the values the parameter state's flush timer writes into its tree.
    struct FlushCounter : juce::ValueTree::Listener
    {
        void valueTreePropertyChanged (juce::ValueTree&, const juce::Identifier&) override
        {
            if (juce::MessageManager::getInstance()->isThisTheMessageThread())
                ++writes;
        }

        std::atomic<long> writes { 0 };
    } flushCounter;

    h.processor.treeState.state.addListener (&flushCounter);

    // Every thread keeps going until each has done its share, so all of them overlap for the
    // whole of every share.
    std::atomic<long> blocks { 0 }, sweeps { 0 }, rounds { 0 }, nonFinite { 0 };
    auto allDone = [&] { return blocks >= 500 && sweeps >= 5000 && rounds >= 300 && flushCounter.writes >= 50; };

    std::thread audio ([&] {
        juce::AudioBuffer<float> buffer (2, 512);
        juce::MidiBuffer midi;
        const auto input = noise (512, 0.5f);

        while (! allDone())
        {
            for (int c = 0; c < 2; ++c)
                buffer.copyFrom (c, 0, input.data(), 512);

            h.processor.processBlock (buffer, midi);

            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 512; ++i)
                    if (! std::isfinite (buffer.getSample (c, i)))
                        ++nonFinite;

            ++blocks;
        }
    });

    // Host automation: every parameter, "over sample" included, across its whole range.
    std::thread automation ([&] {
        std::mt19937 random (7);
        const auto& parameters = h.processor.getParameters();

        while (! allDone())
        {
            for (auto* parameter : parameters)
                parameter->setValueNotifyingHost (static_cast<float> (random() % 101) / 100.0f);

            ++sweeps;
        }
    });

    std::thread host ([&] {
        while (! allDone())
        {
            juce::MemoryBlock saved;
            h.processor.getStateInformation (saved);
            restore (h, rounds % 2 == 0 ? block : saved);
            ++rounds;
        }
    });

    // The message thread: the parameter state's flush timer and the editor's size writes.
    for (int i = 0; ! allDone(); ++i)
    {
        h.processor.storeEditorSize (800 + i % 400, 400);
        pumpMessages (1);
    }

    host.join();
    automation.join();
    audio.join();
    h.processor.treeState.state.removeListener (&flushCounter);

    EXPECT_EQ (nonFinite.load(), 0) << "finite input must give finite output under any automation";

    restore (h, block);
    EXPECT_EQ (h.save(), block) << "the state still restores and saves unchanged";
}
