# The song's side of the sound processor: envelopes, key-on statistics,
# MIDI. Plain C++17, part of the engine library (paths from engine/).
set(VOXTRAWL_SONG_SOURCES
    song/chip_envelope.cpp
    song/envelope_shape.cpp
    song/key_on_stats.cpp
    song/midi_file.cpp
    song/midi_song.cpp
    song/set_midi.cpp
    song/simplex_search.cpp
    song/song_play.cpp
    song/song_run.cpp
    song/voice_event_recorder.cpp
    song/volume_envelope.cpp
)
