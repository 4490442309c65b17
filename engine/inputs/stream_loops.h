// Audio RAM addresses and loop points for runs found in a ROM image,
// read from the transfer streams that upload them and from the directory
// entries those streams hold.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/inputs/spc_file.h"
#include "engine/scan/scanner.h"

struct RunAram {
    bool hasAram = false;         // the run lies in one block of a stream
    uint32_t aramStart = 0;
    uint32_t aramEnd = 0;         // its end block
    bool named = false;           // a directory entry names aramStart: the loop fields apply
    LoopKind loop = LoopKind::None;
    uint32_t aramLoop = 0;        // for Address and Offset
    bool loopIsOffset = false;
    const char* unknownReason = nullptr;  // why the address or the loop stays unknown, when readings disagree
};

// One RunAram per run, in the order given. Every stream that uploads a
// run is one reading of it: the readings must agree on its address, and
// the entries that name it on its loop, or it stays unknown.
std::vector<RunAram> FindRunAram(const uint8_t* image, uint32_t size, const std::vector<FoundRun>& runs);
