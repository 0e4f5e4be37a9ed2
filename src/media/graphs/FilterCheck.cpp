#include "media/graphs/FilterCheck.h"

#include <array>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace kelvor::media {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The scaler converts the pictures of the decoders into what the encoder and the inlay take.
bool ScalerWorks() {
    SwsContext* c = sws_getContext(720, 576, AV_PIX_FMT_YUV420P, 720, 480, AV_PIX_FMT_BGR24,
                                   SWS_BICUBIC, nullptr, nullptr, nullptr);
    sws_freeContext(c);
    return c != nullptr;
}

// The resampler brings any sound to the DV rates.
bool ResamplerWorks() {
    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, 2);
    SwrContext* s = nullptr;
    bool ok = swr_alloc_set_opts2(&s, &stereo, AV_SAMPLE_FMT_S16, 48000, &stereo, AV_SAMPLE_FMT_S16,
                                  44100, 0, nullptr) >= 0 &&
              s && swr_init(s) >= 0;
    swr_free(&s);
    av_channel_layout_uninit(&stereo);
    return ok;
}

// The DV encoder opens for a PAL frame.
bool DvEncoderWorks() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_DVVIDEO);
    if (!codec)
        return false;
    AVCodecContext* c = avcodec_alloc_context3(codec);
    if (!c)
        return false;
    c->width = 720;
    c->height = 576;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, 25};
    const bool ok = avcodec_open2(c, codec, nullptr) == 0;
    avcodec_free_context(&c);
    return ok;
}

}  // namespace

FilterDirectory ProbeEngineFilters(FilterCategory category) {
    if (category == FilterCategory::VideoCompressors)
        return {{"DV Video Encoder", DvEncoderWorks()}};
    // Our own stages (file source and writer, the DV splitter and muxer, the AVI mux, the tee,
    // the null renderer) are part of the program; the AVI splitter is ours for DV files and
    // libavformat's for any other.
    return {
        {"File Source (Async.)", true},
        {"AVI Splitter", av_find_input_format("avi") != nullptr},
        {"Color Space Converter", ScalerWorks()},
        {"DV Video Decoder", avcodec_find_decoder(AV_CODEC_ID_DVVIDEO) != nullptr},
        {"DV Splitter", true},
        {"Null Renderer", true},
        {"File writer", true},
        {"ACM Wrapper", ResamplerWorks()},
        {"AVI Mux", true},
        {"DV Muxer", true},
        {"Infinite Pin Tee Filter", true},
    };
}

bool BindFilterByName(const FilterDirectory& directory, std::string_view friendlyName) {
    const FilterEntry* found = nullptr;
    for (const FilterEntry& e : directory)
        if (SameName(e.FriendlyName, friendlyName))
            found = &e;
    return found && found->Works;
}

std::vector<ReportLine> FilterCheckReport(const FilterDirectory& filters,
                                          const FilterDirectory& compressors) {
    static constexpr std::array<std::string_view, 11> kRows = {"File Source (Async.)",
                                                               "AVI Splitter",
                                                               "Color Space Converter",
                                                               "DV Video Decoder",
                                                               "DV Splitter",
                                                               "Null Renderer",
                                                               "File writer",
                                                               "ACM Wrapper",
                                                               "AVI Mux",
                                                               "DV Muxer",
                                                               "Infinite Pin Tee Filter"};
    std::vector<ReportLine> lines;
    auto line = [&lines](std::string text, bool red = false) {
        lines.push_back(ReportLine{std::move(text), true, true, red});
    };
    line("");
    line("Test of Directshow filters");
    std::array<bool, 12> found{};
    for (std::size_t row = 0; row < kRows.size(); ++row) {
        found[row] = BindFilterByName(filters, kRows[row]);
        if (!found[row])
            line(std::string(kRows[row]) + " is missing", true);
        if (row == 4 && found[0] && found[1] && found[2] && found[3] && found[4])
            line("All filters for Video are available");
        if (row == 5 && found[5])
            line("All filters for Listing are available");
    }
    found[11] = BindFilterByName(compressors, "DV Video Encoder");
    if (!found[11])
        line("DV Video Encoder is mising", true);
    bool converting = found[11];
    for (std::size_t row = 6; row <= 10; ++row)
        converting = converting && found[row];
    if (converting)
        line("All filters for Converting are available");
    return lines;
}

std::string MediaEngineVersion() {
    return av_version_info();
}

std::vector<ReportLine> SystemReport(const std::string& osText, const std::string& engineVersion,
                                     const std::string& varnoltPath,
                                     const std::function<bool(const std::string&)>& exists) {
    const bool varnolt = !varnoltPath.empty() && exists && exists(varnoltPath);
    return {
        {"My operating system is: ", false, true, false},
        {osText + ". ", true, false, false},
        {"", false, false, false},
        {"I am using:", false, true, false},
        {"Media engine version FFmpeg " + engineVersion + ".", true, false, false},
        {"", false, false, false},
        {"Varnolt:", false, true, false},
        {varnolt ? varnoltPath : "Varnolt not found", false, true, false},
    };
}

}  // namespace kelvor::media
