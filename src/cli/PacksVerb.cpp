#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cli/Verbs.h"
#include "core/dv/DvPacks.h"
#include "core/files/DatePattern.h"
#include "core/files/DateTime.h"

namespace kelvor::cli {
namespace {

std::string describeFrame(dv::ConstFrame frame, int sequences) {
    std::string line;
    dv::TDatecode dc;
    std::optional<double> when;
    if (dv::ReadDatecode(frame, sequences, dc))
        when = DatecodeToDateTime(dc);
    line += when ? FormatDateTime("yyyy-mm-dd hh:nn:ss", *when) : std::string("no datecode");
    dv::TTimecode tc;
    char buf[64];
    if (dv::ReadTimecode(frame, sequences, tc)) {
        std::snprintf(buf, sizeof buf, "  tc %02u:%02u:%02u:%02u", tc.Hours, tc.Minutes, tc.Seconds,
                      tc.Frames);
        line += buf;
    } else {
        line += "  no timecode";
    }
    bool wide = false;
    if (dv::ReadWide(frame, sequences, wide))
        line += wide ? "  16:9" : "  4:3";
    dv::AudioFormat af;
    if (dv::ReadAudioFormat(frame, sequences, af)) {
        std::snprintf(buf, sizeof buf, "  %d Hz %d bits %d ch", af.SampleRate, af.Quantization,
                      af.Channels);
        line += buf;
    }
    return line;
}

int printPacks(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open\n", path.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    std::vector<std::uint8_t> frame(dv::kFrameSize625);
    for (long index = 0;; ++index) {
        // The header of the first DIF block tells the frame size of what follows.
        in.read(reinterpret_cast<char*>(frame.data()), 4);
        if (in.gcount() == 0)
            break;
        int standard = dv::kStandardUnknown;
        if (in.gcount() < 4 || !dv::ReadStandard(dv::ConstFrame(frame.data(), 4), standard)) {
            std::fprintf(stderr, "%s: frame %ld: not a DV frame\n", path.c_str(), index);
            return 1;
        }
        const std::size_t size =
            standard == dv::kStandardPal ? dv::kFrameSize625 : dv::kFrameSize525;
        in.read(reinterpret_cast<char*>(frame.data()) + 4, static_cast<std::streamsize>(size - 4));
        if (static_cast<std::size_t>(in.gcount()) != size - 4) {
            std::fprintf(stderr, "%s: frame %ld: truncated\n", path.c_str(), index);
            return 1;
        }
        const int sequences = *dv::SequenceCountForSize(size);
        std::printf("  %5ld  %s  %s\n", index, standard == dv::kStandardPal ? "Pal " : "NTSC",
                    describeFrame(dv::ConstFrame(frame.data(), size), sequences).c_str());
    }
    return 0;
}

}  // namespace

int runPacks(Args args) {
    if (args.empty()) {
        std::fprintf(stderr, "usage: kelvor-cli packs FILE.dv...\n");
        return 2;
    }
    int status = 0;
    for (std::string_view a : args)
        if (printPacks(std::string(a)) != 0)
            status = 1;
    return status;
}

}  // namespace kelvor::cli
