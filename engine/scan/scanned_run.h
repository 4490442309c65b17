// One qualifying run of a ROM scan, as the sample set sees it.
#pragma once

#include <cstdint>
#include <string>

#include "engine/brr/brr_block.h"
#include "engine/brr/brr_decoder.h"

// A qualifying run of the scan, in image order: the one record that
// the sample set is built from.
struct ScannedRun {
    uint32_t start;  // offset of the first block header
    uint32_t end;    // offset of the end block header
    bool loop;       // loop flag of the first block
    RunOutcome outcome;
    uint32_t slot;   // its sample table slot, when stored
    uint32_t bytes;  // its PCM bytes, when stored
    int silent = -1;  // 1 when its PCM is all zero; noted only when the scan let the PCM go

    bool Stored() const { return outcome == RunOutcome::kStored; }
    uint32_t Blocks() const { return BlocksInRun(start, end); }
    // Why it was not stored ("limit", "memory"); nullptr when it was.
    const char* NotStoredReason() const {
        if (outcome == RunOutcome::kTableFull) return "limit";
        if (outcome == RunOutcome::kNoMemory) return "memory";
        return nullptr;
    }
};

