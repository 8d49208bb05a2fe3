// One record written through the HTML template: each [FieldName] becomes the
// record's value in that column, in the template's encoding (the site's).
#pragma once

#include <string>
#include <vector>

#include "platform/TextEncoding.h"

class CCsvTable;

// A template taken apart once: literal runs and the columns of the
// placeholders between them. Writing a record is then a walk over the
// pieces: each [FieldName] whose name is a header name of `table` in the
// site's encoding becomes the record's value (converted into the site's
// encoding when the table's differs) with every line feed as "<br>"; other
// bracketed text stays as it is.
class CompiledTemplate {
public:
    // `text` is in the site's encoding. With `strip` the template's own
    // <html>/</html> tags are removed first. No text is an empty template.
    CompiledTemplate(const CCsvTable& table, const char* text, bool strip,
                     platform::TextEncoding site);
    CompiledTemplate(const CCsvTable& table, const char* text, bool strip);  // the table's encoding
    // Appends the page text of `record` to `out`; returns the number of
    // character references written for characters the site cannot hold.
    size_t Write(const CCsvTable& table, int record, std::string& out) const;

private:
    struct Piece {
        size_t offset;  // literal bytes in text_ before the placeholder
        size_t length;
        int column;     // -1: no placeholder after the literal
    };
    // Appends a value that needs converting, line feeds as "<br>".
    size_t WriteConverted(std::string_view value, std::string& out) const;

    std::string text_;
    std::vector<Piece> pieces_;
    size_t literalBytes_ = 0;
    platform::TextEncoding from_, site_;
};

// Removes the tags <HTML>, <html>, </HTML> and </html> (and one line feed
// right after each) in place; a "<" that no ">" follows drops the rest.
// Returns `text`.
char* StripHtmlFrame(char* text);
