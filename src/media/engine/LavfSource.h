// The splitter for every file that is not a DV AVI our own demuxer reads (AVI files of other
// codecs, DV in QuickTime or Matroska, any other video container), on libavformat, and the one
// place that chooses between it and the AVI splitter on our own demuxer.
//
// LavfSplitterFilter takes a FileSourceFilter on its input pin like AviSplitterFilter, opens the
// file when connected (the container probed from its bytes, among video containers only, and
// read from the local file alone), and then shows one output pin per stream in file order, its
// input pin last: "vids" (subtype the codec's four-character code, VIDEOINFOHEADER), "auds"
// (WAVEFORMATEX, codec extradata after it), other streams with only their major type. A DV video
// stream of 720x576 or 720x480 outside AVI goes out as the AVI splitter shows a DV type 2 one:
// subtype dvsd, the DV VIDEOINFOHEADER of its standard, each packet one whole DIF frame as stored,
// numbered by its media time. 8- and 16-bit PCM of either byte order goes out as little-endian PCM.
// Each packet becomes one sample with its start and stop times in 100 ns units from the start of
// the file; keyframes are sync points. A start position streams from the keyframe at or before it;
// samples before the start are marked preroll.
//
// Threads: connection and positions on the driving thread; one streaming thread of the splitter
// reads and delivers the packets (each output through its own queue when more than one is
// connected), and alone touches the libavformat context while it runs: Duration and FrameRate
// answer what was read when the file opened. StopThreads interrupts a pending read and joins.
// Failure: a file libavformat cannot open, or one without video or sound, refuses the connection
// (Code::InvalidFileFormat); a read error other than the end of the file, or a packet over
// 64 MiB, ends the stream with an error event.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/engine/Filter.h"
#include "media/engine/Graph.h"
#include "media/engine/Splitter.h"

struct AVFormatContext;

namespace kelvor::media {

struct LavfSplitterState;  // the open file's libavformat context and streams

class LavfSplitterFilter : public FileSplitter<LavfSplitterState> {
  public:
    LavfSplitterFilter();
    ~LavfSplitterFilter() override;
    double ContainerAspect() const override { return containerAspect_; }

  private:
    Status OpenFile(const std::string& fileName, std::vector<MediaType>& types) override;
    std::int32_t MaxSampleSize(int stream) const override;
    void stream() override;
    double containerAspect_ = 0;  // set by OpenFile on the driving thread
};

// True for a file our own demuxer opens and whose video is DV: an "iavs" stream, or a video
// stream whose handler or compression is dvsd or dv25 (any case). Any thread.
bool IsDvAvi(const std::string& fileName);

// The splitter for a file: RawDvSplitterFilter for a file that starts with a DIF header block,
// AviSplitterFilter for DV AVI files, LavfSplitterFilter for any other AVI, for files our demuxer
// refuses and for every other container. Either takes the file's FileSourceFilter on its input
// pin (GetInputPin(0)) and is Seekable. Driving thread.
FilterPtr CreateAviSplitter(const std::string& fileName);

// The bytes of the first packet of the first DV video stream of a file libavformat reads (the
// container probed as by LavfSplitterFilter); empty when there is none or the file cannot be read.
// Any thread.
std::vector<std::uint8_t> FirstDvFrame(const std::string& fileName);

// Opens a file with libavformat as LavfSplitterFilter does (video containers only, the local
// file alone) for a reader of its own; libavformat's result, the context in *ctx on success,
// which the caller closes. Any thread.
int OpenVideoContainer(AVFormatContext** ctx, const std::string& fileName);

// The splitter for a file the probe found DV in: the AVI splitter for any AVI file our demuxer
// opens, whatever its codec code says, else CreateAviSplitter's choice. Driving thread.
FilterPtr CreateDvSplitter(const std::string& fileName);

}  // namespace kelvor::media
