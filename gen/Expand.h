// One record written through the HTML template: each [FieldName] becomes the
// record's value in that column.
#pragma once

#include <string>
#include <vector>

class CCsvTable;

// A template taken apart once: literal runs and the columns of the
// placeholders between them. Writing a record is then a walk over the
// pieces: each [FieldName] of a column of `table` becomes the record's value
// with every line feed as "<br>"; other bracketed text stays as it is.
class CompiledTemplate {
public:
    // With `strip` the template's own <html>/</html> tags are removed first.
    // No text is an empty template.
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

// Removes the tags <HTML>, <html>, </HTML> and </html> (and one line feed
// right after each) in place; a "<" that no ">" follows drops the rest.
// Returns `text`.
char* StripHtmlFrame(char* text);
