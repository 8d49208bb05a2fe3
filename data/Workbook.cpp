#include "data/Workbook.h"

#ifdef QUOLIX_OWN_BOOK_READERS
#include "data/XmlScan.h"
#include "data/ZipArchive.h"
#else
#include <expat.h>
#include <zip.h>
#endif

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <tuple>

#include "data/CellFormat.h"
#include "platform/FileSys.h"
#include "platform/Memory.h"
#include "platform/TextEncoding.h"

namespace data {

namespace {

using Status = WorkbookRead::Status;

// Bounds against hostile workbooks: the largest part, the largest ratio of
// a part to its compressed size (past a mebibyte), XML nesting, and the
// largest table text.
constexpr uint64_t kMaxPartBytes = uint64_t{512} << 20;
constexpr uint64_t kMaxRatio = 500;
constexpr int kMaxDepth = 256;
constexpr size_t kMaxTextBytes = size_t{256} << 20;
// Spaces an .ods may ask for by count, in all.
constexpr size_t kMaxCountedSpaces = size_t{64} << 20;
// Rows and columns kept: the 32000 records (the header among them) and one
// more to tell that there are more; 500 fields and one more likewise.
constexpr int64_t kRowCap = 32001;
constexpr int64_t kColCap = 501;
constexpr int64_t kSheetRows = 1048576;
constexpr int64_t kSheetColumns = 16384;

struct Refused {
    Status status;
};

// ------------------------------------------------------------ XML

// Receives a part's elements by their local names (their prefixes left
// out), attributes as written ("table:name").
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void Start(std::string_view name, const char** attributes) = 0;
    // The namespace of the element Start is given, asked for there.
    std::string_view Uri() const;
    const struct ParseState* state = nullptr;
    const char* element = nullptr;
    virtual void End(std::string_view name) = 0;
    virtual void Text(std::string_view text) = 0;
    // The part's size, before its first element.
    virtual void PartSize(uint64_t) {}
};

std::string_view LocalName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

// Whether an attribute declares a namespace (xmlns, xmlns:p): no value of
// the element's.
bool IsDeclaration(const char* name) {
    return std::strncmp(name, "xmlns", 5) == 0 && (name[5] == 0 || name[5] == ':');
}

const char* Attribute(const char** attributes, std::string_view local) {
    for (const char** a = attributes; *a; a += 2)
        if (!IsDeclaration(a[0]) && LocalName(a[0]) == local) return a[1];
    return nullptr;
}

int64_t NumberAttribute(const char** attributes, std::string_view local, int64_t fallback) {
    const char* v = Attribute(attributes, local);
    int64_t n = 0;
    if (!v) return fallback;
    const auto [end, ec] = std::from_chars(v, v + std::strlen(v), n);
    return ec == std::errc() && *end == 0 && n > 0 ? n : fallback;
}

#ifdef QUOLIX_OWN_BOOK_READERS
using Archive = ZipArchive;
#else
using Archive = zip_t;
#endif

struct ParseState {
#ifdef QUOLIX_OWN_BOOK_READERS
    XmlEvents* parser;
#else
    XML_Parser parser;
#endif
    XmlHandler* handler;
    int depth = 0;
    bool refused = false;
    std::exception_ptr error;  // thrown by the handler, carried past the parser
    // The namespaces in scope, by prefix ("" the default one), the latest
    // last; and how many each open element found.
    std::vector<std::pair<std::string, std::string>> namespaces;
    std::vector<size_t> scopes;

    void Declare(const char** attributes) {
        scopes.push_back(namespaces.size());
        for (const char** a = attributes; *a; a += 2)
            if (IsDeclaration(a[0])) namespaces.emplace_back(a[0][5] ? a[0] + 6 : "", a[1]);
    }
    // An element ends: its declarations go out of scope.
    void Undeclare() {
        if (scopes.empty()) return;
        namespaces.resize(scopes.back());
        scopes.pop_back();
    }
    std::string_view NamespaceOf(const char* name) const {
        const char* colon = std::strchr(name, ':');
        const std::string_view prefix = colon ? std::string_view(name, static_cast<size_t>(colon - name)) : "";
        for (auto it = namespaces.rbegin(); it != namespaces.rend(); ++it)
            if (it->first == prefix) return it->second;
        return {};
    }
};

std::string_view XmlHandler::Uri() const { return state->NamespaceOf(element); }

#ifdef QUOLIX_OWN_BOOK_READERS
void Stop(ParseState& s) {
    s.refused = true;
    s.parser->stop = true;
}

// The reader's events, told to the part's handler as the parser's are.
class PartEvents : public XmlEvents {
public:
    ParseState* s = nullptr;
    void Start(const char* name, const char** attributes) override {
        if (++s->depth > kMaxDepth) return Stop(*s);
        s->Declare(attributes);
        s->handler->element = name;
        s->handler->Start(LocalName(name), attributes);
    }
    void End(const char* name) override {
        --s->depth;
        s->Undeclare();
        s->handler->End(LocalName(name));
    }
    void Text(std::string_view text) override { s->handler->Text(text); }
};

// Reads the part `name` of `zip` through `handler`; false for a part that
// is not there.
bool ParsePart(Archive* zip, const std::string& name, XmlHandler& handler) {
    const ZipArchive::Member* member = zip->Find(name);
    if (!member) return false;
    if (member->size > kMaxPartBytes ||
        (member->size > (uint64_t{1} << 20) && member->size / kMaxRatio > member->packedSize))
        throw Refused{Status::kDamaged};
    std::string part;
    switch (zip->Extract(*member, part, kMaxPartBytes)) {
        case ZipArchive::Read::kRead: break;
        case ZipArchive::Read::kEncrypted: throw Refused{Status::kPassword};
        default: throw Refused{Status::kDamaged};
    }
    PartEvents events;
    ParseState state{&events, &handler, 0, false, {}, {}, {}};
    events.s = &state;
    handler.state = &state;
    handler.PartSize(member->size);
    if (ScanXml(part, events) != XmlScanned::kRead || state.refused) throw Refused{Status::kDamaged};
    return true;
}
#else
// Runs a handler's call, stopping the parser on what it throws.
template <typename F>
void Guarded(void* data, F call) {
    auto& s = *static_cast<ParseState*>(data);
    try {
        call(s);
    } catch (...) {
        s.error = std::current_exception();
        s.refused = true;
        XML_StopParser(s.parser, XML_FALSE);
    }
}

void Stop(ParseState& s) {
    s.refused = true;
    XML_StopParser(s.parser, XML_FALSE);
}

// Streams the part `name` of `zip` through `handler`; false for a part
// that is not there.
bool ParsePart(Archive* zip, const std::string& name, XmlHandler& handler) {
    const zip_int64_t index = zip_name_locate(zip, name.c_str(), ZIP_FL_NOCASE);
    if (index < 0) return false;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, static_cast<zip_uint64_t>(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        throw Refused{Status::kDamaged};
    if (st.size > kMaxPartBytes ||
        (st.size > (uint64_t{1} << 20) && (st.valid & ZIP_STAT_COMP_SIZE) && st.size / kMaxRatio > st.comp_size))
        throw Refused{Status::kDamaged};
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(
        zip_fopen_index(zip, static_cast<zip_uint64_t>(index), 0), zip_fclose);
    if (!file) throw Refused{(zip_get_error(zip)->zip_err == ZIP_ER_NOPASSWD ||
                              zip_get_error(zip)->zip_err == ZIP_ER_ENCRNOTSUPP)
                                 ? Status::kPassword
                                 : Status::kDamaged};
    // Names as written, prefixes resolved here: much faster than the
    // parser's own namespace processing.
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
    if (!parser) throw std::bad_alloc();
    ParseState state{parser.get(), &handler, 0, false, {}, {}, {}};
    handler.state = &state;
    handler.PartSize(st.size);
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            Guarded(data, [&](ParseState& s) {
                if (++s.depth > kMaxDepth) return Stop(s);
                s.Declare(attributes);
                s.handler->element = name;
                s.handler->Start(LocalName(name), attributes);
            });
        },
        [](void* data, const XML_Char* name) {
            Guarded(data, [&](ParseState& s) {
                --s.depth;
                s.Undeclare();
                s.handler->End(LocalName(name));
            });
        });
    XML_SetCharacterDataHandler(parser.get(), [](void* data, const XML_Char* text, int length) {
        Guarded(data, [&](ParseState& s) { s.handler->Text({text, static_cast<size_t>(length)}); });
    });
    // No document type, hence no entity of the document's own.
    XML_SetStartDoctypeDeclHandler(parser.get(), [](void* data, const XML_Char*, const XML_Char*,
                                                    const XML_Char*, int) {
        Stop(*static_cast<ParseState*>(data));
    });
    constexpr int kPiece = 1 << 18;
    uint64_t total = 0;
    for (;;) {
        // Read into the parser's own buffer: no copy.
        void* buffer = XML_GetBuffer(parser.get(), kPiece);
        if (!buffer) throw std::bad_alloc();
        const zip_int64_t n = zip_fread(file.get(), buffer, kPiece);
        if (n < 0) throw Refused{Status::kDamaged};
        total += static_cast<uint64_t>(n);
        if (total > st.size) throw Refused{Status::kDamaged};
        if (XML_ParseBuffer(parser.get(), static_cast<int>(n), n == 0) != XML_STATUS_OK || state.refused) {
            if (state.error) std::rethrow_exception(state.error);
            if (XML_GetErrorCode(parser.get()) == XML_ERROR_NO_MEMORY) throw std::bad_alloc();
            throw Refused{Status::kDamaged};
        }
        if (n == 0) break;
    }
    return true;
}

#endif

// A part's text as its reader takes it: `_xHHHH_` is the character HHHH,
// and every line break a line feed.
void AppendCellText(std::string& out, std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_') {
            unsigned v = 0;
            const auto [end, ec] = std::from_chars(text.data() + i + 2, text.data() + i + 6, v, 16);
            if (ec == std::errc() && end == text.data() + i + 6) {
                i += 6;
                // NUL and lone surrogates are no characters: left out.
                if (v != 0 && (v < 0xD800 || v > 0xDFFF)) platform::AppendUtf8(out, v);
                continue;
            }
        }
        out += c;
    }
}

// Line breaks inside a value become line feeds.
void UnifyLineBreaks(std::string& s) {
    if (s.find('\r') == std::string::npos) return;
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\r') out += s[i];
        else if (i + 1 >= s.size() || s[i + 1] != '\n') out += '\n';
    }
    s = std::move(out);
}

// ------------------------------------------------------------ the sheet

// The cells holding a value, sparse, and what they make.
class Grid {
public:
    // A value at (row, col), 0-based; beyond the kept rows and columns only
    // noted.
    void Put(int64_t row, int64_t col, std::string_view value) {
        if (value.empty() || row < 0 || col < 0) return;
        if (row >= kRowCap - 1) {
            moreRows_ = true;
            return;
        }
        if (col >= kColCap - 1) {
            // Values past the 500th column: one mark for the row.
            if (!cells_.empty() && cells_.back().row == row && cells_.back().col == kColCap - 1) return;
            col = kColCap - 1, value = {};
        }
        if (!cells_.empty() && std::tie(row, col) <= std::tie(cells_.back().row, cells_.back().col))
            sorted_ = false;
        if ((stored_ += value.size()) > kMaxTextBytes) throw Refused{Status::kDamaged};
        cells_.push_back({Store(value), static_cast<uint32_t>(row), static_cast<uint32_t>(value.size()),
                          static_cast<uint16_t>(col),
                          value.find_first_of("\t\n\r\"") != std::string_view::npos});
    }
    // Room for the cells a part of `bytes` may hold (never less than a cell
    // takes in XML), within reason.
    void Expect(uint64_t bytes) { cells_.reserve(static_cast<size_t>(std::min<uint64_t>(bytes / 24, 1 << 22))); }
    // The merged range's cells but its first give up their values.
    void Merge(int64_t row1, int64_t col1, int64_t row2, int64_t col2) {
        merges_.push_back({row1, col1, row2, col2});
    }

    platform::ByteBuffer Text() {
        if (!sorted_)
            std::stable_sort(cells_.begin(), cells_.end(),
                             [](const Cell& a, const Cell& b) { return std::tie(a.row, a.col) < std::tie(b.row, b.col); });
        // A later value of the same cell replaces an earlier one.
        std::vector<Cell>& cells = cells_;
        size_t kept = 0;
        for (size_t i = 0; i < cells.size(); ++i) {
            if (kept > 0 && cells[kept - 1].row == cells[i].row && cells[kept - 1].col == cells[i].col) --kept;
            cells[kept++] = cells[i];
        }
        cells.resize(kept);
        int64_t budget = int64_t{1} << 26;
        for (const auto& [r1, c1, r2, c2] : merges_) {
            for (int64_t r = r1; r <= std::min<int64_t>(r2, kRowCap); ++r) {
                if (--budget < 0) throw Refused{Status::kDamaged};
                auto it = std::lower_bound(cells.begin(), cells.end(), std::pair{r, c1}, [](const Cell& c, auto key) {
                    return std::pair<int64_t, int64_t>{c.row, c.col} < key;
                });
                for (; it != cells.end() && it->row == r && it->col <= c2; ++it) {
                    if (r == r1 && it->col == c1) continue;
                    if (--budget < 0) throw Refused{Status::kDamaged};
                    it->length = 0;
                }
            }
        }
        std::erase_if(cells, [](const Cell& c) { return c.length == 0 && c.col < kColCap - 1; });
        int64_t columns = 0, rows = moreRows_ ? kRowCap : 0;
        for (const Cell& c : cells) {
            columns = std::max<int64_t>(columns, std::min<int64_t>(c.col + 1, kColCap - 1));
            rows = std::max<int64_t>(rows, c.row + 1);
        }
        // Each row's fields: its own count when values stand past the
        // 500th column, else the sheet's.
        std::vector<uint16_t> fields(static_cast<size_t>(rows), static_cast<uint16_t>(columns));
        for (const Cell& c : cells)
            if (c.col == kColCap - 1) fields[c.row] = static_cast<uint16_t>(kColCap);
        // The text's size first, then the text.
        size_t size = 0;
        for (int64_t r = 0; r < rows; ++r) size += std::max<size_t>(fields[static_cast<size_t>(r)], 2) + 1;
        for (const Cell& c : cells) size += QuotedLength(c);
        platform::ByteBuffer out;
        if (size > kMaxTextBytes) throw Refused{Status::kDamaged};
        if (!out.Resize(size)) throw std::bad_alloc();
        char* p = out.Data();
        auto cell = cells.begin();
        for (int64_t r = 0; r < rows; ++r) {
            const int64_t n = fields[static_cast<size_t>(r)];
            if (n <= 1 && (cell == cells.end() || cell->row != r)) {
                p = std::copy_n("\"\"", 2, p);  // a row of one empty field
            }
            for (int64_t col = 0; col < n; ++col) {
                if (col > 0) *p++ = '\t';
                if (cell != cells.end() && cell->row == r && cell->col == col) {
                    if (!cell->quoted) {
                        p = std::copy_n(cell->text, cell->length, p);
                    } else {
                        *p++ = '"';
                        for (const char* c = cell->text; c < cell->text + cell->length; ++c) {
                            if (*c == '"') *p++ = '"';
                            *p++ = *c;
                        }
                        *p++ = '"';
                    }
                    ++cell;
                }
            }
            *p++ = '\n';
            while (cell != cells.end() && cell->row == r) ++cell;
        }
        out.Shrink(static_cast<size_t>(p - out.Data()));
        return out;
    }

private:
    struct Cell {
        const char* text;
        uint32_t row;
        uint32_t length;
        uint16_t col;
        bool quoted;  // holds a tab, a line break or a quote
    };
    static size_t QuotedLength(const Cell& c) {
        return c.quoted ? c.length + 2 + static_cast<size_t>(std::count(c.text, c.text + c.length, '"')) : c.length;
    }
    // Values are kept in blocks that never move.
    const char* Store(std::string_view value) {
        if (value.empty()) return "";
        if (value.size() > room_) {
            // Whole huge pages where the kernel gives them.
            const size_t size = (std::max(kBlock, value.size()) + kHuge - 1) / kHuge * kHuge;
            char* block = static_cast<char*>(platform::AllocateAligned(kHuge, size));
            if (!block) throw std::bad_alloc();
            blocks_.emplace_back(block);
            platform::AdviseHugePages(block, size);
            next_ = block;
            room_ = size;
        }
        char* at = next_;
        std::memcpy(at, value.data(), value.size());
        next_ += value.size();
        room_ -= value.size();
        return at;
    }
    static constexpr size_t kBlock = size_t{4} << 20;
    static constexpr size_t kHuge = size_t{2} << 20;
    struct Free {
        void operator()(char* p) const noexcept { platform::FreeAligned(p); }
    };
    std::vector<std::unique_ptr<char, Free>> blocks_;
    char* next_ = nullptr;
    size_t room_ = 0;
    size_t stored_ = 0;
    std::vector<Cell> cells_;
    std::vector<std::tuple<int64_t, int64_t, int64_t, int64_t>> merges_;
    bool sorted_ = true;
    bool moreRows_ = false;
};

// An ISO 8601 date and time ("2024-04-01T09:30:00") as a serial number of
// the 1900 date system; false for anything else.
bool IsoSerial(std::string_view v, double& serial) {
    int parts[6] = {0, 0, 0, 0, 0, 0};
    const char* p = v.data();
    const char* end = v.data() + v.size();
    for (int i = 0; i < 6 && p < end; ++i) {
        const auto [next, ec] = std::from_chars(p, end, parts[i]);
        if (ec != std::errc()) return false;
        p = next;
        if (p < end && *p == (i < 2 ? '-' : i == 2 ? 'T' : i < 5 ? ':' : '.')) ++p;
        else if (i < 2) return false;
        else break;
    }
    const auto [y, m, d] = std::tuple{parts[0], parts[1], parts[2]};
    if (m < 1 || m > 12 || d < 1 || d > 31 || y < 1900 || y > 9999 || parts[3] < 0 || parts[3] > 23 ||
        parts[4] < 0 || parts[4] > 59 || parts[5] < 0 || parts[5] > 59)
        return false;
    // Days from 1970-01-01 of the civil date.
    const int yy = y - (m <= 2);
    const long era = yy / 400;
    const long yoe = yy - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
    const long excel = days + 25569;
    serial = static_cast<double>(excel < 61 ? excel - 1 : excel) + (parts[3] * 3600 + parts[4] * 60 + parts[5]) / 86400.0;
    return true;
}

// "B12" as row 11, column 1; false for anything else.
bool ParseReference(std::string_view ref, int64_t& row, int64_t& col) {
    size_t i = 0;
    int64_t c = 0;
    while (i < ref.size() && std::isalpha(static_cast<unsigned char>(ref[i])) && i < 4)
        c = c * 26 + (std::toupper(static_cast<unsigned char>(ref[i++])) - 'A' + 1);
    int64_t r = 0;
    const auto [end, ec] = std::from_chars(ref.data() + i, ref.data() + ref.size(), r);
    if (i == 0 || ec != std::errc() || end != ref.data() + ref.size() || r < 1 || r > kSheetRows ||
        c > kSheetColumns)
        return false;
    row = r - 1, col = c - 1;
    return true;
}

// ------------------------------------------------------------ Office Open XML

// A string item's text: its runs joined, its phonetic runs left out.
struct RichText {
    std::string text;
    std::string run;   // a <t>'s text, taken whole at its end
    int phonetic = 0;  // inside rPh
    bool inT = false;
    void Start(std::string_view name) {
        if (name == "rPh") ++phonetic;
        else if (name == "t" && phonetic == 0) inT = true;
    }
    void End(std::string_view name) {
        if (name == "rPh") --phonetic;
        if (name == "t" && inT) {
            AppendCellText(text, run);
            run.clear();
            inT = false;
        }
    }
    void Text(std::string_view t) {
        if (inT) run += t;
    }
};

struct Relationships : XmlHandler {
    struct Target {
        std::string type, target;
    };
    std::map<std::string, Target> byId;
    void Start(std::string_view name, const char** a) override {
        if (name != "Relationship") return;
        const char* id = Attribute(a, "Id");
        const char* type = Attribute(a, "Type");
        const char* target = Attribute(a, "Target");
        if (id && target) byId[id] = {type ? type : "", target};
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
    std::string OfType(std::string_view suffix) const {
        for (const auto& [id, t] : byId)
            if (t.type.ends_with(suffix)) return t.target;
        return {};
    }
};

// A part's name from a relationship's target, against the folder of the
// part that holds the relationship.
std::string Resolve(const std::string& folder, const std::string& target) {
    std::string path = target.starts_with("/") ? target.substr(1) : folder + target;
    std::vector<std::string> parts;
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
    return out;
}

std::string FolderOf(const std::string& part) {
    const size_t slash = part.rfind('/');
    return slash == std::string::npos ? "" : part.substr(0, slash + 1);
}

struct WorkbookPart : XmlHandler {
    std::vector<std::pair<std::string, std::string>> sheets;  // name, relationship
    bool date1904 = false;
    void Start(std::string_view name, const char** a) override {
        if (name == "sheet") {
            const char* sheet = Attribute(a, "name");
            const char* id = Attribute(a, "id");
            if (sheet && id) sheets.emplace_back(sheet, id);
        } else if (name == "workbookPr") {
            const char* v = Attribute(a, "date1904");
            date1904 = v && (std::strcmp(v, "1") == 0 || std::strcmp(v, "true") == 0);
        }
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

struct SharedStrings : XmlHandler {
    std::string all;  // every item, one after another
    std::vector<std::pair<size_t, size_t>> items;  // where each starts, its length
    RichText item;
    void Start(std::string_view name, const char**) override {
        if (name == "si") item.text.clear();
        else item.Start(name);
    }
    void End(std::string_view name) override {
        if (name == "si") {
            UnifyLineBreaks(item.text);
            items.emplace_back(all.size(), item.text.size());
            all += item.text;
        } else {
            item.End(name);
        }
    }
    void Text(std::string_view t) override { item.Text(t); }
    std::string_view Item(size_t i) const { return std::string_view(all).substr(items[i].first, items[i].second); }
};

struct Styles : XmlHandler {
    std::map<int64_t, std::string> codes;
    std::vector<int64_t> cellFormats;  // each cell style's number format
    bool inCellXfs = false;
    void Start(std::string_view name, const char** a) override {
        if (name == "numFmt") {
            const char* code = Attribute(a, "formatCode");
            if (code) codes[NumberAttribute(a, "numFmtId", -1)] = code;
        } else if (name == "cellXfs") {
            inCellXfs = true;
        } else if (name == "xf" && inCellXfs) {
            const char* id = Attribute(a, "numFmtId");
            cellFormats.push_back(id ? NumberAttribute(a, "numFmtId", 0) : 0);
        }
    }
    void End(std::string_view name) override {
        if (name == "cellXfs") inCellXfs = false;
    }
    void Text(std::string_view) override {}
};

// The number formats of a workbook's cell styles.
struct Formats {
    std::vector<CellFormat> made;
    std::vector<std::string> codes;  // each made format's code
    std::vector<size_t> ofStyle;     // per cell style, its format
};

struct Worksheet : XmlHandler {
    Grid& grid;
    WorkbookRead& read;
    const SharedStrings& shared;
    const Formats& formats;
    bool date1904;

    int64_t row = -1, col = -1;
    bool inCell = false, inV = false, hasFormula = false, hasValue = false, inInline = false;
    std::string type, value;
    int64_t style = 0;
    RichText inlineText;

    Worksheet(Grid& g, WorkbookRead& r, const SharedStrings& s, const Formats& f, bool d1904)
        : grid(g), read(r), shared(s), formats(f), date1904(d1904) {}
    void PartSize(uint64_t bytes) override { grid.Expect(bytes); }

    void Start(std::string_view name, const char** a) override {
        if (inInline) {
            inlineText.Start(name);
        } else if (name == "row") {
            const int64_t r = NumberAttribute(a, "r", row + 2) - 1;
            if (r >= kSheetRows) throw Refused{Status::kDamaged};
            row = r;
            col = -1;
        } else if (name == "c") {
            const char* ref = Attribute(a, "r");
            int64_t r = row, c = col + 1;
            if (ref && !ParseReference(ref, r, c)) throw Refused{Status::kDamaged};
            if (row < 0 || c >= kSheetColumns) throw Refused{Status::kDamaged};
            row = r, col = c;
            const char* t = Attribute(a, "t");
            type = t ? t : "n";
            style = NumberAttribute(a, "s", 0);
            inCell = true;
            hasFormula = hasValue = false;
            value.clear();
            inlineText.text.clear();
            inlineText.run.clear();
            inlineText.inT = false;
            inlineText.phonetic = 0;
        } else if (inCell && name == "v") {
            inV = hasValue = true;
        } else if (inCell && name == "f") {
            hasFormula = true;
        } else if (inCell && name == "is") {
            inInline = hasValue = true;
        } else if (name == "mergeCell") {
            const char* ref = Attribute(a, "ref");
            const std::string_view range = ref ? ref : "";
            const size_t colon = range.find(':');
            int64_t r1, c1, r2, c2;
            if (colon == std::string_view::npos || !ParseReference(range.substr(0, colon), r1, c1) ||
                !ParseReference(range.substr(colon + 1), r2, c2))
                throw Refused{Status::kDamaged};
            grid.Merge(std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2));
        }
    }
    void End(std::string_view name) override {
        if (inInline) {
            if (name == "is") inInline = false;
            else inlineText.End(name);
        } else if (name == "v") {
            inV = false;
        } else if (name == "c" && inCell) {
            inCell = false;
            if (hasFormula && !hasValue) ++read.formulasWithoutValue;
            grid.Put(row, col, Shown());
        }
    }
    void Text(std::string_view t) override {
        if (inInline) inlineText.Text(t);
        else if (inV) value += t;
    }

    const CellFormat* FormatOf() const {
        return style >= 0 && static_cast<size_t>(style) < formats.ofStyle.size()
                   ? &formats.made[formats.ofStyle[static_cast<size_t>(style)]]
                   : nullptr;
    }

    // The cell's value as shown: a view of the shared strings or of
    // `shown`.
    std::string_view Shown() {
        const CellFormat* format = FormatOf();
        std::string_view text;
        if (type == "s") {
            size_t index = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), index);
            if (!hasValue) return {};
            if (ec != std::errc() || end != value.data() + value.size() || index >= shared.items.size())
                throw Refused{Status::kDamaged};
            text = shared.Item(index);
        } else if (type == "b") {
            return value.empty() ? "" : value == "0" ? "FALSE" : "TRUE";
        } else if ((type == "n" || type == "d") && !value.empty()) {
            double x = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), x);
            if (type == "d" && IsoSerial(value, x)) x -= date1904 ? 1462 : 0;
            else if (ec != std::errc() || end != value.data() + value.size()) return value;
            if (format && !format->Known()) {
                if (read.unknownFormats++ == 0)
                    read.firstUnknownFormat = formats.codes[formats.ofStyle[static_cast<size_t>(style)]];
                format = nullptr;
            }
            shown = format ? format->Number(x, date1904) : GeneralNumber(x);
            return shown;
        } else {
            shown.clear();
            if (type == "inlineStr") shown.swap(inlineText.text);
            else AppendCellText(shown, value);  // str, e, d
            UnifyLineBreaks(shown);
            text = shown;
        }
        if (format && format->ChangesText() && (type == "s" || type == "inlineStr" || type == "str")) {
            std::string formatted = format->Text(text);
            shown.swap(formatted);
            return shown;
        }
        return text;
    }
    std::string shown;
};

void ReadXlsx(Archive* zip, std::string_view wanted, WorkbookRead& read) {
    Relationships package;
    ParsePart(zip, "_rels/.rels", package);
    std::string workbookName = Resolve("", package.OfType("/officeDocument"));
    if (workbookName.empty()) workbookName = "xl/workbook.xml";
    WorkbookPart workbook;
    if (!ParsePart(zip, workbookName, workbook)) throw Refused{Status::kDamaged};
    const std::string folder = FolderOf(workbookName);
    Relationships rels;
    ParsePart(zip, folder + "_rels/" + workbookName.substr(folder.size()) + ".rels", rels);

    std::string sheetPart;
    for (const auto& [name, id] : workbook.sheets) {
        read.sheets.push_back(name);
        if (sheetPart.empty() && (wanted.empty() || wanted == name)) {
            const auto it = rels.byId.find(id);
            if (it == rels.byId.end()) throw Refused{Status::kDamaged};
            sheetPart = Resolve(folder, it->second.target);
            read.sheet = name;
        }
    }
    if (sheetPart.empty()) throw Refused{Status::kDamaged};

    SharedStrings shared;
    if (const std::string s = rels.OfType("/sharedStrings"); !s.empty()) ParsePart(zip, Resolve(folder, s), shared);
    Styles styles;
    if (const std::string s = rels.OfType("/styles"); !s.empty()) ParsePart(zip, Resolve(folder, s), styles);
    // A format per number format, made once; a cell style names one.
    std::map<int64_t, size_t> made;
    Formats formats;
    for (const int64_t id : styles.cellFormats) {
        auto [it, added] = made.emplace(id, formats.made.size());
        if (added) {
            const auto custom = styles.codes.find(id);
            formats.codes.push_back(custom != styles.codes.end()
                                        ? custom->second
                                        : std::string(BuiltInFormat(static_cast<int>(std::min<int64_t>(id, 1000)))));
            formats.made.emplace_back(formats.codes.back());
        }
        formats.ofStyle.push_back(it->second);
    }
    Grid grid;
    Worksheet sheet(grid, read, shared, formats, workbook.date1904);
    if (!ParsePart(zip, sheetPart, sheet)) throw Refused{Status::kDamaged};
    read.text = grid.Text();
}

// ------------------------------------------------------------ OpenDocument

struct OdsContent : XmlHandler {
    Grid& grid;
    WorkbookRead& read;
    std::string_view wanted;

    int tableDepth = 0;
    bool active = false, done = false;
    int64_t row = 0, col = 0, rowRepeat = 1;
    std::vector<std::tuple<int64_t, int64_t, std::string>> rowCells;  // column, repeat, text
    size_t rowBytes = 0;
    size_t spaces = 0;
    bool inCell = false, covered = false;
    int64_t cellRepeat = 1;
    int paragraphs = 0, inParagraph = 0, skipped = 0;
    std::string text, fallback;

    OdsContent(Grid& g, WorkbookRead& r, std::string_view w) : grid(g), read(r), wanted(w) {}
    void PartSize(uint64_t bytes) override { grid.Expect(bytes / 4); }

    void Start(std::string_view name, const char** a) override {
        if (name == "table") {
            if (tableDepth++ > 0) return;
            const char* n = Attribute(a, "name");
            read.sheets.push_back(n ? n : "");
            active = !done && (wanted.empty() || wanted == read.sheets.back());
            if (active) read.sheet = read.sheets.back();
            return;
        }
        if (!active || tableDepth != 1) return;
        if (skipped > 0) {
            ++skipped;
        } else if (name == "table-row" && !inCell) {
            rowRepeat = std::min(NumberAttribute(a, "number-rows-repeated", 1), kSheetRows);
            col = 0;
            rowCells.clear();
            rowBytes = 0;
        } else if ((name == "table-cell" || name == "covered-table-cell") && !inCell) {
            inCell = true;
            covered = name == "covered-table-cell";
            cellRepeat = std::min(NumberAttribute(a, "number-columns-repeated", 1), kSheetColumns);
            paragraphs = 0;
            text.clear();
            // A cell without paragraphs shows its value.
            bool typed = false;
            const char* v = nullptr;
            for (const char** p = a; *p; p += 2) {
                if (IsDeclaration(p[0])) continue;
                const std::string_view n = LocalName(p[0]);
                typed = typed || n == "value-type";
                if (!v && (n == "value" || n == "date-value" || n == "time-value" || n == "boolean-value" ||
                           n == "string-value"))
                    v = p[1];
            }
            fallback = typed && v ? v : "";
        } else if (inCell && (name == "annotation" || name == "ruby-text" || name == "note" ||
                              Uri() == "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")) {
            skipped = 1;  // a comment, furigana, a footnote, a shape's text
        } else if (inCell && name == "p") {
            if (paragraphs++ > 0) text += '\n';
            ++inParagraph;
        } else if (inParagraph > 0 && name == "s") {
            const size_t n = static_cast<size_t>(std::min<int64_t>(NumberAttribute(a, "c", 1), 1 << 16));
            if ((spaces += n) > kMaxCountedSpaces) throw Refused{Status::kDamaged};
            text.append(n, ' ');
        } else if (inParagraph > 0 && name == "tab") {
            text += '\t';
        } else if (inParagraph > 0 && name == "line-break") {
            text += '\n';
        }
        if (text.size() > kMaxTextBytes) throw Refused{Status::kDamaged};
    }
    void End(std::string_view name) override {
        if (name == "table") {
            if (--tableDepth == 0 && active) active = false, done = true;
            return;
        }
        if (!active || tableDepth != 1) return;
        if (skipped > 0) {
            --skipped;
        } else if (name == "p" && inParagraph > 0) {
            --inParagraph;
        } else if ((name == "table-cell" || name == "covered-table-cell") && inCell) {
            inCell = false;
            if (paragraphs == 0) text = fallback;
            UnifyLineBreaks(text);
            if (!covered && !text.empty() && col < kSheetColumns) {
                // Past the 500th column a value only tells that it is there.
                if (col >= kColCap - 1) text = "-";
                const int64_t c = std::min(col, kColCap - 1);
                if (rowRepeat == 1) {
                    for (int64_t k = c; k < std::min(c + cellRepeat, kColCap); ++k) grid.Put(row, k, text);
                } else if (c < kColCap - 1 || rowCells.empty() || std::get<0>(rowCells.back()) != c) {
                    // Kept until the row's end, which repeats it; past the
                    // 500th column, once.
                    rowBytes += text.size() * static_cast<size_t>(std::min(cellRepeat, kColCap));
                    if (rowBytes > kMaxTextBytes) throw Refused{Status::kDamaged};
                    rowCells.emplace_back(c, cellRepeat, text);
                }
            }
            col = std::min(col + cellRepeat, kSheetColumns * 2);
        } else if (name == "table-row" && !inCell) {
            // Rows past the kept ones only tell that there are more.
            for (int64_t r = row; r < row + rowRepeat && !rowCells.empty(); ++r) {
                for (const auto& [c, repeat, value] : rowCells)
                    for (int64_t k = c; k < std::min(c + repeat, kColCap); ++k) grid.Put(r, k, value);
                if (r >= kRowCap - 1) break;
            }
            row = std::min(row + rowRepeat, kSheetRows * 2);
        }
    }
    void Text(std::string_view t) override {
        if (active && inParagraph > 0 && skipped == 0) text += t;
        if (text.size() > kMaxTextBytes) throw Refused{Status::kDamaged};
    }
};

// Whether an OpenDocument file's manifest says its parts are encrypted.
struct Manifest : XmlHandler {
    bool encrypted = false;
    void Start(std::string_view name, const char**) override { encrypted = encrypted || name == "encryption-data"; }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

void ReadOds(Archive* zip, std::string_view wanted, WorkbookRead& read) {
    Manifest manifest;
    ParsePart(zip, "META-INF/manifest.xml", manifest);
    if (manifest.encrypted) throw Refused{Status::kPassword};
    Grid grid;
    OdsContent content(grid, read, wanted);
    if (!ParsePart(zip, "content.xml", content) || (read.sheet.empty() && !wanted.empty()))
        throw Refused{Status::kDamaged};
    if (read.sheets.empty()) throw Refused{Status::kDamaged};
    read.text = grid.Text();
}

// ------------------------------------------------------------ compound files

uint32_t Le32(std::string_view b, size_t at) {
    if (at + 4 > b.size()) throw Refused{Status::kDamaged};
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

// What the directory of a compound file says it holds: an encrypted
// workbook (an EncryptionInfo stream) or an Excel 97-2003 one (Workbook
// or Book).
Status CompoundStatus(std::string_view b) {
    if (b.size() < 512) return Status::kDamaged;
    const unsigned shift = static_cast<unsigned char>(b[0x1E]);
    if (shift != 9 && shift != 12) return Status::kDamaged;
    const size_t sector = size_t{1} << shift;
    const size_t sectors = b.size() / sector;  // an upper bound on every chain
    auto offset = [&](uint32_t s) { return (size_t{s} + 1) * sector; };
    std::vector<uint32_t> fat;  // the sectors of the allocation table
    for (size_t i = 0; i < 109 && fat.size() < Le32(b, 0x2C); ++i) fat.push_back(Le32(b, 0x4C + 4 * i));
    for (uint32_t d = Le32(b, 0x44), n = 0; d < 0xFFFFFFFA && fat.size() < Le32(b, 0x2C); ++n) {
        if (n > sectors) return Status::kDamaged;
        for (size_t i = 0; i + 1 < sector / 4 && fat.size() < Le32(b, 0x2C); ++i)
            fat.push_back(Le32(b, offset(d) + 4 * i));
        d = Le32(b, offset(d) + sector - 4);
    }
    auto next = [&](uint32_t s) {
        const size_t per = sector / 4;
        if (s / per >= fat.size()) throw Refused{Status::kDamaged};
        return Le32(b, offset(fat[s / per]) + 4 * (s % per));
    };
    bool workbook = false;
    size_t n = 0;
    for (uint32_t s = Le32(b, 0x30); s < 0xFFFFFFFA; s = next(s)) {
        if (++n > sectors) return Status::kDamaged;
        for (size_t e = 0; e < sector / 128; ++e) {
            const size_t at = offset(s) + e * 128;
            if (at + 128 > b.size()) return Status::kDamaged;
            const size_t length = std::min<size_t>(static_cast<unsigned char>(b[at + 0x40]), 64);
            std::string name;
            for (size_t i = 0; i + 3 < length + 1 && i + 1 < 64; i += 2)
                name += b[at + i + 1] == 0 ? b[at + i] : '?';
            if (name == "EncryptionInfo") return Status::kPassword;
            workbook = workbook || name == "Workbook" || name == "Book";
        }
    }
    return workbook ? Status::kXls : Status::kDamaged;
}

}  // namespace

SourceKind KindOfSource(std::string_view bytes) {
    if (bytes.starts_with("PK\x03\x04") || bytes.starts_with("PK\x05\x06")) return SourceKind::kWorkbook;
    if (bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return SourceKind::kCompound;
    return SourceKind::kText;
}

namespace {

#ifdef QUOLIX_OWN_BOOK_READERS
using ZipPtr = std::unique_ptr<ZipArchive>;

// The zip archive in `bytes` (which must outlive it); null for none.
ZipPtr OpenZip(std::string_view bytes) {
    auto zip = std::make_unique<ZipArchive>();
    if (!zip->Open(bytes)) return nullptr;
    return zip;
}

// Up to `limit` bytes of the part `name`; nullopt when it is not there.
std::optional<std::string> SmallPart(Archive* zip, const char* name, size_t limit) {
    const ZipArchive::Member* member = zip->Find(name);
    if (!member) return std::nullopt;
    std::string bytes;
    if (zip->Extract(*member, bytes, limit) != ZipArchive::Read::kRead) bytes.clear();
    return bytes;
}
#else
using ZipPtr = std::unique_ptr<zip_t, void (*)(zip_t*)>;

// The zip archive in `bytes` (which must outlive it); null for none.
ZipPtr OpenZip(std::string_view bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (!source) throw std::bad_alloc();
    ZipPtr zip(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error), zip_discard);
    if (!zip) zip_source_free(source);
    zip_error_fini(&error);
    return zip;
}

// Up to `limit` bytes of the part `name`; nullopt when it is not there.
std::optional<std::string> SmallPart(Archive* zip, const char* name, size_t limit) {
    const zip_int64_t index = zip_name_locate(zip, name, ZIP_FL_NOCASE);
    if (index < 0) return std::nullopt;
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(zip, static_cast<zip_uint64_t>(index), 0),
                                                          zip_fclose);
    std::string bytes(limit, '\0');
    const zip_int64_t n = file ? zip_fread(file.get(), bytes.data(), limit) : -1;
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return bytes;
}

#endif

enum class BookKind { kNone, kXlsx, kOds };

// What a zip holds: an OpenDocument spreadsheet names itself in its first
// part; an Office Open XML package has [Content_Types].xml, which `strict`
// wants to name a workbook.
BookKind KindOfBook(Archive* zip, bool strict) {
    if (const std::optional<std::string> mime = SmallPart(zip, "mimetype", 64))
        return *mime == "application/vnd.oasis.opendocument.spreadsheet" ? BookKind::kOds : BookKind::kNone;
    const std::optional<std::string> types = SmallPart(zip, "[Content_Types].xml", 1 << 20);
    if (!types) return BookKind::kNone;
    return !strict || types->find("spreadsheetml") != std::string::npos || types->find("ms-excel") != std::string::npos
               ? BookKind::kXlsx
               : BookKind::kNone;
}

}  // namespace

bool IsWorkbookFile(const std::string& path) {
    platform::FilePtr file = platform::OpenFile(path, "rb");
    char head[8];
    if (!file || KindOfSource({head, std::fread(head, 1, sizeof head, file.get())}) == SourceKind::kText)
        return false;
    std::rewind(file.get());
    platform::ByteBuffer bytes;
    if (platform::ReadAll(file.get(), bytes) != platform::ReadStatus::kRead) return false;
    try {
        switch (KindOfSource(bytes.View())) {
            case SourceKind::kCompound: {
                const Status status = CompoundStatus(bytes.View());
                return status == Status::kXls || status == Status::kPassword;
            }
            case SourceKind::kWorkbook: {
                const ZipPtr zip = OpenZip(bytes.View());
                return zip && KindOfBook(zip.get(), true) != BookKind::kNone;
            }
            case SourceKind::kText: break;
        }
    } catch (const Refused&) {
    } catch (const std::bad_alloc&) {
    }
    return false;
}

WorkbookRead ReadWorkbook(std::string_view bytes, std::string_view sheet) {
    WorkbookRead read;
    try {
        if (KindOfSource(bytes) == SourceKind::kCompound) {
            read.status = CompoundStatus(bytes);
            return read;
        }
        const ZipPtr zip = OpenZip(bytes);
        if (!zip) throw Refused{Status::kDamaged};
        switch (KindOfBook(zip.get(), false)) {
            case BookKind::kOds: ReadOds(zip.get(), sheet, read); break;
            case BookKind::kXlsx: ReadXlsx(zip.get(), sheet, read); break;
            case BookKind::kNone: throw Refused{Status::kDamaged};
        }
        read.status = Status::kRead;
    } catch (const Refused& refused) {
        read = {.status = refused.status, .sheets = std::move(read.sheets)};
    } catch (const std::bad_alloc&) {
        read = {.status = Status::kNoMemory};
    }
    return read;
}

}  // namespace data
