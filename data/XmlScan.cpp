#include "data/XmlScan.h"

#include <charconv>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/TextEncoding.h"

namespace data {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Whether c may stand in an XML document as a character reference.
bool IsXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// `raw` with its references resolved and its line breaks made LF (in an
// attribute, every white space character a space); false for a reference
// that is none.
bool Resolve(std::string_view raw, bool attribute, std::string& out) {
    out.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '&') {
            const size_t semi = raw.find(';', i);
            if (semi == std::string_view::npos) return false;
            const std::string_view ref = raw.substr(i + 1, semi - i - 1);
            i = semi;
            if (ref == "lt") {
                out += '<';
            } else if (ref == "gt") {
                out += '>';
            } else if (ref == "amp") {
                out += '&';
            } else if (ref == "quot") {
                out += '"';
            } else if (ref == "apos") {
                out += '\'';
            } else if (ref.size() >= 2 && ref[0] == '#') {
                const bool hex = ref[1] == 'x';
                const std::string_view digits = ref.substr(hex ? 2 : 1);
                uint32_t v = 0;
                const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, hex ? 16 : 10);
                if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || !IsXmlChar(v))
                    return false;
                platform::AppendUtf8(out, v);
            } else {
                return false;  // no document type, so no entity of the document's own
            }
        } else if (c == '\r') {
            if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
            out += attribute ? ' ' : '\n';
        } else if (attribute && (c == '\n' || c == '\t')) {
            out += ' ';
        } else if (c == '<') {
            return false;
        } else {
            out += c;
        }
    }
    return true;
}

class Scanner {
public:
    Scanner(std::string_view document, XmlEvents& events) : d_(document), events_(events) {}

    XmlScanned Run() {
        if (!platform::IsValidUtf8(d_)) return XmlScanned::kMalformed;
        for (const char c : d_)
            if (static_cast<unsigned char>(c) < 0x20 && !IsSpace(c)) return XmlScanned::kMalformed;
        if (d_.starts_with("\xEF\xBB\xBF")) at_ = 3;
        while (at_ < d_.size()) {
            if (!Step()) return XmlScanned::kMalformed;
            if (events_.stop) return XmlScanned::kStopped;
        }
        return open_.empty() && rootSeen_ ? XmlScanned::kRead : XmlScanned::kMalformed;
    }

private:
    bool StartsWith(std::string_view s) const { return d_.substr(at_).starts_with(s); }

    // Skips to after `end`; false when it never comes.
    bool SkipPast(std::string_view end) {
        const size_t found = d_.find(end, at_);
        if (found == std::string_view::npos) return false;
        at_ = found + end.size();
        return true;
    }

    bool Step() {
        if (d_[at_] != '<') return Characters();
        if (StartsWith("<?")) return (at_ += 2, SkipPast("?>"));
        if (StartsWith("<!--")) return (at_ += 4, SkipPast("-->"));
        if (StartsWith("<![CDATA[")) {
            const size_t from = at_ + 9;
            if (open_.empty() || !SkipPast("]]>")) return false;
            return Resolve(Unreferenced(d_.substr(from, at_ - 3 - from)), false, text_) && Tell();
        }
        if (StartsWith("<!")) return false;  // a document type, or worse
        if (StartsWith("</")) return EndTag();
        return StartTag();
    }

    // CDATA holds no references: its ampersands are written as such.
    std::string_view Unreferenced(std::string_view raw) {
        cdata_.clear();
        for (const char c : raw) {
            if (c == '&')
                cdata_ += "&amp;";
            else if (c == '<')
                cdata_ += "&lt;";
            else
                cdata_ += c;
        }
        return cdata_;
    }

    bool Characters() {
        size_t lt = d_.find('<', at_);
        if (lt == std::string_view::npos) lt = d_.size();
        const std::string_view raw = d_.substr(at_, lt - at_);
        at_ = lt;
        if (open_.empty()) {  // before or after the root: white space only
            for (const char c : raw)
                if (!IsSpace(c)) return false;
            return true;
        }
        return Resolve(raw, false, text_) && Tell();
    }

    bool Tell() {
        if (!text_.empty()) events_.Text(text_);
        return true;
    }

    // The name at at_, up to white space, "/", ">" or "=".
    std::string_view Name() {
        const size_t from = at_;
        while (at_ < d_.size() && !IsSpace(d_[at_]) && d_[at_] != '/' && d_[at_] != '>' && d_[at_] != '=' &&
               d_[at_] != '<')
            ++at_;
        return d_.substr(from, at_ - from);
    }

    void SkipSpace() {
        while (at_ < d_.size() && IsSpace(d_[at_])) ++at_;
    }

    bool EndTag() {
        at_ += 2;
        const std::string_view name = Name();
        SkipSpace();
        if (at_ >= d_.size() || d_[at_] != '>' || open_.empty() || open_.back() != name) return false;
        ++at_;
        events_.End(open_.back().c_str());
        open_.pop_back();
        return true;
    }

    bool StartTag() {
        if (rootSeen_ && open_.empty()) return false;  // a second root
        ++at_;
        const std::string name(Name());
        if (name.empty()) return false;
        values_.clear();
        names_.clear();
        seen_.clear();
        for (;;) {
            const bool spaced = at_ < d_.size() && IsSpace(d_[at_]);
            SkipSpace();
            if (at_ >= d_.size()) return false;
            if (d_[at_] == '>' || d_.substr(at_).starts_with("/>")) break;
            const std::string_view attribute = Name();
            if (!spaced || attribute.empty()) return false;
            SkipSpace();
            if (at_ >= d_.size() || d_[at_] != '=') return false;
            ++at_;
            SkipSpace();
            if (at_ >= d_.size() || (d_[at_] != '"' && d_[at_] != '\'')) return false;
            const size_t close = d_.find(d_[at_], at_ + 1);
            if (close == std::string_view::npos) return false;
            if (!seen_.insert(attribute).second) return false;
            names_.emplace_back(attribute);
            values_.emplace_back();
            if (!Resolve(d_.substr(at_ + 1, close - at_ - 1), true, values_.back())) return false;
            at_ = close + 1;
        }
        const bool empty = d_[at_] == '/';
        at_ += empty ? 2 : 1;
        pointers_.clear();
        for (size_t i = 0; i < names_.size(); ++i) {
            pointers_.push_back(names_[i].c_str());
            pointers_.push_back(values_[i].c_str());
        }
        pointers_.push_back(nullptr);
        rootSeen_ = true;
        events_.Start(name.c_str(), pointers_.data());
        if (events_.stop) return true;
        if (empty)
            events_.End(name.c_str());
        else
            open_.push_back(name);
        return true;
    }

    std::string_view d_;
    XmlEvents& events_;
    size_t at_ = 0;
    bool rootSeen_ = false;
    std::vector<std::string> open_;
    std::string text_, cdata_;
    std::vector<std::string> names_, values_;
    std::unordered_set<std::string_view> seen_;  // the tag's attribute names
    std::vector<const char*> pointers_;
};

}  // namespace

XmlScanned ScanXml(std::string_view document, XmlEvents& events) { return Scanner(document, events).Run(); }

}  // namespace data
