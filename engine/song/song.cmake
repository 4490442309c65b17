# The song's side of the sound processor: envelopes, key-on statistics,
# MIDI. Plain C++17; the root file adds these to the engine library.
set(VOXTRAWL_SONG_SOURCES
    engine/song/chip_envelope.cpp
    engine/song/envelope_shape.cpp
    engine/song/key_on_stats.cpp
    engine/song/midi_file.cpp
    engine/song/midi_song.cpp
    engine/song/simplex_search.cpp
    engine/song/song_run.cpp
    engine/song/voice_event_recorder.cpp
    engine/song/volume_envelope.cpp
)
