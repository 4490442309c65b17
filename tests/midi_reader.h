// A small reader of Standard MIDI Files for the tests, written from the
// format's description rather than from the program's writer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// An event read back: absolute tick, track, and its bytes (status first;
// for meta events 0xFF, the type, then the data).
struct ReadEvent {
    uint32_t tick;
    size_t track;
    std::vector<uint8_t> bytes;
};

// A small reader of type 1 files, written from the format's description:
// chunks, variable-length deltas, running status, meta and channel events.
struct MidiReader {
    explicit MidiReader(const std::vector<uint8_t>& f) : file(f) {}
    uint32_t Big(size_t bytes) {
        uint32_t v = 0;
        while (bytes--) v = v << 8 | file.at(at++);
        return v;
    }
    uint32_t Variable() {
        uint32_t v = 0;
        uint8_t b;
        do v = v << 7 | ((b = file.at(at++)) & 0x7F);
        while (b & 0x80);
        return v;
    }
    std::vector<ReadEvent> Read() {
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "MThd");
        at = 8;
        format = Big(2), tracks = Big(2), division = Big(2);
        std::vector<ReadEvent> events;
        for (size_t t = 0; t < tracks; ++t) {
            EXPECT_EQ(std::string(file.begin() + at, file.begin() + at + 4), "MTrk");
            at += 4;
            size_t end = Big(4) + at;
            uint32_t tick = 0;
            uint8_t status = 0;
            while (at < end) {
                tick += Variable();
                if (file.at(at) & 0x80) status = file.at(at++);
                ReadEvent e{tick, t, {status}};
                if (status == 0xFF) {
                    e.bytes.push_back(file.at(at++));
                    uint32_t length = Variable();
                    e.bytes.insert(e.bytes.end(), file.begin() + at, file.begin() + at + length);
                    at += length;
                } else {
                    size_t data = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
                    e.bytes.insert(e.bytes.end(), file.begin() + at, file.begin() + at + data);
                    at += data;
                }
                events.push_back(e);
            }
            EXPECT_EQ(at, end);
            EXPECT_EQ(events.back().bytes, (std::vector<uint8_t>{0xFF, 0x2F})) << "track " << t << " ends";
        }
        EXPECT_EQ(at, file.size());
        return events;
    }
    const std::vector<uint8_t>& file;
    size_t at = 0;
    uint32_t format = 0, tracks = 0, division = 0;
};
