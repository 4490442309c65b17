// The song of a played snapshot as a MIDI file that goes with the
// snapshot's SoundFont: sample k of the bank is program k % 128 of bank
// k / 128, keyed at the key its tuning gives.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/files/whole_file.h"
#include "engine/formats/file_formats.h"
#include "engine/inputs/sample_set.h"
#include "engine/song/midi_song.h"
#include "engine/song/song_play.h"

// Where each directory entry of the listed directory plays in the bank of
// these samples; an entry with the same words as a saved one plays it.
MidiInstrumentOf SetMidiInstruments(const SampleSet& set, const std::vector<const SetSample*>& samples, int32_t rate,
                                    uint8_t dir);
// Writes the song into an open file; returns 0 or an errno value.
int WriteSongMidiFile(const SampleSet& set, const std::vector<const SetSample*>& samples, const SongPlay& song,
                      int32_t rate, OutputFile& file, MidiSongCounts& counts);

// The format's writer: settings.song as MIDI, its counts into
// settings.midiCounts when given. Returns 0 or an errno value.
int WriteMidiFormatFile(const SampleSet& set, const std::vector<const SetSample*>& samples,
                        const WriteSettings& settings, OutputFile& file);
// Only a played snapshot has a song.
std::string RefuseMidi(const SampleSet& set, const std::vector<const SetSample*>& samples,
                       const std::vector<std::string>& names, bool joined, const std::string& shown,
                       const WriteSettings& settings);
// "Saved PATH: N notes on T voice tracks ..."
std::string MidiNote(const std::string& path, size_t samples, const WriteSettings& settings);
