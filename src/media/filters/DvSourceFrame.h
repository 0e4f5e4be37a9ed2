// The facts of the DV frame a sample was made from, which the date detector filter attaches to
// every DV frame it sees: the frame's record and its header blocks (the first 480 bytes of each
// DIF sequence: header, subcode and VAUX blocks). They travel with the sample and with every
// picture and frame made from it, so the inlay and the DV header filter further down, on other
// threads and several frames behind the detector, still see the facts of their own frame.
//
// Immutable once attached; any thread may read it.
#pragma once

#include <array>
#include <memory>

#include "core/scenes/DateSceneDetector.h"
#include "core/scenes/FrameInfo.h"
#include "media/engine/MediaSample.h"

namespace kelvor::media {

struct DvSourceFrame : SampleAttachment {
    scenes::FrameInfo Info;
    int Sequences = 0;  // 10 (525/60) or 12 (625/50): the slots of Blocks that hold the frame's
    std::array<scenes::HeaderBlockSlot, dv::kSequences625> Blocks{};

    // The facts a sample carries, or null.
    static std::shared_ptr<const DvSourceFrame> Of(const MediaSample& sample) {
        return std::dynamic_pointer_cast<const DvSourceFrame>(sample.GetAttachment());
    }
};

}  // namespace kelvor::media
