#include "engine/formats/file_formats.h"

#include "engine/formats/sample_images.h"
#include "engine/formats/sample_soundfont.h"
#include "engine/song/set_midi.h"

const std::vector<FileFormat>& FileFormats() {
    static const std::vector<FileFormat> formats = {
        {"wav", ".wav", "WAVE file", "decoded PCM, a file per sample", WavImage, WriteJoinedWav, RefuseLargeWav,
         WavFolderNote, nullptr},
        {"brr", ".brr", "BRR file", "the raw blocks, a file per sample", BrrImage, nullptr, nullptr, nullptr, nullptr},
        {"sf2", ".sf2", "SoundFont", "one SoundFont per input, NAME.sf2", nullptr, WriteSoundFontFile,
         RefuseSoundFont, nullptr, SoundFontNote},
        {"midi", ".mid", "MIDI file", "an SPC's song as NAME.mid with its SoundFont NAME.sf2", nullptr,
         WriteMidiFormatFile, RefuseMidi, nullptr, MidiNote},
    };
    return formats;
}

const FileFormat* FindFileFormat(const std::string& name) {
    for (const FileFormat& format : FileFormats())
        if (name == format.name) return &format;
    return nullptr;
}
