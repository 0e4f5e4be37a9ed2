// The record of one video file in the main list: file system facts, companions, the AVI header
// facts and what a media probe learned from the first frame, with every display text and the
// four ordering keys computed once at construction.
//
// The probe is reached through MediaProbe so that this layer stays free of the media engine; the
// concrete probe is media::ProbeGraph. A record is built on the thread that owns the probe, one at
// a time (the probe keeps shared state), and is read only afterwards from any thread. Failure:
// nothing throws out of the constructor; an unreadable, missing or hostile file gives a record with
// the texts of an unreadable file. The file is only ever opened for reading.
#pragma once

#include <cstdint>
#include <string>

#include "core/avi/FormatBlocks.h"
#include "core/dv/DvInfo.h"
#include "core/dv/DvPacks.h"
#include "core/files/DatePattern.h"
#include "core/files/FileKinds.h"

namespace kelvor::files {

// The video pin's VIDEOINFOHEADER as far as the record reads it (the block itself is the media
// engine's).
struct ProbeVideoFormat {
    std::uint32_t dwBitRate = 0;
    std::int64_t AvgTimePerFrame = 0;  // 100 ns units
    avi::BitmapInfoHeader bmiHeader;
};

// What one probe leaves for the record; durations in 100 ns units. A format is meaningful only
// when its Found flag is set.
struct ProbeResult {
    bool VideoFound = false;
    ProbeVideoFormat VideoFormat;
    std::int64_t VideoDuration = 0;
    bool AudioFound = false;
    avi::WaveFormatEx AudioFormat;
    std::int64_t AudioDuration = 0;
    bool InterleavedFound = false;
    dv::DvInfo DVInfo;
    std::int32_t StreamCount = 0;
    bool PassedDetector = false;
    bool DatecodeValid = false;
    double ProbeDatecode = 0;
    bool TimecodeValid = false;
    dv::Timecode ProbeTimecode{};
    bool ProbeWide = false;
    bool ProbeAspectFound = false;  // the first frame carried its aspect (ProbeWide)
    // The display aspect the container announces for a file outside AVI (its sample aspect
    // times the picture size); 0 when it says none.
    double ContainerAspect = 0;
    std::string Error;  // why the probe failed; empty when it did not
};

class MediaProbe {
  public:
    virtual ~MediaProbe() = default;
    // Examines every stream of the file; true when all could be. With asDvsd the first video
    // stream is offered as if its codec code were "dvsd" (the file is not touched).
    virtual bool ProbeFile(const std::string& fileName, bool asDvsd) = 0;
    // Whatever the last probe gathered, also after a failure.
    virtual const ProbeResult& Result() const = 0;
};

// Where a DV file's display aspect (Wide) was read, most trusted first.
enum class AspectSource {
    Frame,            // the first frame's VAUX source-control pack
    DvInfo,           // the stream format's DVINFO copy of that pack
    VideoProperties,  // the OpenDML video properties header
    Container,        // the sample aspect of a container other than AVI
    Default,          // nothing said it: 4:3
};

// The record's settings taken from the preferences.
struct RecordSettings {
    std::string DisplayDatecodeFormat = "ddddd hh:nn:ss";  // "Format pour Afficher Datecode"
    LocaleInfo Locale = EnglishLocale();                   // the user's, for the datecode text
};

class FileRecordName {
  public:
    std::string Name;
    std::string FullName;  // absolute and normalised
    std::string NameKey;

  protected:
    explicit FileRecordName(const std::string& fileName);
};

class FileRecordStat : public FileRecordName {
  public:
    bool Exists = false;
    std::uint32_t SizeHigh = 0;
    std::uint32_t SizeLow = 0;
    double Created = 0;  // local date-time values with milliseconds
    double Modified = 0;
    double Accessed = 0;
    std::uint32_t Attributes = 0;  // the st_mode bits
    // What the file's first bytes say it is (Other for a missing or irregular file).
    ContainerKind Container = ContainerKind::Other;
    std::string SizeKey;
    std::string DateKey;

  protected:
    explicit FileRecordStat(const std::string& fileName);
};

class FileRecordMedia : public FileRecordStat {
  public:
    std::string DatecodeKey;
    std::string DatecodeText;
    double Datecode = 0;
    // True only when the probe found the recording date; Datecode means nothing otherwise.
    bool DatecodeValid = false;
    std::string TimecodeText;
    // The first frame's tape timecode; meaningful only when TimecodeValid is set.
    dv::Timecode Timecode{};
    bool TimecodeValid = false;
    std::string Codec;
    std::uint32_t DVType = 0;
    bool IavsType2 = false;
    std::string ImageText;
    std::string AspectText;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::string DurationText;
    std::int32_t FrameCount = 0;
    double Fps = 0;
    std::string AudioText;
    std::string AudioDurationText;
    std::uint32_t DVVAuxSource = 0;
    std::uint32_t VideoBitRate = 0;
    std::string AudioFormatText;
    std::uint8_t Standard = 0;  // 0 unknown, 1 625/50 ("Pal"), 2 525/60 ("NTSC")
    bool HasScn = false;
    bool HasSrt = false;
    bool IsDV = false;
    bool Wide = false;
    AspectSource AspectFrom = AspectSource::Default;  // meaningful for DV files
    std::uint32_t SampleRate = 0;
    std::uint32_t SampleBits = 0;
    int Channels = 0;  // 0 without sound
    std::string ChannelsText;
    std::string DatecodeSortKey;
    // Why the file could not be read or probed; empty when it could.
    std::string ReadError;

  protected:
    FileRecordMedia(const std::string& fileName, MediaProbe& probe, const RecordSettings& settings);
};

class FileRecord : public FileRecordMedia {
  public:
    FileRecord(const std::string& fileName, MediaProbe& probe, const RecordSettings& settings = {})
        : FileRecordMedia(fileName, probe, settings) {}
};

// The key of dated DV files comes first, then "N/A", then these two.
inline const std::string kKeyNotDv = "\xFE";
inline const std::string kKeyUnreadable = "\xFF";

}  // namespace kelvor::files
