#pragma once

#include "RelaxedAtomic.h"
#include "ZQ_SVFilter.h"

#include <cstdint>

/** Asymmetric tube-style waveshaper, one sample of one channel per call.

    The positive half passes a soft exponential knee and, above the threshold, a cubic soft
    clipper with a hard ceiling; the negative half is doubled by a bias path and saturated by a
    drive-dependent tanh curve with a hard floor. The shaped value is inverted and mixed at 5 %
    into 95 % of the dry input. A drive of 0 switches the stage off.
*/
class ZQ_TubeModel
{
public:
    /** Sets the inner filters up for a new run and clears their state; the drive is kept.
        Allocates; never while audio runs. */
    void prepare (float rate, int channelCount);

    /** Sets the drive in dB; 0 switches the stage off. Any thread; lock-free. */
    void setDrive (float value) noexcept;

    /** Shapes one sample of one channel; channel must be below the prepared channel count.
        Audio thread. */
    float processSample (float x, int channel) noexcept;

    /** Clears the inner filters' state where it is not finite. Audio thread. */
    void clearNonFiniteState() noexcept;

    /** Shapes numSamples of one channel in place, bit for bit as processSample would. The
        settings are read once, at the start. Audio thread. */
    void process (float* samples, int numSamples, int channel) noexcept;

    /** Drive in dB; steepens the negative-half curve. */
    RelaxedAtomic<float> driveLevel { 0.0f };
    /** While false, processSample returns its input unchanged. */
    RelaxedAtomic<bool> enabled { true };

    /** Gain in dB of the shaped part before the mix; fixed, so the shaped part is just inverted. */
    static constexpr float outputGainDB = 0.0f;
    /** Start of the positive knee and of the positive clipper. */
    static constexpr float threshold = 1.5f;
    /** Factor on the negative bias fed back into the shaper. */
    static constexpr float biasAmount = 1.0f;
    /** Ceiling of the positive clipper. */
    static constexpr float positiveLimit = 4.0f;
    /** Floor of the negative half; its magnitude also scales the tanh curve. */
    static constexpr float negativeLimit = -1.5f;

    float sampleRate = 44100.0f;

    // The four inner filters keep the stage's sound as it always was: the pre- and post-filters
    // sit at 0 dB and so stay bypassed, and the band and tone filters are set up but never run.
    ZQ_SVFilter preFilter, bandFilter, postFilter, toneFilter;

private:
    /** Brings the drive's terms in line with driveLevel, computing only on a change. */
    void updateDriveTerms() noexcept;

    template <bool innerFiltersRun>
    float shape (float x, int channel) noexcept;

    // The terms that depend on the drive alone, and the drive bits they were computed from.
    double k = 1.0, tanhK = 1.0, outputFactor = -1.0;
    std::uint32_t driveBits = 0;
    bool driveTermsValid = false;
};
