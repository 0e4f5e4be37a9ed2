#include "core/settings/PreferencesStore.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

#include "core/files/DateTime.h"
#include "core/files/OutputFile.h"
#include "core/settings/IniText.h"
#include "core/shell/About.h"
#include "core/shell/ShellHelpers.h"

namespace kelvor::settings {
namespace {

namespace fs = std::filesystem;

// Our stores are a few kilobytes; anything far larger is not one of them.
constexpr std::uintmax_t kMaxStoreBytes = 1 << 20;

constexpr std::string_view kVersionKey = "version";
constexpr std::string_view kLastStoreKey = "Dernière Sauvegarde";
constexpr std::string_view kExenameKey = "Exename";
constexpr std::string_view kLastStorePattern = "yyyy/mm/dd hh:nn:ss am/pm";

// Unreadable: the file is there but cannot be read. Corrupt: it was read but is no store of ours
// (not text, or far too large).
enum class ReadState { Missing, Unreadable, Corrupt, Ok };

ReadState readStore(const fs::path& file, std::optional<IniDocument>& doc) {
    std::error_code ec;
    if (!fs::exists(file, ec))
        return ec ? ReadState::Unreadable : ReadState::Missing;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec)
        return ReadState::Unreadable;
    if (size > kMaxStoreBytes)
        return ReadState::Corrupt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return ReadState::Unreadable;
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return ReadState::Unreadable;
    doc = IniDocument::Parse(text);
    return doc ? ReadState::Ok : ReadState::Corrupt;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Decimal, or hexadecimal after "0x" or "$" (kept as the 32 bits written).
std::optional<int> parseInt(std::string_view s) {
    s = trimmed(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    } else if (s.size() > 1 && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    }
    if (s.empty())
        return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [end, err] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (err != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    if (base == 16) {
        if (magnitude > 0xFFFFFFFFu)
            return std::nullopt;
        const auto bits = static_cast<std::uint32_t>(negative ? 0u - magnitude : magnitude);
        return static_cast<int>(static_cast<std::int32_t>(bits));
    }
    if (magnitude > (negative ? 2147483648u : 2147483647u))
        return std::nullopt;
    return static_cast<int>(negative ? -static_cast<std::int64_t>(magnitude)
                                     : static_cast<std::int64_t>(magnitude));
}

std::optional<bool> parseBool(std::string_view s) {
    if (const std::optional<int> v = parseInt(s))
        return *v != 0;
    s = trimmed(s);
    auto is = [&](std::string_view word) {
        if (s.size() != word.size())
            return false;
        for (std::size_t i = 0; i < s.size(); ++i)
            if ((s[i] | 0x20) != word[i])
                return false;
        return true;
    };
    if (is("true"))
        return true;
    if (is("false"))
        return false;
    return std::nullopt;
}

std::optional<double> parseDouble(std::string_view s) {
    std::string t(trimmed(s));
    // Stores written with a decimal comma read back too.
    for (char& c : t)
        if (c == ',')
            c = '.';
    if (t.empty())
        return std::nullopt;
    double v = 0;
    const char* first = t.data();
    if (*first == '+')
        ++first;
    const auto [end, err] = std::from_chars(first, t.data() + t.size(), v);
    if (err != std::errc() || end != t.data() + t.size())
        return std::nullopt;
    return v;
}

std::string formatDouble(double v) {
    char buf[64];
    const auto [end, err] = std::to_chars(buf, buf + sizeof buf, v);
    return err == std::errc() ? std::string(buf, end) : std::string("0");
}

// Reads the keys of one table into an object. `strict` is the user store's rule: a value of the
// wrong form is an error that ends the reading.
class TableReader {
  public:
    TableReader(const IniDocument& doc, std::string_view section, bool strict)
        : doc_(doc), section_(section), strict_(strict) {}

    template <class Owner>
    bool read(const KeyDef<Owner>& key, Owner& target, const Owner& defaults) {
        return std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(target.*member)>;
                const std::string* raw = doc_.Find(section_, key.Key);
                if (!raw) {
                    target.*member = defaults.*member;
                    return true;
                }
                const std::optional<T> value = parse<T>(*raw);
                if (!value) {
                    if (strict_)
                        return false;
                    target.*member = defaults.*member;
                    return true;
                }
                target.*member = *value;
                return true;
            },
            key.Member);
    }

  private:
    template <class T>
    static std::optional<T> parse(const std::string& raw) {
        if constexpr (std::is_same_v<T, std::string>) {
            return raw;
        } else if constexpr (std::is_same_v<T, bool>) {
            return parseBool(raw);
        } else if constexpr (std::is_same_v<T, double>) {
            return parseDouble(raw);
        } else if constexpr (std::is_same_v<T, std::uint8_t>) {
            // A byte keeps the low 8 bits of the stored integer.
            const std::optional<int> v = parseInt(raw);
            if (!v)
                return std::nullopt;
            return static_cast<std::uint8_t>(static_cast<unsigned>(*v) & 0xFFu);
        } else {
            return parseInt(raw);
        }
    }

    const IniDocument& doc_;
    std::string_view section_;
    bool strict_;
};

template <class Owner>
void writeTable(IniDocument& doc, std::string_view section, std::span<const KeyDef<Owner>> keys,
                const Owner& values) {
    for (const KeyDef<Owner>& key : keys) {
        std::string text = std::visit(
            [&](auto member) -> std::string {
                const auto& v = values.*member;
                using T = std::remove_cvref_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    return v.empty() && key.MarkerWhenEmpty ? std::string(EmptyMarker) : v;
                } else if constexpr (std::is_same_v<T, bool>) {
                    return v ? "1" : "0";
                } else if constexpr (std::is_same_v<T, double>) {
                    return formatDouble(v);
                } else {
                    return std::to_string(static_cast<int>(v));
                }
            },
            key.Member);
        doc.Set(section, key.Key, text);
    }
}

// The values the fallback set gives; "Frequence DV" is not among them.
void applyFallback(Preferences& p, const PreferencesEnvironment& env) {
    const std::uint8_t frequency = p.DvAudioRate;
    const InlayFontSettings font = p.InlayFont;
    const bool iniMode = p.IniMode;
    p = Preferences{};
    p.Top = (env.ScreenHeight - env.WindowHeight) / 2;
    p.Left = (env.ScreenWidth - env.WindowWidth) / 2;
    p.AddDatecodeFormat.clear();
    p.RenameFormat.clear();
    p.RenameRoot.clear();
    p.BorderSize = 0;
    p.OfferInOpenWith = true;
    p.DvAudioRate = frequency;
    p.InlayFont = font;
    p.IniMode = iniMode;
}

void completeEmptyValues(Preferences& p, const PreferencesEnvironment& env) {
    const std::string documents = env.DocumentsFolder.empty() ? "/" : env.DocumentsFolder;
    for (std::string* folder :
         {&p.OpenFolder, &p.PreferredFolder, &p.SaveFolder, &p.PlaylistFolder})
        if (folder->empty())
            *folder = documents;
    const Preferences defaults;
    auto complete = [](std::string& value, const std::string& fallback) {
        if (value.empty())
            value = fallback;
    };
    complete(p.AddDatecodeFormat, defaults.AddDatecodeFormat);
    complete(p.DisplayDatecodeFormat, defaults.DisplayDatecodeFormat);
    complete(p.InlayFormat1, defaults.InlayFormat1);
    complete(p.InlayFormat2, defaults.InlayFormat2);
    complete(p.RenameFormat, defaults.RenameFormat);
    complete(p.RenameRoot, defaults.RenameRoot);
    complete(p.InlayFont.Name, InlayFontSettings{}.Name);
    // A value stored as the marker is not empty yet here, so it escapes the defaults above.
    complete(p.VarnoltProgram, env.VarnoltProgram);
}

void clearMarkers(Preferences& p) {
    for (const KeyDef<Preferences>& key : MainKeys()) {
        if (!key.MarkerWhenEmpty)
            continue;
        std::string& value = p.*std::get<std::string Preferences::*>(key.Member);
        if (value == EmptyMarker)
            value.clear();
    }
}

void remapPortablePaths(Preferences& p, const PreferencesEnvironment& env) {
    if (!p.Portable)
        return;
    for (std::string* path : {&p.OpenFolder, &p.PreferredFolder, &p.SaveFolder, &p.PlaylistFolder,
                              &p.VarnoltProgram, &p.F3Program, &p.F4Program})
        *path = shell::RemapDrive(*path, p.PortableDrive, env.ProgramRoot);
}

double localNow(const PreferencesEnvironment& env) {
    if (env.Now)
        return env.Now();
    const double utc = DateTimeFromUnix(static_cast<double>(std::time(nullptr)));
    return UtcToLocal(utc).value_or(utc);
}

std::string withProduct(std::string_view pattern) {
    std::string out;
    const std::size_t at = pattern.find("%s");
    out.append(pattern.substr(0, at));
    out += about::kProductName;
    if (at != std::string_view::npos)
        out.append(pattern.substr(at + 2));
    return out;
}

bool writeWholeFile(const fs::path& target, const std::string& text) {
    std::error_code ec;
    fs::path file = target;
    // A store that is a link (a dotfile manager's) is written where it points.
    if (fs::is_symlink(file, ec)) {
        const fs::path resolved = fs::canonical(file, ec);
        if (ec)
            return false;
        file = resolved;
    }
    const bool existed = fs::exists(file, ec);
    if (existed) {
        // A file the user made read-only stays as it is.
        std::ofstream probe(file, std::ios::binary | std::ios::app);
        if (!probe)
            return false;
    } else {
        fs::create_directories(file.parent_path(), ec);
        if (ec)
            return false;
    }
    files::TemporaryFile created = files::CreateTemporaryFile(file.string());
    if (created.Fd < 0)
        return false;
    const fs::path temp = created.Name;
    {
        const bool written = files::WriteAll(created.Fd, std::as_bytes(std::span(text)));
        if (::close(created.Fd) != 0 || !written) {
            fs::remove(temp, ec);
            return false;
        }
    }
    if (existed)
        fs::permissions(temp, fs::status(file, ec).permissions(), ec);
    fs::rename(temp, file, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace

LoadOutcome LoadPreferences(Preferences& prefs, const PreferencesEnvironment& env) {
    std::error_code ec;
    const fs::path ini = env.Locations.IniFile();
    prefs.IniMode = fs::is_regular_file(ini, ec);
    const fs::path file = prefs.IniMode ? ini : env.Locations.UserFile();

    std::optional<IniDocument> doc;
    const ReadState state = readStore(file, doc);
    if (!doc)
        doc = IniDocument{};

    Preferences defaults;
    defaults.Top = (env.ScreenHeight - 500) / 2;
    defaults.Left = (env.ScreenWidth - 594) / 2;

    bool ok = state == ReadState::Ok || state == ReadState::Missing;
    if (ok) {
        TableReader reader(*doc, MainSection, !prefs.IniMode);
        for (const KeyDef<Preferences>& key : MainKeys()) {
            if (!reader.read(key, prefs, defaults)) {
                ok = false;
                break;
            }
        }
    }
    if (!ok)
        applyFallback(prefs, env);

    prefs.InlayFont = InlayFontSettings{};
    if (doc->HasSection(FontSection)) {
        // A font value of the wrong form takes its default in either store.
        TableReader reader(*doc, FontSection, false);
        const InlayFontSettings fontDefaults;
        for (const KeyDef<InlayFontSettings>& key : FontKeys())
            reader.read(key, prefs.InlayFont, fontDefaults);
    }

    // A window value of the wrong form takes its default in either store.
    prefs.Window = WindowSettings{};
    if (const std::string* raw = doc->Find(WindowSection, kDetailedListKey))
        prefs.Window.DetailedList = parseBool(*raw).value_or(prefs.Window.DetailedList);

    prefs.Export = ExportSettings{};
    if (doc->HasSection(ExportSection)) {
        TableReader reader(*doc, ExportSection, false);
        const ExportSettings exportDefaults;
        for (const KeyDef<ExportSettings>& key : ExportKeys())
            reader.read(key, prefs.Export, exportDefaults);
    }

    completeEmptyValues(prefs, env);
    clearMarkers(prefs);
    remapPortablePaths(prefs, env);
    return ok ? LoadOutcome::Read : LoadOutcome::Fallback;
}

bool StorePreferences(const Preferences& prefs, const PreferencesEnvironment& env) {
    try {
        const fs::path file = prefs.IniMode ? env.Locations.IniFile() : env.Locations.UserFile();
        std::optional<IniDocument> doc;
        const ReadState state = readStore(file, doc);
        // A store we cannot read is not overwritten; a corrupt one is replaced.
        if (state == ReadState::Unreadable)
            return false;
        if (!doc)
            doc = IniDocument{};

        const std::string version = std::string(about::kProductName) + " " + about::VersionText() +
                                    " " + about::kLanguageTag + " by " + about::kMaker;
        doc->Set(MainSection, kVersionKey, version);
        doc->Set(MainSection, kLastStoreKey,
                 FormatDateTime(kLastStorePattern, localNow(env), env.Locale));
        doc->Set(MainSection, kExenameKey, env.Locations.ProgramFile.string());
        writeTable(*doc, MainSection, MainKeys(), prefs);
        writeTable(*doc, FontSection, FontKeys(), prefs.InlayFont);
        doc->Set(WindowSection, kDetailedListKey, prefs.Window.DetailedList ? "1" : "0");

        writeTable(*doc, ExportSection, ExportKeys(), prefs.Export);
        return writeWholeFile(file, doc->Text());
    } catch (const std::exception&) {
        // The previous store stays whole; the caller hears that this one was not written.
        return false;
    }
}

void DeletePreferences(const PreferencesEnvironment& env, PreferencesHost& host) {
    if (!host.askYesNo(MessageKind::Warning, DeleteQuestionText()))
        return;
    bool found = false;
    bool failed = false;
    try {
        std::error_code ec;
        for (const fs::path& file : {env.Locations.IniFile(), env.Locations.UserFile()}) {
            if (!fs::exists(fs::symlink_status(file, ec)))
                continue;
            found = true;
            if (!shell::DeleteFileForced(file))
                failed = true;
        }
        // The maker's folder goes when no other product of the maker keeps files there.
        const fs::path maker = env.Locations.UserFolder();
        if (fs::is_directory(maker, ec) && fs::is_empty(maker, ec))
            fs::remove(maker, ec);
    } catch (const std::exception&) {
        failed = true;  // reported below as "could not be completely deleted"
    }
    if (failed)
        host.showMessage(MessageKind::Warning, NotDeletedText());
    else if (found)
        host.showMessage(MessageKind::Information, DeletedText());
    else
        host.showMessage(MessageKind::Warning, NotFoundText());
}

void RecordProgramRoot(Preferences& prefs, const PreferencesEnvironment& env) {
    prefs.PortableDrive = env.ProgramRoot;
}

std::string DeleteQuestionText() {
    return withProduct("Do you really want to delete the preferences of %s");
}
std::string DeletedText() {
    return withProduct("%s has been completely deleted from your system.");
}
std::string NotFoundText() {
    return withProduct("The preferences of %s were not found on your system.");
}
std::string NotDeletedText() {
    return withProduct("The preferences of %s could not be completely deleted from your system.");
}

}  // namespace kelvor::settings
