// The text exports of a scene list: the commented text list "_scn.txt" (plain and extended) and
// the SubRip subtitle file ".srt". Lines are UTF-8 and end with CR LF.
//
// Each writer owns its file and is used by one thread at a time. The file is written under a
// temporary name beside the target and moved into place by Close() (or the destructor), so an
// existing file is replaced only by a complete one. A file that cannot be created makes Good()
// false and every write a no-op; nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/scenes/ExportContext.h"
#include "core/scenes/SceneWriters.h"

namespace kelvor::files {
class OutputFile;
}

namespace kelvor::scenes {

// A text file written line by line. source names the file it describes, which it never
// replaces.
class TextFileWriter {
  public:
    explicit TextFileWriter(std::string fileName, std::string_view source = {});
    virtual ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // The text followed by CR LF.
    bool WriteLine(std::string_view text);
    bool Good() const;
    const std::string& FileName() const { return fileName_; }
    // Why the file could not be written; empty while all is well.
    std::string Error() const;
    // Drops what was written and keeps the old file (a run that failed); nothing more is written.
    void Discard();

  protected:
    bool closeFile();

  private:
    std::string fileName_;
    std::unique_ptr<files::OutputFile> file_;
    std::string error_;  // the file's error, kept once it is closed
};

// The message the window shows when a plain text list cannot write its header.
inline constexpr std::string_view kTextListCreateError = "Error while creating a scn text file";

// What the two text lists share: the header naming the video, the rank and start of each scene,
// and the footer written on close.
class TextSceneList : public TextFileWriter {
  public:
    ~TextSceneList() override;
    // Writes the footer and moves the file into place; later calls do nothing.
    bool Close();
    std::uint32_t ScenesWritten() const { return count_; }

  protected:
    // name: the video's (or scn file's) name; the file is that name with "_scn.txt" in place of
    // its extension. The header is written at once.
    TextSceneList(std::string_view name, ExportContext context, bool extended);
    // Writes "  n, start, end, " + middle + duration + ", " + caption and advances.
    void addLine(std::int32_t endFrame, std::string_view middle, std::string_view caption);
    std::string position(std::int32_t frame) const;

  private:
    ExportContext context_;
    // Wider than the 16 bits of old so that ranks never wrap.
    std::uint32_t count_ = 0;
    std::int32_t lastEnd_ = 0;
    bool closed_ = false;
};

// The plain text list: number, start, end, duration, caption.
class ScnTextWriter : public TextSceneList, public PlainSceneWriter {
  public:
    ScnTextWriter(std::string_view name, ExportContext context);
    void AddSceneLine(std::string_view caption, std::int32_t endFrame);

    void AddPlainScene(std::string_view caption, std::int32_t endFrame) override {
        AddSceneLine(caption, endFrame);
    }
    bool Finish() override { return Close(); }
};

// The extended text list: number, start, end, datecode, timecode, duration, caption.
class DatedScnTextWriter : public TextSceneList, public DatedSceneWriter {
  public:
    DatedScnTextWriter(std::string_view name, ExportContext context);
    void AddSceneLine(std::int32_t endFrame, std::string_view caption, std::string_view datecode,
                      std::string_view timecode);

    void AddDatedScene(std::int32_t endFrame, std::string_view caption, std::string_view datecode,
                       std::string_view timecode) override {
        AddSceneLine(endFrame, caption, datecode, timecode);
    }
    bool Finish() override { return Close(); }
};

// SubRip subtitles. Each entry is written one call late, when its end is known.
class SrtWriter : public TextFileWriter {
  public:
    // The file is name with ".srt" in place of its extension.
    SrtWriter(std::string_view name, ExportContext context);
    ~SrtWriter() override;

    // Ends the pending entry at frame; lines that are not both empty start the next one there.
    // An empty line of a shown pair is written as a single blank.
    void AddSubtitle(std::int32_t frame, std::string_view line1, std::string_view line2);
    // Only closes the file: a pending entry has no end yet and is not written (the detector
    // ends the last one with empty lines when the stream stops).
    bool Close();

    int EntriesWritten() const { return count_; }

  private:
    ExportContext context_;
    int count_ = 0;
    bool pending_ = false;
    std::int32_t pendingStart_ = 0;
    std::string pendingLine1_;
    std::string pendingLine2_;
    bool closed_ = false;
};

}  // namespace kelvor::scenes
