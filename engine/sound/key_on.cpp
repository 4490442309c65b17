#include "engine/sound/key_on.h"

#include <cstdio>

namespace {

constexpr double kClocksPerSecond = 1024000.0;
constexpr double kClocksPerFrame = 32.0;

}  // namespace

size_t FormatKeyOn(const KeyOn& keyOn, char (&line)[kKeyOnLineBytes]) {
    int at = std::snprintf(line, sizeof line, "{\"t\":%.6f,\"sample\":%.3f,\"kon\":%d,\"dir\":%d,\"voices\":[",
                           keyOn.clock / kClocksPerSecond, keyOn.clock / kClocksPerFrame, keyOn.kon, keyOn.dir);
    bool first = true;
    for (int v = 0; v < 8; ++v) {
        if (!(keyOn.kon & (1 << v))) continue;
        const KeyOnVoice& voice = keyOn.voices[v];
        at += std::snprintf(line + at, sizeof line - at,
                            "%s{\"v\":%d,\"srcn\":%d,\"adsr1\":%d,\"adsr2\":%d,\"gain\":%d,\"pitch\":%d,\"voll\":%d,"
                            "\"volr\":%d}",
                            first ? "" : ",", v, voice.srcn, voice.adsr1, voice.adsr2, voice.gain, voice.pitch,
                            voice.volL, voice.volR);
        first = false;
    }
    at += std::snprintf(line + at, sizeof line - at, "]}\n");
    return static_cast<size_t>(at);
}
