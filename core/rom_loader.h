// The commands that change which ROM image is in memory.
#pragma once

// Load & Rip: asks for a file (or takes the command-line path), reads it
// whole and posts Rip.
void LoadAndRip();
// Unload: releases the ROM and all samples.
void UnloadRom();
// Rip: requests a scan from the next idle moment.
void RequestRip();
