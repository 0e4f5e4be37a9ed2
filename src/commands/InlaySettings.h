// The inlay filter configured from the preferences, as the conversion command and the preview
// both do before a run: what is shown and when, how long, the font, the place and the date
// formats, the time shift, and the filter enabled.
//
// Call while the filter's graph is stopped. The border width is not set here: the filter reads
// it from its owner at every drawing.
#pragma once

namespace kelvor::media {
class InlayFilter;
}
namespace kelvor::settings {
struct Preferences;
}

namespace kelvor::commands {

// framesPerSecond turns "Durée Incrustation" into frames (rounded, ties to even); 0 for a file
// without video gives a display of one frame.
void ConfigureInlay(media::InlayFilter& inlay, const settings::Preferences& prefs,
                    double framesPerSecond);

}  // namespace kelvor::commands
