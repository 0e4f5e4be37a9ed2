// The filter availability check and the system report, as text lines with their styles.
//
// The graphs of the program stand on the engine's components, each named as the platform filter
// it replaces ("AVI Splitter", "DV Video Encoder", ...). The check asks each of them whether it
// can work here (the codec, scaler and resampler of the FFmpeg libraries; our own demuxer, DV
// splitter and muxer, writers, tee and renderers) and reports the missing ones by name, with a
// summary for the filters of the preview, of the list and of the conversions. The engine has one
// component per slot, so there is nothing for the graph owners' holders to rebind: they keep
// theirs, and a graph that needs a missing component fails its build.
//
// The system report names the operating system, the media engine (the FFmpeg libraries' version)
// and the image-grabbing program.
//
// Pure functions over what they are given, except ProbeEngineFilters and MediaEngineVersion,
// which ask the libraries; any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor::media {

// One filter of a directory: its friendly name and whether it can work here.
struct FilterEntry {
    std::string FriendlyName;
    bool Works = true;
};
using FilterDirectory = std::vector<FilterEntry>;

// The two categories the check reads.
enum class FilterCategory { DirectShowFilters, VideoCompressors };

// The engine's components under the names of the filters they stand for, probed now.
FilterDirectory ProbeEngineFilters(FilterCategory category);

// Whether the directory holds a filter of that name (case aside; the last of several) that works.
bool BindFilterByName(const FilterDirectory& directory, std::string_view friendlyName);

// One line of a report: its text, and how it is shown.
struct ReportLine {
    std::string Text;
    bool Bold = false;
    bool Italic = false;
    bool Red = false;
    friend bool operator==(const ReportLine&, const ReportLine&) = default;
};

// The check over the two directories: an empty line and "Test of Directshow filters", a red line
// for each missing filter, and the summaries of the groups that are whole.
std::vector<ReportLine> FilterCheckReport(const FilterDirectory& filters,
                                          const FilterDirectory& compressors);

// The version of the FFmpeg libraries the engine runs on ("6.1.1-3ubuntu5").
std::string MediaEngineVersion();

// The system report (as the about panel writes it): the operating system's text, the engine's
// version, and the path of the preference "Fichier Varnolt" when `exists` says a file is there,
// else "Varnolt not found".
std::vector<ReportLine> SystemReport(const std::string& osText, const std::string& engineVersion,
                                     const std::string& varnoltPath,
                                     const std::function<bool(const std::string&)>& exists);

}  // namespace kelvor::media
