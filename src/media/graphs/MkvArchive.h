// The lossless Matroska archive of a DV video: every DV frame of a frame range copied byte for
// byte into a dvvideo track, the sound as 16-bit PCM, chapters with their titles and tags, file
// tags (the tape timecode of the range's first frame as TIMECODE) and a SubRip subtitle track.
// The sound is a type 2 file's own 16-bit PCM stream (its first) as stored, else that of the
// frames' audio blocks (the first stereo pair, as the WAV extraction takes it).
//
// The source is a DV AVI file (type 1 or 2) or a raw DV file, read through the program's own
// readers, or DV in QuickTime or Matroska, read through libavformat as the splitter for those
// reads it (one frame a packet), so frame numbers match the scene detection's. The output is
// written beside its target under a temporary name and moved into place once complete
// (files::OutputFile): a failed or stopped run leaves any old file as it was, and the source is
// never the target.
//
// Pure function of its request; any thread, one call per request. Progress runs on the calling
// thread. Failure: false with the reason in error, nothing thrown.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kelvor::media {

struct ArchiveChapter {
    std::int32_t FirstFrame = 0;  // frames of the source
    std::int32_t EndFrame = 0;    // exclusive
    std::string Title;
    std::vector<std::pair<std::string, std::string>> Tags;  // ("DATE_RECORDED", "2024-07-14")
};

struct ArchiveCue {
    std::int32_t FirstFrame = 0;
    std::int32_t EndFrame = 0;  // exclusive
    std::string Text;           // lines separated by '\n'
};

struct MkvArchiveRequest {
    std::string Source;
    std::string Output;
    std::int32_t FirstFrame = 0;
    std::int32_t EndFrame = -1;  // exclusive; -1: to the end of the stream
    std::string Title;
    std::vector<std::pair<std::string, std::string>> Tags;  // tags of the file
    std::vector<ArchiveChapter> Chapters;  // cut to the range and moved to its start
    std::vector<ArchiveCue> Cues;
    // Called after each frame with frames done and frames in all; false stops the run, which
    // then fails with "stopped" and keeps no file.
    std::function<bool(std::int64_t done, std::int64_t total)> Progress;
};

struct MkvArchiveResult {
    std::int64_t Frames = 0;   // DV frames written
    std::int64_t Samples = 0;  // sound sample frames written
    int SampleRate = 0;        // 0: no sound track
    std::int64_t Bytes = 0;    // of the finished file
};

bool WriteMkvArchive(const MkvArchiveRequest& request, MkvArchiveResult& result,
                     std::string& error);

}  // namespace kelvor::media
