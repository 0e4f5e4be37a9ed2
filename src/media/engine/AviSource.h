// The file source and the AVI splitter. The source only holds the file name; the splitter opens
// the file when the source is connected to it, and then shows one output pin per stream of the
// file in stream order, its input pin last: "vids" (subtype the picture's four-character code,
// VIDEOINFOHEADER), "auds" (WAVEFORMATEX), "iavs" (DVINFO). Each chunk becomes one sample: a
// whole DV frame for DV streams.
//
// The chunks go out in time order (file order among chunks of the same time, and for a file
// whose streams have no rate), so a file whose sound lies a second behind its pictures still
// reaches a receiver that pairs the streams without that receiver waiting on a full queue.
// A seek starts each picture stream at the frame nearest the start and ends it before the frame
// nearest the stop; sound starts and stops at the chunk boundaries nearest the two positions.
//
// Threads: Load, connection and positions on the driving thread; one streaming thread of the
// splitter reads the chunks and delivers them. Duration and FrameRate read only
// the stream headers, which stay as they are once the file is open, so the driving thread may
// ask while the streaming thread reads. When more than one output is
// connected, each output delivers through its own queue thread, so that a renderer holding its
// first sample in the paused state does not hold up the others.
// Failure: Load answers Code::Fail for a file that cannot be opened; a file that is not AVI refuses
// the connection (Code::InvalidFileFormat); a chunk that cannot be read ends the stream with
// an error event.
#pragma once

#include <memory>
#include <string>

#include "media/engine/Filter.h"
#include "media/engine/Graph.h"
#include "media/engine/Splitter.h"

namespace kelvor::avi {
class AviDemuxer;
}

namespace kelvor::media {

class FileSourceFilter : public BaseFilter {
  public:
    FileSourceFilter();
    // Code::Fail for a file that is missing, unreadable or not a regular file; LoadError says
    // which.
    Status Load(const std::string& fileName);
    const std::string& FileName() const { return fileName_; }
    const std::string& LoadError() const { return loadError_; }
    OutputPin& Output() const { return *output_; }

    Status GetMediaType(const Pin& pin, int position, MediaType& mt) override;

  private:
    std::string fileName_;
    std::string loadError_;
    OutputPin* output_;
};

struct AviSplitterState;  // the open file's demuxer and streams

class AviSplitterFilter : public FileSplitter<AviSplitterState> {
  public:
    AviSplitterFilter();
    // With the demuxer already opened on `fileName` (by whoever chose this splitter), which the
    // first connection to a source of that file takes over instead of parsing the file again.
    AviSplitterFilter(std::unique_ptr<avi::AviDemuxer> opened, std::string fileName);
    ~AviSplitterFilter() override;

  private:
    Status OpenFile(const std::string& fileName, std::vector<MediaType>& types) override;
    std::int32_t MaxSampleSize(int stream) const override;
    void stream() override;
    StreamTime fileDuration() const;

    std::unique_ptr<avi::AviDemuxer> opened_;
    std::string openedFileName_;
};

// Whether an opened file's video is DV: an "iavs" stream, or a video stream whose handler or
// compression is dvsd or dv25 (any case).
bool IsDvAviStreams(const avi::AviDemuxer& dmx);

// The splitter our own readers offer for a file: RawDvSplitterFilter for a file that starts with
// a DIF header block, AviSplitterFilter for a DV AVI file; null for every other file, which
// libavformat reads (CreateAviSplitter). Driving thread.
FilterPtr CreateOwnDvSplitter(const std::string& fileName);

}  // namespace kelvor::media
