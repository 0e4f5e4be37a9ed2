#include "media/filters/DvHeaderFilter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "core/avi/AviDemuxer.h"
#include "core/dv/DvPackBuilders.h"
#include "core/files/DateTime.h"
#include "fixtures/DvFixture.h"
#include "media/engine/DvFilters.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/filters/FilterTestSupport.h"
#include "support/DvFrameBuilder.h"
#include "support/TempDir.h"

namespace kelvor::media {
namespace {

using test::Chain;
using test::Collector;
using test::RunToEnd;
using test::SampleSource;

constexpr std::size_t kBlocks = scenes::kHeaderBlocksSize;

int sequencesOf(const std::vector<std::uint8_t>& frame) {
    return dv::SequenceCountForSize(frame.size()).value_or(0);
}

std::optional<dv::Datecode> datecodeOf(const std::vector<std::uint8_t>& frame) {
    dv::Datecode d;
    return dv::ReadDatecode(frame, sequencesOf(frame), d) ? std::optional(d) : std::nullopt;
}

std::optional<dv::Timecode> timecodeOf(const std::vector<std::uint8_t>& frame) {
    dv::Timecode t;
    return dv::ReadTimecode(frame, sequencesOf(frame), t) ? std::optional(t) : std::nullopt;
}

// Source frames through the date detector, a DV decoder whose pictures queue up on their own
// thread, a DV encoder of the given standard and the header filter.
std::vector<std::vector<std::uint8_t>> reencode(const std::vector<std::vector<std::uint8_t>>& in,
                                                bool palOut) {
    Graph graph;
    auto detector = std::make_shared<DateDetectorFilter>();
    auto decoder = std::make_shared<DvVideoDecoderFilter>();
    auto encoder = std::make_shared<DvVideoEncoderFilter>();
    auto header = std::make_shared<DvHeaderFilter>(detector);
    Collector out;
    encoder->SetVideoFormat(palOut ? DvVideoFormat::Pal : DvVideoFormat::Ntsc);
    Chain(graph, {std::make_shared<SampleSource>(test::DvVideoType(), in), detector, decoder,
                  encoder, header, out.renderer});
    // The detector runs ahead of the encoder by up to a dozen frames.
    detector->Output().SetQueued(true, 4);
    decoder->GetOutputPin(0)->SetQueued(true, 8);
    EXPECT_EQ(RunToEnd(graph), EventCode::Complete);
    return *out.samples;
}

TEST(DvHeaderFilter, IdentityAndAcceptedTypes) {
    DvHeaderFilter filter(nullptr);
    EXPECT_EQ(filter.DisplayName(), "Quennel cf_DVHeader");
    EXPECT_EQ(filter.ClassId(), "{60FF9D56-EC15-4F17-A2AB-9DA99CD9D0DC}");
    EXPECT_TRUE(filter.ModifiesData());
    EXPECT_TRUE(filter.Restore());
    EXPECT_EQ(filter.TimeShift(), 0);
    MediaType mt;
    mt.majorType = MajorType::Interleaved;
    mt.subtype = MakeFourCC("dvhd");
    EXPECT_EQ(test::CheckType(filter, filter.Input(), mt), Code::Ok);
    mt.majorType = MajorType::Video;
    EXPECT_EQ(test::CheckType(filter, filter.Input(), mt), Code::TypeNotAccepted);
    mt.subtype = Subtype::Dvsd;
    EXPECT_EQ(test::CheckType(filter, filter.Input(), mt), Code::Ok);
    mt.subtype = Subtype::Rgb24;
    EXPECT_EQ(test::CheckType(filter, filter.Input(), mt), Code::TypeNotAccepted);
}

TEST(DvHeaderFilter, EachReencodedFrameGetsTheBlocksOfItsOwnSourceFrame) {
    // Every frame has its own timecode, and the date jumps between the segments.
    const auto in = test::DvFramesFor(
        "type=2 frames=30 picture=moving date=2004-12-31T23:59:58 tc=01:02:03:00;"
        "frames=20 date=2005-06-01T08:00:00; frames=10 date=none");
    ASSERT_EQ(in.size(), 60u);
    const auto out = reencode(in, true);
    ASSERT_EQ(out.size(), in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(out[i].size(), dv::kFrameSize625);
        for (int s = 0; s < dv::kSequences625; ++s) {
            const auto at = static_cast<std::ptrdiff_t>(s) * 12000;
            ASSERT_TRUE(
                std::equal(in[i].begin() + at, in[i].begin() + at + kBlocks, out[i].begin() + at))
                << "frame " << i << " sequence " << s;
        }
        EXPECT_EQ(timecodeOf(out[i]), timecodeOf(in[i])) << i;
        EXPECT_EQ(datecodeOf(out[i]), datecodeOf(in[i])) << i;
    }
}

TEST(DvHeaderFilter, AcrossStandardsOnlyTheTimecodeAndDateGoOver) {
    const auto in = test::DvFramesFor(
        "type=2 frames=12 aspect=16:9 date=2010-02-03T04:05:06 tc=10:20:30:00;"
        "frames=6 date=none");
    const auto out = reencode(in, false);
    ASSERT_EQ(out.size(), in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(out[i].size(), dv::kFrameSize525);
        int standard = 0;
        ASSERT_TRUE(dv::ReadStandard(out[i], standard));
        EXPECT_EQ(standard, dv::kStandardNtsc) << i;
        // Every VAUX source pack of the frame says 525/60.
        for (int s = 0; s < dv::kSequences525; ++s)
            for (int p = dv::kSubcodePacksPerSequence; p < dv::kSearchPositionsPerSequence; ++p) {
                const std::size_t off = dv::SearchPositionOffset(s, p);
                if (out[i][off] == dv::kPackVideoSource) {
                    EXPECT_EQ(out[i][off + 3] & 0x20, 0) << i << " " << s << " " << p;
                }
            }
        EXPECT_EQ(timecodeOf(out[i]), timecodeOf(in[i])) << i;
        EXPECT_EQ(datecodeOf(out[i]), datecodeOf(in[i])) << i;
    }
    EXPECT_TRUE(datecodeOf(out[0]));
    EXPECT_FALSE(datecodeOf(out.back()));
}

TEST(DvHeaderFilter, RestoreTouchesOnlyTheFirst480BytesOfEachSequence) {
    kelvor::test::DvFrameBuilder source;
    source.pack(0, 3, kelvor::test::timecodePack(1, 2, 3, 4));
    DvSourceFrame facts;
    facts.Sequences = dv::kSequences625;
    for (int s = 0; s < dv::kSequences625; ++s) {
        auto& slot = facts.Blocks[static_cast<std::size_t>(s)].Bytes;
        const auto at = static_cast<std::ptrdiff_t>(s) * 12000;
        std::copy(source.bytes().begin() + at, source.bytes().begin() + at + kBlocks, slot.begin());
    }
    std::vector<std::uint8_t> frame(dv::kFrameSize625);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const auto before = frame;
    RestoreHeaderBlocks(frame, dv::kSequences625, facts);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        const bool header = i % 12000 < kBlocks;
        ASSERT_EQ(frame[i], header ? source.bytes()[i] : before[i]) << i;
    }
    // A frame of another size, or a slot count that does not match, is not touched at all.
    std::vector<std::uint8_t> odd(1000, 0x55);
    RestoreHeaderBlocks(odd, dv::kSequences625, facts);
    EXPECT_EQ(odd, std::vector<std::uint8_t>(1000, 0x55));
}

std::vector<std::uint8_t> datedFrame(int year, int month, int day, int h, int m, int s) {
    std::vector<std::uint8_t> f(dv::kFrameSize625, 0);
    dv::FramePacks packs;
    packs.Datecode = dv::Datecode{year,
                                  static_cast<std::uint8_t>(month),
                                  static_cast<std::uint8_t>(day),
                                  static_cast<std::uint8_t>(h),
                                  static_cast<std::uint8_t>(m),
                                  static_cast<std::uint8_t>(s)};
    dv::WriteFramePacks(f, dv::kSequences625, packs);
    return f;
}

TEST(DvHeaderFilter, ShiftMovesEveryDatePackAndRefusesWhatTwoDigitsCannotHold) {
    constexpr double kHour = 1.0 / 24;
    auto f = datedFrame(2003, 12, 31, 23, 30, 0);
    ASSERT_EQ(ShiftDatecode(f, dv::kSequences625, kHour), DateShift::Shifted);
    EXPECT_EQ(datecodeOf(f), (dv::Datecode{2004, 1, 1, 0, 30, 0}));
    // Every date and time pack, in the subcode and in VAUX, says the same.
    for (int s = 0; s < dv::kSequences625; ++s)
        for (int p = 0; p < dv::kSearchPositionsPerSequence; ++p) {
            const std::size_t off = dv::SearchPositionOffset(s, p);
            if (f[off] == dv::kPackRecDate) {
                EXPECT_EQ(f[off + 4], 0x04);
            }
            if (f[off] == dv::kPackRecTime) {
                EXPECT_EQ(f[off + 3] & 0x7F, 0x30);
            }
        }
    auto back = datedFrame(2000, 1, 1, 0, 10, 0);
    ASSERT_EQ(ShiftDatecode(back, dv::kSequences625, -kHour), DateShift::Shifted);
    EXPECT_EQ(datecodeOf(back), (dv::Datecode{1999, 12, 31, 23, 10, 0}));

    // 2089 + 1 hour would read back as 1990; 1990 - 1 hour as 2089.
    for (auto [frame, shift] : {std::pair{datedFrame(2089, 12, 31, 23, 30, 0), kHour},
                                std::pair{datedFrame(1990, 1, 1, 0, 30, 0), -kHour}}) {
        const auto before = frame;
        EXPECT_EQ(ShiftDatecode(frame, dv::kSequences625, shift), DateShift::OutOfRange);
        EXPECT_EQ(frame, before);
    }
    // No datecode, or one that is no date: unchanged.
    std::vector<std::uint8_t> none(dv::kFrameSize625, 0);
    dv::WriteFramePacks(none, dv::kSequences625, {});
    auto bad = datedFrame(2004, 13, 1, 0, 0, 0);
    for (auto* frame : {&none, &bad}) {
        const auto before = *frame;
        EXPECT_EQ(ShiftDatecode(*frame, dv::kSequences625, kHour), DateShift::NoDate);
        EXPECT_EQ(*frame, before);
    }
}

TEST(DvHeaderFilter, WithoutRestoreTheFilterShiftsAndCountsTheFramesItCannotShift) {
    std::vector<std::vector<std::uint8_t>> in = {
        datedFrame(2005, 5, 5, 12, 0, 0), datedFrame(2089, 12, 31, 23, 0, 0),
        std::vector<std::uint8_t>(500, 7), datedFrame(2089, 12, 31, 23, 59, 59)};
    Graph graph;
    auto header = std::make_shared<DvHeaderFilter>(nullptr);
    header->SetRestore(false);
    header->SetTimeShift(2.0 / 24);
    Collector out;
    Chain(graph, {std::make_shared<SampleSource>(test::DvVideoType(), in), header, out.renderer});
    EXPECT_EQ(RunToEnd(graph), EventCode::Complete);
    ASSERT_EQ(out.samples->size(), 4u);
    EXPECT_EQ(datecodeOf((*out.samples)[0]), (dv::Datecode{2005, 5, 5, 14, 0, 0}));
    EXPECT_EQ((*out.samples)[1], in[1]);
    EXPECT_EQ((*out.samples)[2], in[2]);
    EXPECT_EQ((*out.samples)[3], in[3]);
    EXPECT_EQ(header->UnshiftedFrames(), 2);
}

TEST(DvHeaderFilter, ASampleWithoutFactsTakesTheDetectorsLatestFrame) {
    // Without an attachment (a graph where the frames do not come from the detector's stream),
    // the detector's latest frame is what there is to restore from.
    const auto in = test::DvFramesFor("type=2 frames=3 date=2004-03-04T05:06:07 tc=00:00:10:00");
    auto detector = std::make_shared<DateDetectorFilter>();
    {
        Graph graph;
        Chain(graph, {std::make_shared<SampleSource>(test::DvVideoType(), in), detector,
                      std::make_shared<NullRenderer>()});
        EXPECT_EQ(RunToEnd(graph), EventCode::Complete);
    }
    ASSERT_TRUE(detector->LatestFrame());
    std::vector<std::uint8_t> blank(dv::kFrameSize625, 0);
    Graph graph;
    Collector out;
    Chain(graph, {std::make_shared<SampleSource>(test::DvVideoType(),
                                                 std::vector<std::vector<std::uint8_t>>{blank}),
                  std::make_shared<DvHeaderFilter>(detector), out.renderer});
    EXPECT_EQ(RunToEnd(graph), EventCode::Complete);
    ASSERT_EQ(out.samples->size(), 1u);
    EXPECT_EQ(timecodeOf((*out.samples)[0]), timecodeOf(in.back()));
}

}  // namespace
}  // namespace kelvor::media
