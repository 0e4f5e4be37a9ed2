#include "cli/Json.h"

#include <QJsonDocument>
#include <cstdio>

#include "cli/Names.h"
#include "core/files/DateTime.h"

namespace kelvor::cli {

QString JsonText(const std::string& s) {
    QString out;
    out.reserve(static_cast<qsizetype>(s.size()));
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += QChar(c);
            ++i;
            continue;
        }
        const std::size_t n = Utf8SequenceLength(s, i);
        const bool valid = n > 0;
        if (valid) {
            out += QString::fromUtf8(s.data() + i, static_cast<qsizetype>(n));
            i += n;
        } else {
            out += QChar(c);
            ++i;
        }
    }
    return out;
}

void PutJsonName(QJsonObject& o, const QString& key, const std::string& name) {
    o[key] = JsonTextOrNull(name);
    if (!IsUtf8(name)) {
        const QByteArray bytes(name.data(), static_cast<qsizetype>(name.size()));
        o[key + "Bytes"] = QString::fromLatin1(bytes.toBase64());
    }
}

QJsonValue JsonDateTime(double value) {
    const auto f = DecodeDateTime(value);
    if (!f || value == 0)
        return QJsonValue::Null;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", f->Year, f->Month, f->Day,
                  f->Hour, f->Minute, f->Second);
    return QString::fromLatin1(buf);
}

QJsonValue JsonTextOrNull(const std::string& s) {
    if (s.empty())
        return QJsonValue::Null;
    return JsonText(s);
}

QJsonObject JsonDocumentTop() {
    return {};
}

void PrintJson(const QJsonObject& top) {
    // QJsonDocument orders the keys; the schema number goes first all the same, so that a
    // reader sees it before anything it might not understand.
    QJsonObject rest = top;
    rest.remove("schema");
    QByteArray text = QJsonDocument(rest).toJson(QJsonDocument::Indented);
    const QByteArray schema = "    \"schema\": " + QByteArray::number(kJsonSchema);
    if (rest.isEmpty())
        text = "{\n" + schema + "\n}\n";
    else
        text.insert(2, schema + ",\n");
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    std::fflush(stdout);
}

}  // namespace kelvor::cli
