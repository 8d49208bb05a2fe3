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
    // In a UTF-8 site, each piece of the text that is no character becomes
    // U+FFFD, and so does each in a value.
    CompiledTemplate(const CCsvTable& table, const char* text, bool strip,
                     platform::TextEncoding site);
    // Appends the page text of `record` to `out`; returns what had to be
    // written in another form (the template's own U+FFFD each time).
    platform::SiteCounts Write(const CCsvTable& table, int record, std::string& out) const;

private:
    struct Piece {
        size_t offset;  // literal bytes in text_ before the placeholder
        size_t length;
        int column;     // -1: no placeholder after the literal
    };
    // Appends a value that needs converting or checking, line feeds as
    // "<br>".
    platform::SiteCounts WriteConverted(std::string_view value, std::string& out) const;

    std::string text_;
    std::vector<Piece> pieces_;
    size_t literalBytes_ = 0;
    size_t literalReplacements_ = 0;  // U+FFFD written for the text itself
    platform::TextEncoding from_, site_;
    bool copyValues_;  // values go in as they are
};

// Removes the tags <HTML>, <html>, </HTML> and </html> (and one line feed
// right after each) in place; a "<" that no ">" follows drops the rest.
// Returns `text`.
char* StripHtmlFrame(char* text);
