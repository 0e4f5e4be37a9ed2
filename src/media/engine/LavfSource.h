// The splitter for AVI files that are not DV, on libavformat, and the one place that chooses
// between it and the AVI splitter on our own demuxer.
//
// LavfSplitterFilter takes a FileSourceFilter on its input pin like AviSplitterFilter, opens the
// file when connected, and then shows one output pin per stream in file order, its input pin
// last: "vids" (subtype the codec's four-character code, VIDEOINFOHEADER), "auds" (WAVEFORMATEX,
// codec extradata after it), other streams with only their major type. Each packet becomes one
// sample with its start and stop times in 100 ns units from the start of the file; keyframes are
// sync points. A start position streams from the keyframe at or before it; samples before the
// start are marked preroll.
//
// Threads: connection and positions on the driving thread; one streaming thread of the splitter
// reads and delivers the packets (each output through its own queue when more than one is
// connected), and alone touches the libavformat context while it runs: Duration and FrameRate
// answer what was read when the file opened. StopThreads interrupts a pending read and joins.
// Failure: a file libavformat's AVI reader cannot open refuses the connection
// (Code::InvalidFileFormat); a read error other than the end of the file, or a packet over
// 64 MiB, ends the stream with an error event.
#pragma once

#include <memory>
#include <string>

#include "media/engine/Filter.h"
#include "media/engine/Graph.h"
#include "media/engine/Splitter.h"

namespace kelvor::media {

struct LavfSplitterState;  // the open file's libavformat context and streams

class LavfSplitterFilter : public FileSplitter<LavfSplitterState> {
  public:
    LavfSplitterFilter();
    ~LavfSplitterFilter() override;

  private:
    Status OpenFile(const std::string& fileName, std::vector<MediaType>& types) override;
    std::int32_t MaxSampleSize(int stream) const override;
    void stream() override;
};

// True for a file our own demuxer opens and whose video is DV: an "iavs" stream, or a video
// stream whose handler or compression is dvsd or dv25 (any case). Any thread.
bool IsDvAvi(const std::string& fileName);

// The splitter for a file: RawDvSplitterFilter for a file that starts with a DIF header block,
// AviSplitterFilter for DV AVI files, LavfSplitterFilter for any other AVI and for files our
// demuxer refuses. Either takes the file's FileSourceFilter on its input pin
// (GetInputPin(0)) and is Seekable. Driving thread.
FilterPtr CreateAviSplitter(const std::string& fileName);

}  // namespace kelvor::media
