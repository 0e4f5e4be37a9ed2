// What the main window asks of the preview (the player frame and its graph). The preview is not
// built yet: the window talks to this interface, and until a preview is attached the base class
// answers for a preview that is never active, so the window's own steps (volume, mute, inlay,
// the current file) already run.
//
// UI thread only.
#pragma once

#include <cstdint>
#include <string>

namespace kelvor::files {
class FileRecord;
}

namespace kelvor::ui {

class PreviewSlot {
  public:
    virtual ~PreviewSlot() = default;

    // A graph is built for a file (so the player keys have something to drive).
    virtual bool Active() const { return false; }
    virtual bool Running() const { return false; }
    virtual bool Paused() const { return false; }
    // The current file (null: nothing) is loaded, or the graph is stopped and cleared.
    virtual void Load(const files::FileRecord*) {}
    virtual void Clear() {}
    virtual void Run() {}
    virtual void Pause() {}
    virtual void Stop() {}
    // Frames (or 100 ns units without video) forward or backward; the scene steps.
    enum class Step { Frame, Second, Minute, End, Start, NextScene, PreviousScene };
    virtual void StepBy(Step, bool /*forward*/) {}
    virtual void SetVolume(int /*volume0to10000*/) {}
    virtual void SetInlay(bool /*on*/) {}
    virtual void SetInlayPosition(int /*x*/, int /*y*/, int /*alignment*/) {}
    // The frame shown, and a seek to a frame (the scene editor's clicks).
    virtual std::int32_t CurrentFrame() const { return 0; }
    virtual void SeekFrame(std::int32_t /*frame*/) {}
    virtual bool Fullscreen() const { return false; }
    virtual void SetFullscreen(bool) {}
    // A command rewrites the previewed file: the file is given free (the player says why) until
    // Resume, after which Load takes it back.
    virtual void Release() { Clear(); }
    virtual void Resume() {}

    // The settings of the preview's inlay filter; each takes effect at the next drawn frame.
    virtual void SetInlayStandardFontSize(bool) {}
    virtual void SetInlayFont(const std::string& /*name*/, int /*size*/, int /*colorBgr*/,
                              bool /*bold*/, bool /*italic*/, bool /*underline*/,
                              bool /*strikeOut*/) {}
    virtual void SetInlayAlignment(int) {}
    virtual void SetInlayDisplayKind(int) {}
    virtual void SetInlayAutoMode(int) {}
    virtual void SetInlayTrigger(int) {}
    virtual void SetInlayDisplayFrames(int) {}
    virtual void SetInlayDateFormats(const std::string& /*line1*/, const std::string& /*line2*/) {}
    virtual void SetInlayTimeShift(double /*days*/) {}
    // Shows the current frame again with the inlay's settings: when the preview is not playing
    // it is stopped and paused; while it plays the next frames show them anyway.
    void Redraw() {
        if (!Running()) {
            Stop();
            Pause();
        }
    }
};

}  // namespace kelvor::ui
