#include "engine/song/key_on_stats.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kFewestPitches = 3;

// Cents of a pitch against the unity pitch.
double PitchCents(uint16_t pitch) { return 1200 * std::log2(static_cast<double>(pitch) / kUnityPitch); }

// x wrapped into [-50, 50).
double WrapSemitone(double cents) { return cents - 100 * std::floor((cents + 50) / 100); }

// The setting used most; among equals the one used first.
void ChooseEnvelope(EntryPlay& play, const std::vector<std::pair<EnvelopeSetting, uint32_t>>& uses) {
    play.envelopes = static_cast<uint32_t>(uses.size());
    for (const auto& [setting, count] : uses) {
        if (count > play.envelopeUses) {
            play.envelope = setting;
            play.envelopeUses = count;
        }
    }
}

}  // namespace

std::vector<EntryPlay> GatherKeyOns(const std::vector<VoiceKeyOn>& keyOns) {
    std::map<std::pair<uint8_t, uint8_t>, EntryPlay> entries;
    std::map<std::pair<uint8_t, uint8_t>, std::vector<std::pair<EnvelopeSetting, uint32_t>>> uses;
    for (const VoiceKeyOn& k : keyOns) {
        auto key = std::make_pair(k.dir, k.srcn);
        EntryPlay& play = entries[key];
        if (play.keyOns++ == 0) {
            play.dir = k.dir;
            play.srcn = k.srcn;
            play.firstKeyOn = k.clock / kCpuClocksPerSecond;
        }
        play.pitches.push_back(k.pitch & 0x3FFF);
        auto& list = uses[key];
        auto same =
            std::find_if(list.begin(), list.end(), [&](const auto& u) { return SameEnvelope(u.first, k.envelope); });
        if (same == list.end())
            list.push_back({k.envelope, 1});
        else
            ++same->second;
    }
    std::vector<EntryPlay> plays;
    for (auto& [key, play] : entries) {
        std::sort(play.pitches.begin(), play.pitches.end());
        play.pitches.erase(std::unique(play.pitches.begin(), play.pitches.end()), play.pitches.end());
        ChooseEnvelope(play, uses[key]);
        plays.push_back(std::move(play));
    }
    return plays;
}

std::optional<NoteRange> NotesPlayed(const EntryPlay& play, std::optional<double> tuningMidi) {
    auto first = std::upper_bound(play.pitches.begin(), play.pitches.end(), 0);
    if (first == play.pitches.end()) return std::nullopt;
    double root = tuningMidi.value_or(60);
    auto note = [&](uint16_t pitch) { return static_cast<int>(std::lround(root + PitchCents(pitch) / 100)); };
    return NoteRange{note(*first), note(play.pitches.back())};
}

std::optional<double> SongCents(const EntryPlay& play) {
    std::vector<double> offsets;
    for (uint16_t pitch : play.pitches)
        if (pitch != 0) offsets.push_back(WrapSemitone(PitchCents(pitch)));
    // Around each offset in turn, the others within reach on a circle of one semitone.
    std::vector<double> group;
    for (double centre : offsets) {
        std::vector<double> near;
        for (double c : offsets)
            if (std::fabs(WrapSemitone(c - centre)) <= kSharedCents) near.push_back(c);
        if (near.size() > group.size()) group = near;
    }
    if (group.size() < kFewestPitches || 2 * group.size() < offsets.size()) return std::nullopt;
    // Their mean, taken on the circle.
    double x = 0, y = 0;
    for (double c : group) {
        x += std::cos(2 * kPi * c / 100);
        y += std::sin(2 * kPi * c / 100);
    }
    return WrapSemitone(100 * std::atan2(y, x) / (2 * kPi));
}

bool TuningAgrees(double loopCents, double songCents) {
    // In tune, the sample's own offset and the pitches' cancel out.
    return std::fabs(WrapSemitone(loopCents + songCents)) <= kAgreementCents;
}
