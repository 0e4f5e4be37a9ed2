// The JSON that kelvor-cli prints: one document per run, whose top object carries the schema
// number that docs/json-schema.md describes. Built with QJsonDocument; these helpers turn the
// program's narrow strings and values into JSON values the same way for every verb.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <cstdint>
#include <string>

namespace kelvor::cli {

// The version of the JSON layout; it changes only when a key changes its meaning or type.
inline constexpr int kJsonSchema = 1;

// Strings of the record are UTF-8 file names or narrow texts whose key bytes 0xFE and 0xFF are
// Windows-1252 letters; a byte that does not start valid UTF-8 is taken as that letter.
QString JsonText(const std::string& s);

// A file name under key: the name as text (as JsonText shows it) and, when the name is not valid
// UTF-8, its exact bytes in base64 under key + "Bytes", so that a script finds the real file.
// A name that is valid UTF-8 gets no such key and its text is the name itself. An empty name
// is null.
void PutJsonName(QJsonObject& o, const QString& key, const std::string& name);

// A local date-time value as "2006-03-12T15:46:37"; null for 0 or a value that is no date.
QJsonValue JsonDateTime(double value);

// A text, or null when it is empty.
QJsonValue JsonTextOrNull(const std::string& s);

// The top object of a document; PrintJson adds the schema number.
QJsonObject JsonDocumentTop();

// Prints the object on stdout, indented, the schema number first, with a final newline.
void PrintJson(const QJsonObject& top);

}  // namespace kelvor::cli
