// The toolbar's playback and navigation commands.
#pragma once

void PlayCurrent();
void StopSound();
void NextSample();
void PreviousSample();
void FirstSample();
void UnloadFromToolbar();
void SaveCurrentCommand();
// Stops any sound, then frees the play buffer; used at shutdown.
void ReleasePlayBuffer();
