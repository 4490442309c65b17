// One of the sound CPU's three timers: a fixed-rate tick counted up to a
// target, then a 4-bit output that the program reads (and so clears).
// It is brought up to date only when it is looked at, in constant time.
#pragma once

#include <cstdint>

class SoundTimer {
public:
    // A timer that ticks every `period` clocks, the first tick at `period`.
    explicit SoundTimer(uint32_t period = 128) : period_(period), nextTick_(period) {}

    // Snapshot state: the target, the 4-bit output, enabled or not; the tick count starts at 0.
    void Load(uint8_t target, uint8_t output, bool enabled) {
        target_ = target;
        output_ = output & 15;
        enabled_ = enabled;
        count_ = 0;
    }
    // Counts the ticks up to clock `now` (ticks at `now` included).
    void CatchUp(uint64_t now) {
        if (now < nextTick_) return;
        uint64_t ticks = (now - nextTick_) / period_ + 1;
        nextTick_ += ticks * period_;
        if (enabled_) Advance(ticks);
    }
    // CONTROL's enable bit, at clock `now`: turning it on restarts the count and clears the output.
    void SetEnabled(bool enabled, uint64_t now) {
        CatchUp(now);
        if (enabled && !enabled_) {
            count_ = 0;
            output_ = 0;
        }
        enabled_ = enabled;
    }
    // A new target at clock `now`.
    void SetTarget(uint8_t target, uint64_t now) {
        CatchUp(now);
        target_ = target;
    }
    // The program reads the output at clock `now`: it is cleared.
    uint8_t ReadOutput(uint64_t now) {
        CatchUp(now);
        uint8_t value = output_;
        output_ = 0;
        return value;
    }

private:
    // The count is 8 bits and matches the target on the way up, so a
    // target of 0 takes 256 ticks and a target lowered below the count
    // waits for the count to wrap.
    void Advance(uint64_t ticks) {
        uint64_t first = static_cast<uint8_t>(target_ - count_ - 1) + 1u;
        if (ticks < first) {
            count_ = static_cast<uint8_t>(count_ + ticks);
            return;
        }
        uint64_t period = target_ ? target_ : 256;
        uint64_t rest = ticks - first;
        output_ = static_cast<uint8_t>((output_ + 1 + rest / period) & 15);
        count_ = static_cast<uint8_t>(rest % period);
    }

    uint32_t period_;
    uint64_t nextTick_;
    uint8_t target_ = 0;
    uint8_t count_ = 0;
    uint8_t output_ = 0;
    bool enabled_ = false;
};
