// The radiotext rules of the now-playing file: format, skip and idle.
#include "RtTextRules.h"

#include <vector>

namespace {

constexpr char32_t OpenBrace = U'{';
constexpr char32_t CloseBrace = U'}';
constexpr char32_t Space = U' ';
constexpr char SkipSeparator = '|';
constexpr size_t RadioTextCharacters = 64;
const std::u32string TextField = U"text";
const std::u32string ArtistField = U"artist";
const std::u32string TitleField = U"title";
const std::string DefaultFormat = "{text}";
// The dashes that part artist from title, each between spaces.
constexpr char32_t PartingDashes[] = {U'-', U'\u2013', U'\u2014'};
constexpr char32_t CaseDistance = U'a' - U'A';
// Latin-1's capitals, but for the multiplication sign.
constexpr char32_t FirstLatinCapital = U'\u00C0';
constexpr char32_t LastLatinCapital = U'\u00DE';
constexpr char32_t MultiplicationSign = U'\u00D7';
constexpr long long SecondsPerMinute = 60;
constexpr char32_t FirstNonAscii = 0x80;
constexpr char NotShown = '?';

struct TPiece {
    bool Field = false;
    std::u32string Text;  // the literal text, or the field's name
};

// The format's literal runs and fields; none on a stray brace or an unknown field,
// with Fault saying which.
std::optional<std::vector<TPiece>> Pieces(const std::u32string& format, std::string* fault) {
    std::vector<TPiece> pieces;
    std::u32string literal;
    const auto refuse = [fault](const std::string& why) {
        if (fault) *fault = why;
        return std::nullopt;
    };
    for (size_t at = 0; at < format.size(); ++at) {
        const char32_t c = format[at];
        const bool doubled = at + 1 < format.size() && format[at + 1] == c;
        if (c == CloseBrace) {
            if (!doubled) return refuse("RtFormat has a '}' without its '{' (a brace of the text is written '}}')");
            literal += c;
            ++at;
        } else if (c != OpenBrace) {
            literal += c;
        } else if (doubled) {
            literal += c;
            ++at;
        } else {
            const size_t end = format.find(CloseBrace, at + 1);
            if (end == std::u32string::npos)
                return refuse("RtFormat has a '{' without its '}' (a brace of the text is written '{{')");
            const std::u32string name = format.substr(at + 1, end - at - 1);
            if (name != TextField && name != ArtistField && name != TitleField) {
                std::string shown;
                for (char32_t n : name) shown += n < FirstNonAscii ? static_cast<char>(n) : NotShown;
                return refuse("RtFormat has an unknown field {" + shown + "} (fields: {text}, {artist}, {title})");
            }
            if (!literal.empty()) pieces.push_back({false, literal});
            literal.clear();
            pieces.push_back({true, name});
            at = end;
        }
    }
    if (!literal.empty()) pieces.push_back({false, literal});
    return pieces;
}

std::u32string Trim(const std::u32string& text) {
    const size_t first = text.find_first_not_of(Space);
    if (first == std::u32string::npos) return {};
    return text.substr(first, text.find_last_not_of(Space) - first + 1);
}

// The line's artist and title: the parts around its first dash between spaces.
void Parts(const std::u32string& line, std::u32string& artist, std::u32string& title) {
    for (size_t at = 1; at + 1 < line.size(); ++at) {
        if (line[at - 1] != Space || line[at + 1] != Space) continue;
        for (char32_t dash : PartingDashes)
            if (line[at] == dash) {
                artist = Trim(line.substr(0, at));
                title = Trim(line.substr(at + 1));
                return;
            }
    }
    artist.clear();
    title = Trim(line);
}

char32_t Lower(char32_t c) {
    const bool ascii = c >= U'A' && c <= U'Z';
    const bool latin = c >= FirstLatinCapital && c <= LastLatinCapital && c != MultiplicationSign;
    return ascii || latin ? c + CaseDistance : c;
}

std::u32string Lowered(std::u32string text) {
    for (char32_t& c : text) c = Lower(c);
    return text;
}

}  // namespace

std::optional<std::string> RtFormatFault(std::string_view format) {
    // Braces and field names are ASCII, the same bytes in every code page the program runs on.
    std::u32string wide;
    for (char c : format) wide += static_cast<char32_t>(static_cast<unsigned char>(c));
    std::string fault;
    if (Pieces(wide, &fault)) return std::nullopt;
    return fault;
}

std::string FormatRadioText(std::string_view format, std::string_view line, const TCodePageConversion& codePage) {
    const std::string_view used = format.empty() ? std::string_view(DefaultFormat) : format;
    const std::optional<std::vector<TPiece>> pieces = Pieces(codePage.ToUnicode(used), nullptr);
    if (!pieces) return std::string(line);
    const std::u32string whole = codePage.ToUnicode(line);
    std::u32string artist;
    std::u32string title;
    Parts(whole, artist, title);
    std::u32string text;
    const size_t count = pieces->size();
    for (size_t k = 0; k < count; ++k) {
        const TPiece& piece = (*pieces)[k];
        if (!piece.Field) {
            // An empty artist takes the text between it and its neighbouring field with it.
            const auto isArtist = [&](size_t at) { return (*pieces)[at].Field && (*pieces)[at].Text == ArtistField; };
            const bool betweenFields = k > 0 && k + 1 < count;
            if (artist.empty() && betweenFields && (isArtist(k - 1) || isArtist(k + 1))) continue;
            text += piece.Text;
        } else if (piece.Text == ArtistField) {
            text += artist;
        } else if (piece.Text == TitleField) {
            text += title;
        } else {
            text += whole;
        }
    }
    text = Trim(text);
    if (text.size() > RadioTextCharacters) text = Trim(text.substr(0, RadioTextCharacters));
    return codePage.FromUnicode(text);
}

std::optional<std::string> SkipPhrase(std::string_view skip, std::string_view line, const TCodePageConversion& codePage) {
    const std::u32string lowered = Lowered(codePage.ToUnicode(line));
    size_t start = 0;
    while (start <= skip.size()) {
        size_t end = skip.find(SkipSeparator, start);
        if (end == std::string_view::npos) end = skip.size();
        const std::string_view phrase = skip.substr(start, end - start);
        const std::u32string wanted = Trim(Lowered(codePage.ToUnicode(phrase)));
        if (!wanted.empty() && lowered.find(wanted) != std::u32string::npos)
            return codePage.FromUnicode(Trim(codePage.ToUnicode(phrase)));
        start = end + 1;
    }
    return std::nullopt;
}

void TRtTextRules::Set(const TRtTextSettings& settings, TTime now) {
    std::lock_guard<std::mutex> guard(lock_);
    settings_ = settings;
    lastChange_ = now;
}

TRtTextSettings TRtTextRules::Settings() const {
    std::lock_guard<std::mutex> guard(lock_);
    return settings_;
}

TRtDecision TRtTextRules::Line(const std::string& line, TTime now) {
    std::lock_guard<std::mutex> guard(lock_);
    lastChange_ = now;
    idle_ = false;
    const bool hasIdleText = !settings_.IdleText.empty();
    if (line.find_first_not_of(' ') == std::string::npos) {
        if (!hasIdleText) return {line, {}};
        idle_ = true;
        return {settings_.IdleText, "idle: the line is empty"};
    }
    if (const std::optional<std::string> phrase = SkipPhrase(settings_.Skip, line, codePage_)) {
        const std::string rule = "skipped: matches '" + *phrase + "'";
        if (!hasIdleText) return {std::nullopt, rule};
        idle_ = true;
        return {settings_.IdleText, rule};
    }
    return {FormatRadioText(settings_.Format, line, codePage_), {}};
}

std::optional<TRtDecision> TRtTextRules::Tick(TTime now) {
    std::lock_guard<std::mutex> guard(lock_);
    if (idle_ || settings_.IdleText.empty() || settings_.IdleMinutes == 0) return std::nullopt;
    if (now - lastChange_ < std::chrono::seconds(settings_.IdleMinutes * SecondsPerMinute)) return std::nullopt;
    idle_ = true;
    return TRtDecision{settings_.IdleText, "idle after " + std::to_string(settings_.IdleMinutes) + " minutes"};
}
