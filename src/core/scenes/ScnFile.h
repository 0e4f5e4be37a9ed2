// The scn file: the scene list of one video stored beside it ("holiday.avi" -> "holiday.scn"),
// in the object-archive layout that the program has always written, narrow (Windows-1252
// strings) or wide (UTF-16LE strings).
//
// Strings longer than a length byte can hold are cut to 254 characters (254 code units in the
// wide variant) at a character boundary, never inside a surrogate pair or a CR LF, so a file
// always reads back.
//
// A ScnWriter owns its file and is used by one thread at a time. It writes into a temporary
// file beside the scn file and moves it into place when it is closed; a file that cannot be
// created, or a failed write, leaves any existing scn file as it was and is reported by Good()
// and the results of AddScene and Close, never by an exception.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/scenes/SceneList.h"

namespace kelvor::files {
class OutputFile;
}

namespace kelvor::scenes {

enum class ScnVariant { Narrow, Wide };

// The variant chosen by the preference "type scn": 1 narrow, anything else wide.
ScnVariant ScnVariantFromPreference(int typeScn);

// The longest string element holds this many characters.
inline constexpr std::size_t kScnMaxStringLength = 254;

class ScnWriter {
  public:
    // Forms the scn name from the video's full name (UTF-8) and writes the file header.
    ScnWriter(std::string_view videoName, ScnVariant variant);
    ~ScnWriter();  // Close()
    ScnWriter(const ScnWriter&) = delete;
    ScnWriter& operator=(const ScnWriter&) = delete;

    // Appends a scene from the last end frame to endFrame. The caption (UTF-8, lines joined by
    // " | ") may be empty. The scene count is a 16-bit field, so once 65535 scenes are stored
    // further scenes are refused (false) rather than wrapping the count to 0.
    bool AddScene(std::string_view caption, std::int32_t endFrame);

    // Moves the finished file into place. Nothing more is written. True when the scn file now
    // holds every byte written.
    bool Close();
    // Drops what was written and keeps the old scn file (a run that failed).
    void Discard();

    bool Good() const;
    // Why the file could not be written; empty while all is well.
    std::string Error() const;
    std::uint16_t ScenesWritten() const { return count_; }
    std::int32_t LastEndFrame() const { return lastEnd_; }
    const std::string& FileName() const { return fileName_; }
    ScnVariant Variant() const { return variant_; }

  private:
    std::string fileName_;
    ScnVariant variant_;
    std::string videoName_;
    std::unique_ptr<files::OutputFile> file_;
    std::string error_;  // the file's error, kept once it is closed
    std::uint16_t count_ = 0;
    std::int32_t lastEnd_ = 0;
    std::uint64_t countPosition_ = 0;
};

// Appends one entry per scene of the file to scenes; true only when every scene announced by
// the file's count was read. Missing, short or damaged files give false, with the entries read
// so far left in the list. Captions absent from the file get DefaultSceneCaption at frameRate.
// Any thread; the file is only read.
bool ReadScnFile(const std::string& scnName, SceneList& scenes, double frameRate);

// The same on bytes already in memory (the file's whole content).
bool ReadScnBytes(std::span<const std::uint8_t> bytes, SceneList& scenes, double frameRate);

}  // namespace kelvor::scenes
