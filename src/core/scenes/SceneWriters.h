// What the detection sinks and the scn conversions need of a scene writer, whatever it writes.
// Writers receive scenes one at a time, in order, as the end frame of each (the first frame after
// it); a scene starts where the previous one ended, the first at frame 0.
//
// Implementations are used by one thread at a time and never throw; a writer whose file could
// not be created accepts every call and writes nothing.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelvor::scenes {

// A scene list writer with number, start, end, duration and caption.
class PlainSceneWriter {
  public:
    virtual ~PlainSceneWriter() = default;
    virtual void AddPlainScene(std::string_view caption, std::int32_t endFrame) = 0;
    // Finishes the output (footer, save); nothing may be added afterwards. False when the output
    // could not be written.
    virtual bool Finish() = 0;
};

// A scene list writer that adds the datecode and timecode texts of each scene's first frame.
class DatedSceneWriter {
  public:
    virtual ~DatedSceneWriter() = default;
    virtual void AddDatedScene(std::int32_t endFrame, std::string_view caption,
                               std::string_view datecode, std::string_view timecode) = 0;
    virtual bool Finish() = 0;
};

}  // namespace kelvor::scenes
