// kelvor-cli commands timed as whole processes, as the user runs them, against the peer command
// on the same file: each pair run alternately, warm cache, and reported as the median of the
// per-pair ratios (peer time over ours: above 1 means we are faster) with their spread and the
// goal the row must reach:
//
//   BENCH process_NAME ours=S peer=S ratio=R spread=MIN-MAX cpu_ratio=R cpu_spread=MIN-MAX
//         goal=G holds|short (note)
//
// Stream copies are compared with `cp` of the source into the same output folder (the same
// bytes read and written) and with the ffmpeg command doing the nearest job.
//
//   bench_process [RUNS] [NAME...]   RUNS pairs per row (default 5, or KELVOR_BENCH_RUNS); only
//                                    the rows whose name contains one of the NAMEs
//
// One line is of memory, not time: the peak resident memory of scenes by date on a long file
// against a short one (process_scenes_date_memory, goal: at most 1.1 times).
//
// The files are made once in KELVOR_BENCH_DATA (default /tmp) and kept. The two scenes-by-date
// rows and their _silent twins read a 2800-frame file (400 MB) unless KELVOR_BENCH_FULL is set,
// which makes the 2.1 GB one of the original table; the line names the size it read.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "RepeatedType2.h"
#include "TimedCommand.h"
#include "core/avi/AviWriter.h"
#include "core/dv/DvPacks.h"
#include "fixtures/DvFixture.h"

namespace {

using namespace kelvor;
namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

struct Row {
    std::string Name;
    Argv Ours;
    Argv Peer;
    double Goal = 1;
    std::string Note;
    // Run before each timed command: empties the output folder so every run writes anew.
    std::function<void()> Reset;
};

void EmptyFolder(const std::string& dir) {
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
}

// Runs the pair alternately and prints the line: the wall-time ratio decides the goal; the
// processor-time ratio follows it, as the steadier figure on a loaded machine.
bool RunRow(const Row& row, int runs) {
    auto timed = [&](const Argv& argv) {
        if (row.Reset)
            row.Reset();
        return bench::TimedCommandTimes(argv);
    };
    const auto failed = [&] {
        std::printf("BENCH process_%s failed (goal=%g)\n", row.Name.c_str(), row.Goal);
        std::fflush(stdout);
        return false;
    };
    // One untimed pair warms the page cache and the libraries.
    if (timed(row.Peer).Wall < 0 || timed(row.Ours).Wall < 0)
        return failed();
    bench::PairRuns t;
    if (!bench::RunAlternately(
            runs, [&] { return timed(row.Ours); }, [&] { return timed(row.Peer); }, t))
        return failed();
    const double ratio = bench::Median(t.Ratios);
    std::printf(
        "BENCH process_%s ours=%.3f peer=%.3f ratio=%.2f spread=%.2f-%.2f cpu_ratio=%.2f "
        "cpu_spread=%.2f-%.2f goal=%g %s (%s)\n",
        row.Name.c_str(), bench::Median(t.OursWall), bench::Median(t.PeerWall), ratio, t.Low(),
        t.High(), bench::Median(t.CpuRatios),
        *std::min_element(t.CpuRatios.begin(), t.CpuRatios.end()),
        *std::max_element(t.CpuRatios.begin(), t.CpuRatios.end()), row.Goal,
        ratio >= row.Goal ? "holds" : "short", row.Note.c_str());
    std::fflush(stdout);
    return true;
}

bool EnsureFixture(const std::string& path, const std::string& description) {
    if (fs::exists(path))
        return true;
    std::string error;
    if (!fixtures::WriteDvFile(path, description, error)) {
        std::fprintf(stderr, "bench process: %s\n", error.c_str());
        return false;
    }
    return true;
}

// A long type 2 file from our AVI writer: 50 real dated frames repeated (the date steps back one
// second every two seconds, no cut), made quickly without encoding every frame. Frames without
// sound packs are read whole by the date finder (a missing pack may be a dropout that the rest of
// the frame outvotes); a camcorder's frames always carry them.
bool EnsureLongType2(const std::string& dir, const std::string& path, int frames, bool sound) {
    if (fs::exists(path))
        return true;
    const std::string seed = dir + (sound ? "/process-seed-sound.dv" : "/process-seed.dv");
    if (!EnsureFixture(seed, std::string("type=raw frames=50 date=2024-05-06T07:08:09 audio=") +
                                 (sound ? "48k" : "none")))
        return false;
    return bench::WriteRepeatedType2(seed, path, frames);
}

std::string SizeNote(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f GB", ec ? 0.0 : static_cast<double>(size) / 1e9);
    return buf;
}

// A raw DV file of `frames` frames, sparse: the seed's 50 dated frames at its start and at every
// 10,000th frame, holes (frames of zeros, which say nothing) between, so a long file takes
// almost no disk.
bool WriteSparseRawDv(const std::string& seed, const std::string& path, std::int64_t frames) {
    std::ifstream in(seed, std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), {}};
    if (raw.size() < 50 * dv::kFrameSize625)
        return false;
    std::fstream out(path, std::ios::binary | std::ios::out | std::ios::trunc);
    for (std::int64_t at = 0; at < frames && out; at += 10000) {
        out.seekp(static_cast<std::streamoff>(at * static_cast<std::int64_t>(dv::kFrameSize625)));
        out.write(raw.data(),
                  static_cast<std::streamsize>(std::min<std::int64_t>(50, frames - at) *
                                               static_cast<std::int64_t>(dv::kFrameSize625)));
    }
    out.close();
    std::error_code ec;
    fs::resize_file(path, static_cast<std::uintmax_t>(frames) * dv::kFrameSize625, ec);
    return !ec && out;
}

// The peak memory of scenes by date on a 100,000-frame file stays within 10% of that on a
// 1,000-frame one: nothing the run keeps grows with the frames.
bool MemoryRow(const std::string& cli, const std::string& dir, int runs) {
    const std::string seed = dir + "/process-seed.dv";
    if (!EnsureFixture(seed, "type=raw frames=50 audio=none date=2024-05-06T07:08:09"))
        return false;
    const std::string small = dir + "/process-sparse-1000.dv";
    const std::string large = dir + "/process-sparse-100000.dv";
    // Through /usr/bin/time, whose child starts from its own small memory: a child spawned
    // straight from this process would count this process's pages as its own peak.
    const auto peak = [&](const std::string& video) {
        long least = -1;
        for (int r = 0; r < runs; ++r) {
            const long kb = bench::PeakMemoryKb({cli, "scenes-by-date", "--yes-to-all", video},
                                                dir + "/process-memory.log");
            if (kb <= 0)
                return -1L;
            least = least < 0 ? kb : std::min(least, kb);
        }
        return least;
    };
    long smallKb = -1, largeKb = -1;
    if (WriteSparseRawDv(seed, small, 1000) && WriteSparseRawDv(seed, large, 100000)) {
        smallKb = peak(small);
        largeKb = peak(large);
    }
    std::error_code ec;
    fs::remove(dir + "/process-memory.log", ec);
    for (const std::string& f : {small, large}) {
        fs::remove(f, ec);
        fs::remove(fs::path(f).replace_extension(".scn"), ec);
    }
    if (smallKb <= 0 || largeKb <= 0) {
        std::printf("BENCH process_scenes_date_memory failed (goal=1.1)\n");
        return false;
    }
    const double ratio = static_cast<double>(largeKb) / static_cast<double>(smallKb);
    std::printf(
        "BENCH process_scenes_date_memory frames_1000=%ldKB frames_100000=%ldKB ratio=%.3f "
        "goal=1.1 %s (peak resident memory, least of %d runs, sparse raw DV; the goal is a "
        "ceiling)\n",
        smallKb, largeKb, ratio, ratio <= 1.1 ? "holds" : "short", runs);
    std::fflush(stdout);
    return ratio <= 1.1;
}

bool Wanted(const std::string& name, const std::vector<std::string>& only) {
    if (only.empty())
        return true;
    for (const std::string& o : only)
        if (name.find(o) != std::string::npos)
            return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    if (const char* r = std::getenv("KELVOR_BENCH_RUNS"))
        runs = std::max(1, std::atoi(r));
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        if (i == 1 && std::atoi(argv[1]) > 0)
            runs = std::atoi(argv[1]);
        else
            only.emplace_back(argv[i]);
    }
    const char* data = std::getenv("KELVOR_BENCH_DATA");
    const std::string dir = data ? data : "/tmp";
    const std::string out = dir + "/process-out";
    const std::string cli = KELVOR_CLI;
    const std::string ffmpeg = "ffmpeg";
    const auto reset = [out] { EmptyFolder(out); };
    EmptyFolder(out);

    const bool full = std::getenv("KELVOR_BENCH_FULL") != nullptr;
    const int longFrames = full ? 14000 : 2800;
    const std::string pal2 = dir + "/process-pal2-1000.avi";
    const std::string pal1 = dir + "/process-pal1-1000.avi";
    const std::string cuts = dir + "/process-cuts.avi";
    const std::string infoDir = dir + "/process-info200";

    std::vector<Row> rows;
    // The scn file is written beside the video; it goes before each run.
    const auto removeScn = [](std::string video) {
        return [video]() mutable {
            std::error_code ec;
            fs::remove(fs::path(video).replace_extension(".scn"), ec);
        };
    };
    // Frames with sound packs, as a camcorder writes them, and frames without (read whole).
    for (const bool sound : {true, false}) {
        const std::string suffix = sound ? "" : "_silent";
        if (!Wanted("scenes_date_own" + suffix, only) &&
            !Wanted("scenes_date_ffmpeg" + suffix, only))
            continue;
        const std::string kind = sound ? "" : "silent-";
        const std::string own = dir + "/process-own-" + kind + std::to_string(longFrames) + ".avi";
        const std::string odml =
            dir + "/process-ffmpeg-" + kind + std::to_string(longFrames) + ".avi";
        if (!EnsureLongType2(dir, own, longFrames, sound))
            return 1;
        // ffmpeg's AVI muxer writes the same frames as an OpenDML type 2 file of its own layout.
        if (!fs::exists(odml) &&
            bench::TimedCommand({ffmpeg, "-y", "-v", "error", "-i", own, "-c", "copy", odml}) < 0)
            return 1;
        const std::string frames = sound ? "" : ", frames without sound packs";
        rows.push_back({"scenes_date_own" + suffix,
                        {cli, "scenes-by-date", "--yes-to-all", own},
                        {"cat", own},
                        3,
                        "peer cat, our type 2, " + SizeNote(own) + frames,
                        removeScn(own)});
        rows.push_back({"scenes_date_ffmpeg" + suffix,
                        {cli, "scenes-by-date", "--yes-to-all", odml},
                        {"cat", odml},
                        3,
                        "peer cat, ffmpeg's OpenDML, " + SizeNote(odml) + frames,
                        removeScn(odml)});
    }
    if (Wanted("info_200", only) || Wanted("info_one", only)) {
        fs::create_directories(infoDir);
        std::vector<std::string> files;
        for (int i = 0; i < 200; ++i) {
            const std::string p = infoDir + "/clip" + std::to_string(i) + ".avi";
            const std::string desc = std::string("frames=25 type=") + (i % 2 ? "1" : "2") +
                                     " date=2024-05-06T07:08:09" + (i % 3 ? " aspect=16:9" : "");
            if (!EnsureFixture(p, desc))
                return 1;
            files.push_back(p);
        }
        Argv ours = {cli, "info", "--json"}, peer = {"mediainfo", "--Output=JSON"};
        ours.insert(ours.end(), files.begin(), files.end());
        peer.insert(peer.end(), files.begin(), files.end());
        rows.push_back({"info_200", ours, peer, 3, "peer mediainfo, 200 files in one call", {}});
        rows.push_back({"info_one",
                        {cli, "info", files[0]},
                        {"mediainfo", files[0]},
                        1.0,
                        "peer mediainfo, one file",
                        {}});
    }
    if (!EnsureFixture(pal2, "type=2 frames=1000 date=2004-07-14T10:00:00 picture=moving") ||
        !EnsureFixture(pal1, "type=1 frames=1000 date=2004-07-14T10:00:00 picture=moving"))
        return 1;
    rows.push_back(
        {"to_ntsc",
         {cli, "to-ntsc", "--yes-to-all", "--output-dir", out, pal2},
         {ffmpeg, "-y", "-v", "error", "-i", pal2, "-vf", "scale=720:480,fps=30000/1001", "-c:v",
          "dvvideo", "-pix_fmt", "yuv411p", "-c:a", "pcm_s16le", "-ar", "48000", out + "/peer.avi"},
         1.2,
         "peer ffmpeg scale+fps+dvvideo, 1000 frames",
         reset});
    // The datecode burnt into every picture: ffmpeg's nearest job draws one bordered line of a
    // fixed text with the same font and size.
    rows.push_back(
        {"inlay",
         {cli, "inlay-datecode", "--yes-to-all", "--output-dir", out, pal2},
         {ffmpeg, "-y", "-v", "error", "-i", pal2, "-vf",
          "drawtext=fontfile=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf:"
          "text=7/14/2004 10.00.00 AM:fontsize=28:fontcolor=white:borderw=1:"
          "x=w-tw-72:y=h-86",
          "-c:v", "dvvideo", "-pix_fmt", "yuv420p", "-c:a", "copy", out + "/peer.avi"},
         1.2,
         "peer ffmpeg drawtext+dvvideo, 1000 frames",
         reset});
    // Recompression takes only files that are not DV: the same pictures as Motion JPEG, decoded
    // and encoded into DV by both sides.
    const std::string mjpeg = dir + "/process-mjpeg-1000.avi";
    if (!fs::exists(mjpeg) &&
        bench::TimedCommand({ffmpeg, "-y", "-v", "error", "-i", pal2, "-c:v", "mjpeg", "-q:v", "3",
                             "-pix_fmt", "yuvj420p", "-c:a", "pcm_s16le", mjpeg}) < 0)
        return 1;
    rows.push_back({"recompress",
                    {cli, "recompress", "--yes-to-all", "--output-dir", out, mjpeg},
                    {ffmpeg, "-y", "-v", "error", "-i", mjpeg, "-c:v", "dvvideo", "-pix_fmt",
                     "yuv420p", "-c:a", "pcm_s16le", out + "/peer.avi"},
                    1.2,
                    "decode + DV encode of MJPEG, peer ffmpeg -c:v dvvideo, 1000 frames",
                    reset});
    rows.push_back({"to_type2_ffmpeg",
                    {cli, "to-type2", "--yes-to-all", "--output-dir", out, pal1},
                    {ffmpeg, "-y", "-v", "error", "-i", pal1, "-c", "copy", out + "/peer.avi"},
                    1.5,
                    "peer ffmpeg -c copy, 1000 frames",
                    reset});
    rows.push_back({"to_type2_cp",
                    {cli, "to-type2", "--yes-to-all", "--output-dir", out, pal1},
                    {"cp", pal1, out + "/peer.avi"},
                    0.5,
                    "peer cp, 1000 frames",
                    reset});
    rows.push_back({"shift_time_cp",
                    {cli, "shift-time", "--by", "1:00", "--yes-to-all", "--output-dir", out, pal2},
                    {"cp", pal2, out + "/peer.avi"},
                    0.5,
                    "peer cp, 1000 frames",
                    reset});
    rows.push_back(
        {"extract_wav",
         {cli, "extract-audio", "--yes-to-all", "--output-dir", out, pal2},
         {ffmpeg, "-y", "-v", "error", "-i", pal2, "-vn", "-c:a", "pcm_s16le", out + "/peer.wav"},
         2.0,
         "peer ffmpeg -vn -c:a pcm_s16le, 1000 frames",
         reset});
    rows.push_back(
        {"scenes_content",
         {cli, "scenes-by-content", "--yes-to-all", pal2},
         {ffmpeg, "-v", "error", "-i", pal2, "-vf", "select='gt(scene,0.3)'", "-f", "null", "-"},
         3.0,
         "peer ffmpeg select scene -f null, 1000 frames",
         [pal2] {
             std::error_code ec;
             fs::remove(fs::path(pal2).replace_extension(".scn"), ec);
         }});
    // Four scenes of 250 frames, cut into four files by the scn file the date scenes wrote.
    if (!EnsureFixture(cuts,
                       "type=2 frames=250 date=2004-07-14T10:00:00 picture=moving; "
                       "frames=250 date=2005-01-01T12:00:00; "
                       "frames=250 date=2006-03-03T09:00:00; "
                       "frames=250 date=2007-08-08T18:00:00"))
        return 1;
    if (!fs::exists(fs::path(cuts).replace_extension(".scn")) &&
        bench::TimedCommand({cli, "scenes-by-date", "--yes-to-all", cuts}) < 0)
        return 1;
    rows.push_back({"cut_scenes_cp",
                    {cli, "cut-scenes", "--yes-to-all", "--output-dir", out, cuts},
                    {"cp", cuts, out + "/peer.avi"},
                    0.5,
                    "peer cp of the same bytes, 4 scenes of 250 frames",
                    reset});

    bool ok = true;
    if (Wanted("scenes_date_memory", only))
        ok = MemoryRow(cli, dir, runs) && ok;
    for (const Row& row : rows)
        if (Wanted(row.Name, only))
            ok = RunRow(row, runs) && ok;
    EmptyFolder(out);
    return ok ? 0 : 1;
}
