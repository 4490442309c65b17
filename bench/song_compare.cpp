// How the MIDI file and SoundFont of a song sound in FluidSynth beside the
// console's own rendering: the share of note onsets found in both within
// 10 ms, and the share of notes whose pitch agrees within 25 cents.
// Prints one row per snapshot (the shared ones, or those named).
#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/files/whole_file.h"
#include "engine/formats/file_formats.h"
#include "engine/formats/sample_soundfont.h"
#include "engine/formats/sample_writer.h"
#include "engine/inputs/open_input.h"
#include "engine/song/set_midi.h"
#include "engine/sound/sound_processor.h"

namespace {

constexpr double kRate = 32000;
constexpr double kPi = 3.14159265358979323846;
constexpr size_t kFrame = 512, kHop = 64;  // onset analysis: 16 ms frames every 2 ms
constexpr size_t kPitchWindow = 2048;      // 64 ms, from 20 ms after the key-on
constexpr double kOnsetTolerance = 0.010, kPitchTolerance = 25;

using Wave = std::vector<float>;

// The console's mix, left and right averaged.
Wave RenderConsole(const std::vector<uint8_t>& file, double seconds) {
    auto snapshot = std::make_unique<SpcSnapshot>();
    ReadSpcSnapshot(file.data(), file.size(), *snapshot);
    auto sound = std::make_unique<SoundProcessor>();
    sound->Load(*snapshot);
    size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<int16_t> out(2 * (frames + kRunSlackFrames));
    size_t got = sound->Run(frames, out.data());
    Wave mono(std::min(got, frames));
    for (size_t i = 0; i < mono.size(); ++i) mono[i] = (out[2 * i] + out[2 * i + 1]) / 65536.0f;
    return mono;
}

// FluidSynth playing the MIDI file with the SoundFont, left and right averaged.
Wave RenderPair(const std::string& soundFont, const std::vector<uint8_t>& midi, double seconds) {
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kRate);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_settings_setint(settings, "synth.polyphony", 256);
    fluid_synth_t* synth = new_fluid_synth(settings);
    fluid_synth_sfload(synth, soundFont.c_str(), 1);
    fluid_player_t* player = new_fluid_player(synth);
    fluid_player_add_mem(player, midi.data(), midi.size());
    fluid_player_play(player);
    Wave mono(static_cast<size_t>(seconds * kRate));
    std::vector<float> left(mono.size()), right(mono.size());
    fluid_synth_write_float(synth, static_cast<int>(mono.size()), left.data(), 0, 1, right.data(), 0, 1);
    for (size_t i = 0; i < mono.size(); ++i) mono[i] = (left[i] + right[i]) / 2;
    delete_fluid_player(player);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return mono;
}

void Fft(std::vector<std::complex<double>>& a) {
    size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> w(std::cos(2 * kPi / len), -std::sin(2 * kPi / len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> t(1);
            for (size_t k = 0; k < len / 2; ++k, t *= w) {
                std::complex<double> u = a[i + k], v = a[i + k + len / 2] * t;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// Onset times: peaks of the spectral flux (rises in log magnitude) above
// a local median.
std::vector<double> Onsets(const Wave& wave) {
    std::vector<double> flux;
    std::vector<double> last(kFrame / 2 + 1, 0);
    for (size_t at = 0; at + kFrame <= wave.size(); at += kHop) {
        std::vector<std::complex<double>> a(kFrame);
        for (size_t i = 0; i < kFrame; ++i) a[i] = wave[at + i] * (0.5 - 0.5 * std::cos(2 * kPi * i / kFrame));
        Fft(a);
        double sum = 0;
        for (size_t k = 0; k <= kFrame / 2; ++k) {
            double now = std::log1p(1000 * std::abs(a[k]));
            sum += std::max(0.0, now - last[k]);
            last[k] = now;
        }
        flux.push_back(sum);
    }
    // A peak counts when it stands well above the local median and above a
    // tenth of the loudest; peaks closer than 30 ms count once.
    std::vector<double> onsets;
    double loudest = flux.empty() ? 0 : *std::max_element(flux.begin(), flux.end());
    for (size_t i = 1; i + 1 < flux.size(); ++i) {
        size_t from = i >= 25 ? i - 25 : 0, to = std::min(flux.size(), i + 26);
        std::vector<double> near(flux.begin() + from, flux.begin() + to);
        std::nth_element(near.begin(), near.begin() + near.size() / 2, near.end());
        double threshold = std::max(near[near.size() / 2] * 2, loudest / 10);
        double t = (i * kHop + kFrame / 2) / kRate;
        if (flux[i] > threshold && flux[i] >= flux[i - 1] && flux[i] > flux[i + 1] &&
            (onsets.empty() || t - onsets.back() > 0.03))
            onsets.push_back(t);
    }
    return onsets;
}

// Share of onsets in a with one in b within the tolerance.
double Matched(const std::vector<double>& a, const std::vector<double>& b) {
    size_t found = 0;
    for (double t : a) {
        auto near = std::lower_bound(b.begin(), b.end(), t - kOnsetTolerance);
        found += near != b.end() && *near <= t + kOnsetTolerance;
    }
    return a.empty() ? 0 : static_cast<double>(found) / a.size();
}

// Cents from expected (within ±100) where the first three harmonics hold
// the most power in the window; NAN when the window is near silent.
double PitchCents(const Wave& wave, double start, double expected) {
    size_t at = static_cast<size_t>(start * kRate);
    if (at + kPitchWindow > wave.size()) return NAN;
    double bestPower = 0, best = NAN, total = 0;
    for (size_t i = 0; i < kPitchWindow; ++i) total += wave[at + i] * wave[at + i];
    if (total < 1e-6) return NAN;
    for (double cents = -100; cents <= 100; cents += 2) {
        double power = 0;
        for (int h = 1; h <= 3; ++h) {
            double f = h * expected * std::exp2(cents / 1200);
            if (f >= kRate / 2) break;
            std::complex<double> sum;
            for (size_t i = 0; i < kPitchWindow; ++i)
                sum += static_cast<double>(wave[at + i]) * (0.5 - 0.5 * std::cos(2 * kPi * i / kPitchWindow)) *
                       std::polar(1.0, -2 * kPi * f * i / kRate);
            power += std::norm(sum);
        }
        if (power > bestPower) bestPower = power, best = cents;
    }
    return best;
}

struct Note {
    double start, length, hz;
};

// Each played note: key-on time, time to its end, the frequency the MIDI file asks for.
std::vector<Note> NotesOf(const SongPlay& song, const MidiInstrumentOf& instruments, double seconds) {
    std::vector<Note> notes;
    std::vector<int> open(8, -1);
    for (const VoiceEvent& e : song.run.events) {
        double t = e.clock / kCpuClocksPerSecond;
        if (open[e.voice] >= 0 && e.kind != VoiceEventKind::Pitch && e.kind != VoiceEventKind::Volume &&
            e.kind != VoiceEventKind::Echo) {
            notes[open[e.voice]].length = t - notes[open[e.voice]].start;
            open[e.voice] = -1;
        }
        if (e.kind != VoiceEventKind::KeyOn || e.state.noise || e.state.pitch == 0) continue;
        std::optional<MidiInstrument> instrument = instruments(e.state.dir, e.state.srcn);
        if (!instrument) continue;
        double key = instrument->unityKey + 12 * std::log2(e.state.pitch / 4096.0);
        notes.push_back({t, seconds - t, 440 * std::exp2((key - 69) / 12)});
        open[e.voice] = static_cast<int>(notes.size() - 1);
    }
    return notes;
}

void Compare(const std::string& path, double seconds) {
    OpenedInput opened = OpenInput(path, InputOptions{});
    if (!opened.Ok() || opened.set.kind != InputKind::Spc) {
        std::printf("%-24s not an SPC snapshot\n", path.c_str());
        return;
    }
    SampleSet& set = opened.set;
    SongPlay song;
    PlaySnapshotSet(set, &seconds, song);
    std::vector<const SetSample*> samples = PlannedSamples(PlanFiles(set, *FindFileFormat("sf2"), false));
    std::string soundFont = "/tmp/voxtrawl_song_compare.sf2";
    std::vector<uint8_t> bank;
    WriteSetSoundFont(
        set, samples, 32000, "compare",
        [&bank](const uint8_t* d, size_t n) { return bank.insert(bank.end(), d, d + n), true; }, &song);
    std::FILE* out = std::fopen(soundFont.c_str(), "wb");
    std::fwrite(bank.data(), 1, bank.size(), out);
    std::fclose(out);
    MidiInstrumentOf instruments = SetMidiInstruments(set, samples, 32000, song.listedDir);
    MidiSongCounts counts;
    std::vector<uint8_t> midi = SongMidi(song.run.events, song.run.endClock, instruments, counts);
    Wave console = RenderConsole(set.bytes, seconds), pair = RenderPair(soundFont, midi, seconds);
    std::remove(soundFont.c_str());
    std::vector<double> a = Onsets(console), b = Onsets(pair);
    size_t measured = 0, agreeing = 0, inTune = 0;
    for (const Note& note : NotesOf(song, instruments, seconds)) {
        if (note.length < 0.09) continue;
        double c = PitchCents(console, note.start + 0.02, note.hz), f = PitchCents(pair, note.start + 0.02, note.hz);
        if (std::isnan(c) || std::isnan(f)) continue;
        ++measured;
        agreeing += std::fabs(c - f) <= kPitchTolerance;
        inTune += std::fabs(c) <= kPitchTolerance;
    }
    std::printf(
        "%-24s %4.0f s  %5u notes  onsets %4zu / %4zu  matched %5.1f%% / %5.1f%%  pitch %4zu notes  agree "
        "%5.1f%%  console at the MIDI pitch %5.1f%%\n",
        path.substr(path.find_last_of('/') + 1).c_str(), seconds, static_cast<unsigned>(counts.notes), a.size(),
        b.size(), 100 * Matched(a, b), 100 * Matched(b, a), measured, measured ? 100.0 * agreeing / measured : 0,
        measured ? 100.0 * inTune / measured : 0);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> paths(argv + 1, argv + argc);
    if (paths.empty())
        for (const char* name : {"SNESPulseSRC", "ferris-nu", "lorom-template", "smashit"})
            paths.push_back(std::string(VOXTRAWL_SOURCE_DIR) + "/../shared/testdata/spc/" + name + ".spc");
    std::printf(
        "console render vs FluidSynth playing NAME.mid with NAME.sf2 (onsets within 10 ms: console's "
        "found in FluidSynth's / FluidSynth's in the console's; pitch within 25 cents)\n");
    for (const std::string& path : paths) Compare(path, 30);
    return 0;
}
