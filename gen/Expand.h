// One record written through the HTML template: each [FieldName] becomes the
// record's value in that column.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class CCsvTable;

// A template taken apart once: literal runs and the columns of the
// placeholders between them. Writing a record is then a walk over the
// pieces, with the same bytes as ExpandTemplate.
class CompiledTemplate {
public:
    CompiledTemplate(const CCsvTable& table, const char* text, bool strip);
    // Appends the page text of `record` to `out`.
    void Write(const CCsvTable& table, int record, std::string& out) const;

private:
    struct Piece {
        size_t offset;  // literal bytes in text_ before the placeholder
        size_t length;
        int column;     // -1: no placeholder after the literal
    };
    std::string text_;
    std::vector<Piece> pieces_;
    size_t literalBytes_ = 0;
};

// Writes the expansion of `text` for record `record` of `table` to `out`.
// With `strip` the template's own <html>/</html> tags are removed first.
// Does nothing without a stream or with an empty text.
void ExpandTemplate(const CCsvTable& table, const char* text, int record, FILE* out, bool strip);

// Removes the tags <HTML>, <html>, </HTML> and </html> (and one line feed
// right after each) in place; a "<" that no ">" follows drops the rest.
// Returns `text`.
char* StripHtmlFrame(char* text);

// Writes a value with each line feed turned into "<br>". An absent or empty
// value writes nothing.
void WriteFieldText(FILE* out, const char* value);
// The same, appended to `out`.
void AppendFieldText(std::string& out, const char* value);
void AppendFieldText(std::string& out, std::string_view value);
