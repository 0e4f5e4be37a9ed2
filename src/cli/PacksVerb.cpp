#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "cli/Names.h"
#include "cli/VerbArgs.h"
#include "core/dv/DvPacks.h"
#include "core/files/DatePattern.h"
#include "core/files/DateTime.h"

namespace kelvor::cli {
namespace {

std::string describeFrame(dv::ConstFrame frame, int sequences) {
    std::string line;
    dv::FrameFacts facts;
    dv::ReadFrameFacts(frame, sequences, facts);
    std::optional<double> when;
    if (facts.HasDatecode)
        when = DatecodeToDateTime(facts.Datecode);
    line += when ? FormatDateTime("yyyy-mm-dd hh:nn:ss", *when) : std::string("no datecode");
    const dv::Timecode& tc = facts.Timecode;
    char buf[64];
    if (facts.HasTimecode) {
        std::snprintf(buf, sizeof buf, "  tc %02u:%02u:%02u:%02u", tc.Hours, tc.Minutes, tc.Seconds,
                      tc.Frames);
        line += buf;
    } else {
        line += "  no timecode";
    }
    if (facts.HasControl)
        line += facts.Wide ? "  16:9" : "  4:3";
    const dv::AudioFormat& af = facts.Audio;
    if (facts.HasAudio) {
        std::snprintf(buf, sizeof buf, "  %d Hz %d bits %d ch", af.SampleRate, af.Quantization,
                      af.Channels);
        line += buf;
    }
    return line;
}

// The standard a frame starting at this offset declares, when its first block is a header.
std::optional<int> standardAt(std::istream& in, std::uint64_t offset) {
    std::array<std::uint8_t, 4> head{};
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(head.data()), head.size());
    int standard = dv::kStandardUnknown;
    if (in.gcount() != static_cast<std::streamsize>(head.size()) ||
        !dv::ReadStandard(head, standard))
        return std::nullopt;
    return standard;
}

std::size_t frameSize(int standard) {
    return standard == dv::kStandardPal ? dv::kFrameSize625 : dv::kFrameSize525;
}

// Every frame of a raw DV file in order. A raw DV stream keeps one frame size, so a frame whose
// header is damaged is reported and passed over at the size of the frames around it, and the
// frames after it keep their numbers.
int printPacks(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        FileError("packs", path, "the file is not found");
        return 1;
    }
    if (!S_ISREG(st.st_mode)) {
        FileError("packs", path, "not a regular file");
        return 1;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        FileError("packs", path, std::strerror(errno));
        return 1;
    }
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    std::printf("%s\n", ShownName(path).c_str());
    std::vector<std::uint8_t> frame(dv::kFrameSize625);
    std::optional<int> streamStandard;
    int status = 0;
    std::uint64_t offset = 0;
    for (long index = 0; offset < fileSize; ++index) {
        std::optional<int> standard = standardAt(in, offset);
        if (standard)
            streamStandard = standard;
        // Before any good frame, the next header tells the size of this damaged one.
        if (!streamStandard)
            for (const int s : {dv::kStandardPal, dv::kStandardNtsc})
                if (standardAt(in, offset + frameSize(s)) == s)
                    streamStandard = s;
        const std::size_t size = frameSize(streamStandard.value_or(dv::kStandardPal));
        if (fileSize - offset < size) {
            FileError("packs", path, "frame " + std::to_string(index) + ": truncated");
            status = 1;
            break;
        }
        if (!standard) {
            std::printf("  %5ld  damaged: no DV header\n", index);
            offset += size;
            continue;
        }
        in.clear();
        in.seekg(static_cast<std::streamoff>(offset));
        in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(size));
        if (static_cast<std::size_t>(in.gcount()) != size) {
            FileError("packs", path, "frame " + std::to_string(index) + ": cannot be read");
            status = 1;
            break;
        }
        const int sequences = *dv::SequenceCountForSize(size);
        std::printf("  %5ld  %s  %s\n", index, *standard == dv::kStandardPal ? "Pal " : "NTSC",
                    describeFrame(dv::ConstFrame(frame.data(), size), sequences).c_str());
        offset += size;
    }
    return status;
}

}  // namespace

int runPacks(Args args) {
    const VerbArgs a = ParseVerbArgs(args, {});
    if (!a.Error.empty() || a.Files.empty())
        return UsageError("packs", a.Error, "packs FILE.dv...");
    int status = 0;
    for (const std::string& f : a.Files)
        if (printPacks(f) != 0)
            status = 1;
    return status;
}

}  // namespace kelvor::cli
