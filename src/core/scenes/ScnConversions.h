// Exports of an existing scn file: the plain text list and the plain spreadsheet.
//
// Any thread, one call at a time per output file. Results are success flags, never exceptions.
#pragma once

#include <string>

#include "core/scenes/ExportContext.h"

namespace kelvor::scenes {

// Reads the scn file and writes its scenes to the plain text list named after it
// ("x.scn" -> "x_scn.txt"). False, with nothing written, when the scn file cannot be read
// whole; false too when the text list could not be written.
bool ScnToText(const std::string& scnName, const ExportContext& context);

// The same into the plain spreadsheet named after spreadsheetName (extension ".xlsx").
bool ScnToSpreadsheet(const std::string& scnName, const std::string& spreadsheetName,
                      const ExportContext& context);

}  // namespace kelvor::scenes
