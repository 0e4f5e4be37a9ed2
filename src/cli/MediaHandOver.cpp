// The light front end's splitter choice. GraphBuilder asks it for every file it opens; our own
// readers take raw DV and DV AVI files, and any other file hands the whole run to
// kelvor-cli-media, which reads it with libavformat, so this process never loads it. The front
// end checks the files before it starts, so a run is handed over before it prints anything.
#include "cli/FrontEnd.h"
#include "media/engine/AviSource.h"
#include "media/engine/LavfSource.h"

namespace kelvor::media {

FilterPtr CreateAviSplitter(const std::string& fileName) {
    if (FilterPtr own = CreateOwnDvSplitter(fileName))
        return own;
    cli::RunMediaProgram();
}

}  // namespace kelvor::media
