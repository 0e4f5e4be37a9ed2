// The filter availability check's report lines and summaries, and the system report.
#include <gtest/gtest.h>

#include "media/graphs/FilterCheck.h"

namespace kelvor::media {
namespace {

std::vector<std::string> Texts(const std::vector<ReportLine>& lines) {
    std::vector<std::string> out;
    for (const ReportLine& l : lines)
        out.push_back(l.Text);
    return out;
}

TEST(FilterCheck, TheEngineHasEveryFilterHere) {
    const auto report = FilterCheckReport(ProbeEngineFilters(FilterCategory::DirectShowFilters),
                                          ProbeEngineFilters(FilterCategory::VideoCompressors));
    EXPECT_EQ(
        Texts(report),
        (std::vector<std::string>{
            "", "Test of Directshow filters", "All filters for Video are available",
            "All filters for Listing are available", "All filters for Converting are available"}));
    for (const ReportLine& l : report) {
        EXPECT_TRUE(l.Bold && l.Italic && !l.Red) << l.Text;
    }
}

TEST(FilterCheck, MissingFiltersAreNamedAndTheirGroupLosesItsSummary) {
    FilterDirectory filters = ProbeEngineFilters(FilterCategory::DirectShowFilters);
    // Without the DV encoder: the converting summary goes, the others stay.
    auto report = FilterCheckReport(filters, {});
    ASSERT_EQ(report.size(), 5u);
    EXPECT_EQ(report[4].Text, "DV Video Encoder is mising");
    EXPECT_TRUE(report[4].Red);
    EXPECT_EQ(report[2].Text, "All filters for Video are available");
    EXPECT_EQ(report[3].Text, "All filters for Listing are available");

    // A filter that does not work counts as missing; a name in another case is found.
    for (FilterEntry& e : filters) {
        if (e.FriendlyName == "Color Space Converter")
            e.Works = false;
        if (e.FriendlyName == "Null Renderer")
            e.FriendlyName = "NULL RENDERER";
    }
    report = FilterCheckReport(filters, {{"dv video encoder", true}});
    EXPECT_EQ(
        Texts(report),
        (std::vector<std::string>{
            "", "Test of Directshow filters", "Color Space Converter is missing",
            "All filters for Listing are available", "All filters for Converting are available"}));
    EXPECT_TRUE(report[2].Red);

    // The last of several entries of one name decides.
    EXPECT_FALSE(BindFilterByName({{"AVI Mux", true}, {"avi mux", false}}, "AVI Mux"));
    EXPECT_TRUE(BindFilterByName({{"AVI Mux", false}, {"avi mux", true}}, "AVI Mux"));
}

TEST(FilterCheck, TheSystemReport) {
    const auto yes = [](const std::string&) { return true; };
    const auto no = [](const std::string&) { return false; };
    const auto report =
        SystemReport("Linux 6.1 Debian GNU/Linux 12", "6.1.1", "/usr/bin/varnolt", yes);
    EXPECT_EQ(Texts(report),
              (std::vector<std::string>{
                  "My operating system is: ", "Linux 6.1 Debian GNU/Linux 12. ", "",
                  "I am using:", "Media engine version FFmpeg 6.1.1.", "", "Varnolt:", "/usr/bin/varnolt"}));
    EXPECT_TRUE(report[0].Italic);
    EXPECT_TRUE(report[1].Bold);
    EXPECT_TRUE(report[4].Bold);
    EXPECT_EQ(SystemReport("x", "y", "/usr/bin/varnolt", no).back().Text, "Varnolt not found");
    EXPECT_EQ(SystemReport("x", "y", "", yes).back().Text, "Varnolt not found");
    EXPECT_FALSE(MediaEngineVersion().empty());
}

}  // namespace
}  // namespace kelvor::media
