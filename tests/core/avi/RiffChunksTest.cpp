#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/avi/ClampedChunkWalk.h"
#include "core/avi/Fourcc.h"
#include "core/avi/RiffChunks.h"
#include "support/AviBuilder.h"

namespace kelvor::avi {
namespace {

using namespace kelvor::test;
using Count = ChildChunks::Count;
using Overrun = ChildChunks::Overrun;

// The ids and sizes of a list's children as next() hands them out, with how the list ended.
struct Seen {
    std::vector<std::string> ids;
    std::vector<std::uint64_t> clamped;
    ChildChunks::End end{};
};
Seen Children(const Bytes& b, std::uint64_t at, std::uint64_t left, Count count, Overrun overrun,
              std::uint64_t maxHeaders = kMaxChunksPerWalk) {
    MemoryFile f(b);
    ChunkCursor c(f, maxHeaders);
    c.seek(at);
    ChildChunks list(c, left, count, overrun);
    Seen seen;
    while (const auto h = list.next()) {
        seen.ids.push_back(FourccToText(h->Id));
        seen.clamped.push_back(list.clamped(*h));
        // A walker that reads part of a child: the count decides where the next header is.
        c.seek(h->DataStart() + std::min<std::uint64_t>(h->Size, 1));
    }
    seen.end = list.end();
    return seen;
}

TEST(RiffChunks, OddSizesAndPads) {
    const Bytes b =
        Cat({Chunk("odd1", Bytes(3, 1)), Chunk("even", Bytes(4, 2)), Chunk("odd2", Bytes(1, 3))});
    ASSERT_EQ(b.size(), 12u + 12u + 10u);
    const Seen padded = Children(b, 0, b.size(), Count::Padded, Overrun::Stop);
    EXPECT_EQ(padded.ids, (std::vector<std::string>{"odd1", "even", "odd2"}));
    EXPECT_EQ(padded.end, ChildChunks::End::Exhausted);

    // The declared count goes on where the walker left the position (one byte into each child
    // here), skipping one byte there when it is odd.
    MemoryFile f(b);
    ChunkCursor c(f);
    const auto first = c.readHeader();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->PaddedSize(), 4u);
    EXPECT_EQ(first->End(), 12u);
    c.seek(first->DataStart() + first->Size);  // 11: the pad byte is next
    const auto second = c.readHeader();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Start, 12u);
    EXPECT_EQ(FourccToText(second->Id), "even");
}

TEST(RiffChunks, DeclaredCountLeavesPadsOut) {
    // Eight odd chunks leave eight pad bytes the declared count does not take: it reads one more
    // header than the list holds, which the padded count does not.
    Bytes children;
    for (int i = 0; i < 8; ++i) {
        const Bytes c = Chunk("strn", Bytes(1, 'a'));
        children.insert(children.end(), c.begin(), c.end());
    }
    const Bytes b = Cat({children, Chunk("next", Bytes(4, 0))});
    MemoryFile f(b);
    ChunkCursor c(f);
    ChildChunks declared(c, children.size(), Count::Declared, Overrun::Stop);
    int n = 0;
    while (const auto h = declared.next()) {
        c.seek(h->DataStart() + h->Size);
        ++n;
    }
    EXPECT_EQ(n, 8);
    EXPECT_EQ(declared.end(), ChildChunks::End::Overrun);  // "next" read, does not fit in 8
    EXPECT_EQ(Children(b, 0, children.size(), Count::Padded, Overrun::Stop).ids.size(), 8u);
}

TEST(RiffChunks, SizesPastTheParent) {
    const Bytes b = Cat(
        {Chunk("aaaa", Bytes(8, 0)), Chunk("long", Bytes(8, 0), 100), Chunk("zzzz", Bytes(8, 0))});
    const Seen stop = Children(b, 0, b.size(), Count::Padded, Overrun::Stop);
    EXPECT_EQ(stop.ids, (std::vector<std::string>{"aaaa"}));
    EXPECT_EQ(stop.end, ChildChunks::End::Overrun);

    const Seen last = Children(b, 0, b.size(), Count::Padded, Overrun::Last);
    EXPECT_EQ(last.ids, (std::vector<std::string>{"aaaa", "long"}));
    EXPECT_EQ(last.clamped, (std::vector<std::uint64_t>{8, 16 + 8}));  // to the list's end
    EXPECT_EQ(last.end, ChildChunks::End::Exhausted);

    // A size that fits but whose pad byte does not: handed out whole, and the last one.
    const Bytes odd = Chunk("odd ", Bytes(7, 0));
    const Seen noPad = Children(odd, 0, odd.size() - 1, Count::Padded, Overrun::Last);
    EXPECT_EQ(noPad.clamped, (std::vector<std::uint64_t>{7}));
}

TEST(RiffChunks, SizesPastTheFile) {
    // A list that claims more than the file: its last header comes up short.
    const Bytes b = Cat({Chunk("aaaa", Bytes(4, 0)), Bytes{'b', 'b', 'b', 'b', 1}});
    const Seen seen = Children(b, 0, 1000, Count::Padded, Overrun::Last);
    EXPECT_EQ(seen.ids, (std::vector<std::string>{"aaaa"}));
    EXPECT_EQ(seen.end, ChildChunks::End::ShortRead);
    // Fewer than 8 bytes left end the list without a read.
    EXPECT_EQ(Children(b, 0, 7, Count::Padded, Overrun::Last).end, ChildChunks::End::Exhausted);
    MemoryFile f(b);
    ChunkCursor c(f);
    c.seek(b.size() + 10);
    EXPECT_EQ(c.leftInFile(), 0u);
    EXPECT_FALSE(c.readHeader());
    EXPECT_FALSE(c.readListType());
}

TEST(RiffChunks, CountCapEndsTheWalk) {
    Bytes b;
    for (int i = 0; i < 10; ++i) {
        const Bytes c = Chunk("JUNK", {});
        b.insert(b.end(), c.begin(), c.end());
    }
    const Seen seen = Children(b, 0, b.size(), Count::Padded, Overrun::Stop, 4);
    EXPECT_EQ(seen.ids.size(), 4u);
    EXPECT_EQ(seen.end, ChildChunks::End::Capped);
}

TEST(RiffChunks, RecGroupsAreEnteredInLine) {
    const Bytes movi = Cat({Chunk("00dc", Bytes(2, 0)),
                            Lst("rec ", {Chunk("01wb", Bytes(2, 0)), Chunk("00dc", Bytes(2, 0))}),
                            Chunk("01wb", Bytes(2, 0))});
    MemoryFile f(movi);
    ChunkCursor c(f);
    ChildChunks list(c, movi.size(), Count::Padded, Overrun::Stop);
    std::vector<std::string> ids;
    while (const auto h = list.next()) {
        if (h->IsList()) {
            list.enterInline(*h);
            continue;
        }
        ids.push_back(FourccToText(h->Id));
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"00dc", "01wb", "00dc", "01wb"}));
}

// Records what the clamped walk meets, with each chunk's depth.
class Recorder final : public ClampedChunkWalk {
  public:
    Recorder(PositionedFile& f, bool negativeIsLarge) : ClampedChunkWalk(f, negativeIsLarge) {}
    std::vector<std::string> met;

  private:
    void garbage(std::uint64_t bytes) override {
        met.push_back("garbage " + std::to_string(bytes));
    }
    void chunkMet(const ChunkHeader& h, int depth) override {
        met.push_back(std::to_string(depth) + " " + FourccToText(h.Id));
    }
    void badLength(std::uint64_t padded, std::uint64_t left, int) override {
        met.push_back("bad " + std::to_string(padded) + " " + std::to_string(left));
    }
    void tooDeep(int depth) override { met.push_back("deep " + std::to_string(depth)); }
    void headerBlocks(const ChunkHeader& h, int, std::int64_t& left) override {
        if (h.Id == fcc::kStrh) {
            std::array<std::uint8_t, 56> b{};
            readBlock(b, left);
        }
    }
};

std::vector<std::string> Walked(const Bytes& b, bool negativeIsLarge = false) {
    MemoryFile f(b);
    Recorder r(f, negativeIsLarge);
    r.run();
    if (r.endOfData())
        r.met.push_back("end of data");
    return r.met;
}

TEST(ClampedChunkWalk, DepthCap) {
    Bytes nested = Chunk("leaf", Bytes(2, 0));
    for (int i = 0; i < kMaxChunkDepth + 2; ++i)
        nested = Lst("deep", {nested});
    const auto met = Walked(Riff("AVI ", {nested, Chunk("tail", {})}));
    EXPECT_EQ(std::count(met.begin(), met.end(), "deep " + std::to_string(kMaxChunkDepth)), 1);
    EXPECT_EQ(std::find(met.begin(), met.end(), std::to_string(kMaxChunkDepth + 1) + " LIST"),
              met.end());
    EXPECT_EQ(met.back(), "1 tail");  // the walk goes on after the list passed over
}

TEST(ClampedChunkWalk, SizesPastTheFileAreCut) {
    Bytes b = Riff("AVI ", {Chunk("strh", Bytes(56, 0)), Chunk("JUNK", Bytes(4, 0))});
    b[4] += 100;  // the RIFF size passes the end of the file
    const auto met = Walked(b);
    ASSERT_GE(met.size(), 3u);
    EXPECT_EQ(met[1],
              "bad " + std::to_string(b.size() - 8 + 100) + " " + std::to_string(b.size() - 8));
    EXPECT_EQ(met.back(), "1 JUNK");  // cut at the end of the file: no short read
    // A fixed-size read past a shorter chunk steps back to its end and finds the next chunk.
    const auto shortStrh = Walked(
        Riff("AVI ", {Chunk("strh", Bytes(8, 0)), Chunk("next", {}), Chunk("JUNK", Bytes(64, 0))}));
    EXPECT_EQ(std::count(shortStrh.begin(), shortStrh.end(), "1 next"), 1);
    EXPECT_EQ(shortStrh.back(), "1 JUNK");
    // Stray bytes after the last RIFF chunk: too few for a header, or not "RIFF".
    const Bytes riff = Riff("AVI ", {});
    EXPECT_EQ(Walked(Cat({riff, Bytes(3, 0)})).back(), "end of data");
    EXPECT_EQ(Walked(Cat({riff, Bytes(12, 0)})).back(), "garbage 12");
}

TEST(ClampedChunkWalk, ListShorterThanItsType) {
    // The list's count left is -2: the patcher's walk gives it no children, the report's walks
    // the chunks after it as its children until the file ends.
    const Bytes b = Riff(
        "AVI ", {Chunk("LIST", {'t', 'y', 'p', 'e'}, 2), Chunk("kid1", {}), Chunk("kid2", {})});
    const auto patcher = Walked(b, false);
    const auto report = Walked(b, true);
    EXPECT_TRUE(std::none_of(patcher.begin(), patcher.end(),
                             [](const std::string& m) { return m.rfind("2 ", 0) == 0; }));
    EXPECT_EQ(report,
              (std::vector<std::string>{"0 RIFF", "1 LIST", "2 kid1", "2 kid2", "end of data"}));
}

}  // namespace
}  // namespace kelvor::avi
