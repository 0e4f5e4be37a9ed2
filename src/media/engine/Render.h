// Rendering a stream to a target: joining an output pin to an input pin through the stages the
// target needs, as the platform's stream rendering did. A pin the target takes as it is (and,
// when the target names the types it prefers, in one of those) is joined directly; otherwise the
// stages are added in this order, each only where needed:
//
//   pictures: the DV decoder (dvsd) or the decoder of another codec (to RGB24); the frame-rate
//             converter (to the preferred frame rate, before the scaler when it drops frames,
//             after it when it repeats them); the scaler (to the preferred type and size, the
//             picture's display aspect kept with black bars: a DV encoder's frame is 16:9 when
//             the encoder is set wide, else 4:3); without preferred types the colour converter;
//   sound:    the sound decoder (anything but 16-bit PCM), then the resampler (to the preferred
//             rate and channel count);
//   DV:       an interleaved DV stream goes through a DV splitter first (its video, or with an
//             audio major type its first sound).
//
// Decoders deliver through a queue of their own, so decoding runs beside what follows it.
// Added stages get the platform filters' names ("DV Video Decoder", "Color Space Converter", ...,
// numbered when taken). On failure everything the call added is removed again and the two pins
// stay as they were; the builder keeps no reason (the caller knows what it wanted).
//
// Driving thread only, while the graph is stopped.
#pragma once

#include "media/engine/GraphBuilder.h"

namespace kelvor::media {

// `major`, when given, is a type with only a major type: the stream must be of it.
bool Render(GraphBuilder& builder, OutputPin& from, InputPin& to, const MediaType* major = nullptr);

// Renders the first free output of a filter that can be brought to the target; that output, or
// nullptr when none can.
OutputPin* RenderFirstOutput(GraphBuilder& builder, BaseFilter& from, InputPin& to,
                             const MediaType* major = nullptr);

// Renders from a pin to an intermediate stage's input, then from that stage's output to the
// target. False (and nothing added) when either part fails.
bool RenderThrough(GraphBuilder& builder, OutputPin& from, InputPin& viaInput, OutputPin& viaOutput,
                   InputPin& to, const MediaType* major = nullptr);

// The types an input pin prefers, best first (empty when it names none).
std::vector<MediaType> PreferredTypes(const InputPin& pin);

}  // namespace kelvor::media
