// The sound chip's volume envelope, stepped as the chip steps it: rates
// that fire on a global counter, ADSR phases and the GAIN modes. Used to
// describe a setting in seconds and to compare other envelopes with it.
#pragma once

#include <cstdint>

// The three envelope registers of a voice as the driver wrote them.
struct EnvelopeSetting {
    uint8_t adsr1 = 0;
    uint8_t adsr2 = 0;
    uint8_t gain = 0;
};

// Equal when the chip would treat them alike (GAIN unused under ADSR).
bool SameEnvelope(EnvelopeSetting a, EnvelopeSetting b);

// Envelope levels run 0..kEnvelopeFull; output scales by level / 2048.
constexpr int kEnvelopeFull = 0x7FF;
// Output frames a second; rates count in frames.
constexpr double kFrameRate = 32000;
// Values the global rate counter steps through before it repeats.
constexpr uint32_t kRateCounterValues = 30720;

// Frames between two firings of rate 1..31; 0 for rate 0 (never fires).
uint32_t RatePeriod(int rate);
// Whether rate fires at this value of the global counter.
bool RateFires(int rate, uint32_t counter);

enum class EnvelopePhase { Attack, Decay, Sustain, Release };

// One voice's envelope from key-on. As the chip does, every frame works
// out the next level (and moves on to the next phase by it) but keeps it
// only when the rate fires.
class ChipEnvelope {
public:
    // Keyed on: level 0 (or startLevel), attack phase.
    explicit ChipEnvelope(EnvelopeSetting setting, int startLevel = 0);
    // The rate that moves the envelope now (0: it stays).
    int Rate() const;
    // One frame, the rate firing in it or not.
    void Frame(bool fires);
    // One frame at this value of the global counter.
    void Frame(uint32_t counter) { Frame(RateFires(Rate(), counter)); }
    // One firing of the current rate and a frame after it that does not
    // fire (the phase may move on there): a step as it comes when the rate
    // fires every period frames.
    void Firing();
    // Key-off: from now on each frame takes 8 off the level.
    void Release() { phase_ = EnvelopePhase::Release; }
    int Level() const { return level_; }
    EnvelopePhase Phase() const { return phase_; }

private:
    // The level the current phase leads to from the current one.
    int Next() const;
    EnvelopeSetting setting_;
    int level_;
    int computed_;  // the last level worked out, kept or not
    EnvelopePhase phase_ = EnvelopePhase::Attack;
};

// The level (0..1 of full) frame by frame from key-on, the global counter
// starting at `counter`, for `frames` frames into out (out[i] after i+1 frames).
void RenderChipEnvelope(EnvelopeSetting setting, int startLevel, uint32_t counter, uint32_t frames, float* out);
