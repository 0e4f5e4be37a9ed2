// The inlay filter: a copy filter on RGB24 (or, when asked, planar) pictures
// (FormatType::VideoInfo) that writes the datecode, or the timecode, of each frame into the
// picture as two lines of text with a dark border.
//
// Decoded pictures carry no DV packs: each frame's record comes with its picture from the date
// detector upstream (DvSourceFrame, attached to the DV frame and carried through the decoder);
// a picture without one takes the detector's latest record. The timed display counts down as
// the detector's does (RestartsDisplay). Line 1 has its top at py - 2h and line 2 at py - h,
// where (px, py) is the position in thousandths of the picture and h the font height in pixels,
// so (px, py) is the bottom anchor of line 2; alignment 0 starts the lines at px, 1 centres them
// on it, 2 ends them there, other values draw nothing. The border draws each line (2B + 1)^2
// times in black at every offset up to B pixels, then once in the text colour; B is read at
// every drawing from the border-size source (the preference "Border Size", 0 to 4).
//
// Font size, set at the start of streaming: with the standard size 21 x W / 720 points, else the
// user size x W / 720; a positive size in points is the character height, a negative one the
// cell height (ascent + descent), each in pixels at 96 dots per inch, so the same file comes out
// the same on every machine.
//
// Text is drawn with Qt: a QGuiApplication (the offscreen platform will do) must exist before
// the graph starts; without one StartStreaming fails with Code::Fail. "Arial" resolves through
// fontconfig, to Liberation Sans where that is installed.
//
// Threads: setters on the driving thread while the graph is stopped, except SetPosition,
// SetAlignment and SetEnabled, which the window may call while the preview plays (the next
// picture uses the new values). Transform runs on the streaming thread. A picture smaller than
// its type says fails with Code::Fail; that sample then carries no text.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/files/DatePattern.h"
#include "core/scenes/FrameInfo.h"
#include "media/engine/TransformFilter.h"
#include "media/filters/FilterIdentity.h"

namespace kelvor::media {

class DateDetectorFilter;

class InlayFilter : public TransformFilter {
  public:
    static constexpr FilterIdentity kIdentity{"Quennel cf_Superposer",
                                              "{F428C64E-ADDD-4EEC-BAC1-FDE3F861815A}"};
    static constexpr int kStandardPoints = 21;
    static constexpr int kReferenceWidth = 720;
    static constexpr int kMaxBorder = 4;

    // The border width in pixels, read at every drawing (any thread may call it).
    using BorderSizeSource = std::function<int()>;

    // detector may be null (pictures then pass unchanged); a null border source means 1.
    InlayFilter(std::shared_ptr<DateDetectorFilter> detector, BorderSizeSource borderSize,
                LocaleInfo locale = EnglishLocale());
    ~InlayFilter() override;

    void SetEnabled(bool enabled) { enabled_ = enabled; }
    bool Enabled() const { return enabled_; }
    // X and Y in thousandths of the picture, clamped to 0..1000; alignment 0 left, 1 centre,
    // 2 right.
    void SetPosition(int x, int y, int alignment);
    void SetAlignment(int alignment) { alignment_ = alignment; }
    void SetDateFormats(std::string_view first, std::string_view second);  // empty -> `" "`
    void SetTimeShift(double days) { timeShift_ = days; }
    void SetDisplayKind(int kind) { displayKind_ = kind; }  // 0 datecode, 1 timecode
    void SetAutoMode(bool on) { autoMode_ = on; }
    void SetTrigger(int trigger);       // 0, 1 or 2; countdown = display length - 1
    void SetDisplayFrames(int frames);  // countdown = frames - 1
    void SetStandardFontSize(bool standard) { standardSize_ = standard; }
    void SetFontSize(int points) { fontSize_ = -points; }  // stored negated: a cell height
    void SetFontName(std::string name) { fontName_ = std::move(name); }
    void SetTextColor(std::uint32_t colorRef) { textColor_ = colorRef; }  // 0x00BBGGRR
    void SetBold(bool on) { bold_ = on; }
    void SetItalic(bool on) { italic_ = on; }
    void SetUnderline(bool on) { underline_ = on; }
    void SetStrikeOut(bool on) { strikeOut_ = on; }
    // The width-to-height ratio the pictures are seen at (0: as stored). The letters are
    // narrowed or widened by the pixel ratio so they keep their shape on screen.
    void SetDisplayAspect(double aspect) { displayAspect_ = aspect; }
    // Whether planar 4:2:0 and 4:1:1 pictures are taken besides RGB24 (off: a graph that connects
    // the inlay to a renderer keeps RGB). On planar pictures the lines are drawn once per text
    // (the draw trace sees those drawings) and laid on every picture, whose other bytes stay as
    // they are. While stopped.
    void SetPlanarInput(bool on) { planarInput_ = on; }
    // The locale of the date patterns (month and day names, separators).
    void SetLocale(LocaleInfo locale) { locale_ = std::move(locale); }

    int PositionX() const { return posX_; }
    int PositionY() const { return posY_; }
    int Alignment() const { return alignment_; }
    int Countdown() const { return countdown_; }
    // The lines of the last picture, and the font height h in pixels of the current run.
    const std::string& Line1() const { return line1_; }
    const std::string& Line2() const { return line2_; }
    int FontHeight() const { return fontHeight_; }

    // Every drawing of a line, border passes first, for tests. Set while stopped.
    struct DrawPass {
        int Line = 0;  // 1 or 2
        int Dx = 0;
        int Dy = 0;
        bool Border = false;
        std::string Text;
    };
    void SetDrawTrace(std::function<void(const DrawPass&)> trace) { drawTrace_ = std::move(trace); }

    // Drawing outside a graph, for an export that burns the date into pictures it decodes itself.
    // BeginPictures takes the size of top-down BGR pictures whose rows are Rgb24Stride(width)
    // bytes apart, sizes the font and restarts the timed display so that its next
    // display-length pictures show; it fails without a QGuiApplication. Advance takes each
    // frame's record in order, counts the display down and says whether that frame's picture
    // gets lines; Draw then writes them into it. All three on one thread, with no graph running.
    Status BeginPictures(int width, int height);
    bool Advance(const scenes::FrameInfo& record);
    Status Draw(std::span<std::uint8_t> picture);

  protected:
    Status CheckInputType(const MediaType& mtIn) override;
    Status CheckTransform(const MediaType& mtIn, const MediaType& mtOut) override;
    Status GetMediaType(int position, MediaType& mt) override;
    Status DecideBufferSize(AllocatorProperties& props) override;
    Status StartStreaming() override;
    Status Transform(const MediaSample& in, MediaSample& out) override;

  private:
    struct Painter;
    bool startPictures(int width, int height, bool bottomUp);
    scenes::FrameInfo frameRecord(const MediaSample& in) const;
    bool updateCountdown(const scenes::FrameInfo& record);  // true: show the lines
    void formLines(const scenes::FrameInfo& record);
    int borderSize() const;

    std::shared_ptr<DateDetectorFilter> detector_;
    BorderSizeSource borderSize_;
    LocaleInfo locale_;
    std::unique_ptr<Painter> painter_;

    std::atomic<bool> enabled_{true};
    std::atomic<int> posX_{900};
    std::atomic<int> posY_{900};
    std::atomic<int> alignment_{2};

    std::string firstFormat_ = "ddddd";
    std::string secondFormat_ = "hh:nn:ss";
    double timeShift_ = 0;
    int displayKind_ = 0;
    bool autoMode_ = true;
    bool planarInput_ = false;
    int trigger_ = 1;
    int displayFrames_ = 125;
    int countdown_ = 0;
    double triggerLastDate_ = 0;

    bool standardSize_ = true;
    int fontSize_ = -kStandardPoints;
    std::string fontName_ = "Arial";
    std::uint32_t textColor_ = 0xFFFFFF;
    bool bold_ = true;
    bool italic_ = false;
    bool underline_ = false;
    bool strikeOut_ = false;
    double displayAspect_ = 0;

    // Streaming state.
    std::uint32_t sampleCounter_ = 0;
    int fontHeight_ = 0;
    std::string line1_;
    std::string line2_;
    double linesFor_ = 0;  // the date (plus shift) the lines were formatted for
    bool linesValid_ = false;
    std::function<void(const DrawPass&)> drawTrace_;
};

}  // namespace kelvor::media
