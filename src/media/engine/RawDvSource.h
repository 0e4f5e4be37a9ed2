// The splitter of raw DV files (DIF frames back to back with no container, as dvgrab and archive
// tools write them). It takes a FileSourceFilter on its input pin like the AVI splitters and shows
// one output pin, its input pin last: an "iavs" stream (subtype dvsd, DVINFO built from the packs
// of the first frame whose header block reads), so that every graph that handles a DV type 1 AVI
// handles the file unchanged. Each frame becomes one sample.
//
// The frame size comes from the first header block's 50/60 flag (144000 bytes 625/50, 120000
// 525/60), the frame count and duration from the file size. Frames sit at fixed positions: one
// whose header block does not read (a dropout) goes out as it is, and a short last frame goes out
// with the bytes the file has, so the timeline stays what the file size says, as it does for a
// damaged chunk of an AVI file. A seek starts at the frame nearest the start and ends before the
// frame nearest the stop. Memory: one frame per buffer, four buffers.
//
// Threads: connection and positions on the driving thread; one streaming thread reads the frames
// and delivers them. Duration and FrameRate answer what the file size and the first header block
// said when the file opened.
// Failure: a file that does not start with a DIF header block refuses the connection
// (Code::InvalidFileFormat); a frame that cannot be read ends the stream with an error event.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/engine/Splitter.h"

namespace kelvor::media {

struct RawDvSplitterState;  // the open file and its frame geometry

class RawDvSplitterFilter : public FileSplitter<RawDvSplitterState> {
  public:
    RawDvSplitterFilter();
    ~RawDvSplitterFilter() override;

  private:
    Status OpenFile(const std::string& fileName, std::vector<MediaType>& types) override;
    std::int32_t MaxSampleSize(int stream) const override;
    void stream() override;
};

// True when the file's first bytes are a DIF header block, whatever its name. Any thread.
bool IsRawDvFile(const std::string& fileName);

}  // namespace kelvor::media
