// The list-reading graph: opens a file in a graph of its own, runs each stream to its first
// frame through the date scene detector (DV streams) or straight into a null renderer, and
// reports the format blocks, the durations in 100 ns units and the detector's first frame.
//
// One instance for the program, kept with its detector for the program's life; one probe at a
// time, on the thread that owns it. Failure: ProbeFile answers false for a file the source or
// the AVI splitter refuses, an interleaved stream the DV splitter refuses or any engine error;
// Result() then holds whatever was gathered. The file is only read.
#pragma once

#include <memory>
#include <string>

#include "core/files/FileRecord.h"

namespace kelvor::media {

class DateDetectorFilter;

class ProbeGraph : public files::MediaProbe {
  public:
    ProbeGraph();            // DataModuleCreate: makes the detector
    ~ProbeGraph() override;  // DataModuleDestroy

    bool ProbeFile(const std::string& fileName, bool asDvsd = false) override;
    const files::ProbeResult& Result() const override { return result_; }

  private:
    std::shared_ptr<DateDetectorFilter> detector_;
    files::ProbeResult result_;
};

}  // namespace kelvor::media
