// A .brr instrument file: one sample, with its loop when the file says.
#include "engine/inputs/brr_file.h"
#include "engine/inputs/input_kinds.h"
#include "engine/log/shown_text.h"

void ReadBrrSet(OpenedInput& opened) {
    SampleSet& set = opened.set;
    set.kind = InputKind::Brr;
    set.decoder = DecoderKind::Chip;
    BrrFile parsed = ParseBrrFile(set.bytes.data(), set.bytes.size());
    if (!parsed.Ok()) {
        Fail(opened, OpenStatus::kFailed, "cannot read " + Quoted(set.path) + ": it " + DescribeBrrFileError(parsed) + ".");
        return;
    }
    set.data = set.bytes.data();
    set.dataSize = static_cast<uint32_t>(set.bytes.size());
    SetSample sample{};
    sample.number = 1;
    sample.dataStart = parsed.dataOffset;
    sample.blocks = parsed.blocks;
    sample.loop = parsed.loop != BrrFileLoop::None;
    sample.loopKnown = parsed.loop == BrrFileLoop::Known;
    sample.loopBlock = parsed.loopBlock;
    set.samples.push_back(sample);
    MeasureSamples(set);
    std::string shown = ShownText(set.path);
    Note(opened, "\r\nBRR %s: %u blocks%s.", shown.c_str(), static_cast<unsigned>(parsed.blocks),
         parsed.layout == BrrFileLayout::LoopHeader ? " after a loop offset" : "");
    if (parsed.ignoredBlocks > 0)
        Note(opened, "\r\nBRR %s: the %u blocks after the end block are ignored.", shown.c_str(),
             static_cast<unsigned>(parsed.ignoredBlocks));
    if (parsed.loop == BrrFileLoop::Unknown)
        Note(opened, "\r\nBRR %s: loop point unknown: %s.", shown.c_str(), DescribeBrrLoopUnknown(parsed).c_str());
}
